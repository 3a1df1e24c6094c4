#pragma once

#include <memory>

#include "stream/stream.h"
#include "stream/url.h"

namespace vexel {

// Opens urls of the form "protocol::path". Registering a factory puts it at the head of the
// global list, so the newest factory is asked first; factories are never removed.
class TStreamFactory : public Object {
  public:
    // `proto` is lower-cased; both `proto` and `path` are empty for a url that is not a
    // string. Null when this factory does not serve the url.
    virtual StreamPtr CreateStream(const Url& url, const String& proto, const String& path,
                                   bool readable, bool writeable) = 0;

    std::shared_ptr<TStreamFactory> _succ;
};

// Links `factory` at the head of the factory list for the rest of the run.
void RegisterStreamFactory(std::shared_ptr<TStreamFactory> factory);
// The newest factory; follow `_succ` for the rest.
std::shared_ptr<TStreamFactory> StreamFactories();

// A stream url gives a TStreamStream around it (closing that leaves the stream open). A
// plain path goes straight to TCStream::OpenFile; a "protocol::path" goes to the factories.
// Null when nothing can open the url.
StreamPtr OpenUrlStream(const Url& url, bool readable, bool writeable);
// OpenUrlStream(url, true, false).
StreamPtr OpenFileRead(const Url& url);
// OpenUrlStream(url, false, true). A file path is saved all or nothing (see TCStream and
// durable_save.h): the old file is replaced only by a successful Close of the stream, and
// stays as it was when the stream is abandoned or destroyed without Close. A link planted by
// another user in a sticky shared folder, a link that names nothing and a FIFO that nobody
// reads give null.
StreamPtr OpenFileWrite(const Url& url);

}  // namespace vexel
