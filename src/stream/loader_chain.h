#pragma once

#include "runtime/cxx_standard.h"

#include <memory>

#include "runtime/error.h"
#include "runtime/last_error.h"
#include "stream/stream_factory.h"

namespace vexel {

// What to do with a stream that has no position (-1, a pipe): it could be offered to one
// loader only, so it is declined (null) or refused with RuntimeError "Stream is not seekable".
enum class WhenUnseekable { kDecline, kRaise };

// Opens `url` for reading and offers it to each loader from `first` along `_succ`, each from
// the position the stream had when it was opened: `load(loader, stream)` returns a result,
// or null to decline. A TStreamException it raises (a short read: the data is not of its
// kind) counts as declining; any other exception goes to the caller. The first result wins.
// Null when the url cannot be opened. The stream is closed on every path. A failure is
// recorded under `call` (see LastError): the most specific cause a loader recorded, else
// `unknown`, the words for data no loader recognised; what loaders recorded before one
// succeeded is dropped.
template <typename Loader, typename Load>
auto OfferToEachLoader(std::u16string_view call, std::u16string_view unknown, const Url& url,
                       const std::shared_ptr<Loader>& first, WhenUnseekable when_unseekable,
                       Load load) -> decltype(load(*first, std::declval<TStream&>())) {
    const FailureScope scope(call);
    const StreamPtr stream = OpenFileRead(url);
    if (!stream) return nullptr;
    struct Closer {
        TStream& stream;
        ~Closer() { stream.Close(); }
    } closer{*stream};
    const int64_t start = stream->Pos();
    const String resource = url.IsStream() ? String(u"a stream") : url.Text();
    if (start == -1) {
        if (when_unseekable == WhenUnseekable::kRaise) {
            throw RuntimeError(u"Stream is not seekable");
        }
        RecordFailure(call, resource, u"the stream cannot seek");
        return nullptr;
    }
    for (auto loader = first; loader; loader = loader->_succ) {
        stream->Seek(start);
        try {
            if (auto result = load(*loader, *stream)) {
                DiscardFailure();
                return result;
            }
        } catch (const TStreamException&) {
            // A short read means the data is not this loader's; ask the next one.
        }
    }
    RecordFailure(call, resource, unknown);
    return nullptr;
}

}  // namespace vexel
