#include "stream/incbin.h"

#include <map>

#include "stream/internal/builtin_factories.h"
#include "stream/memory_stream.h"
#include "stream/stream_factory.h"

namespace vexel {

namespace {

std::map<String, std::span<const uint8_t>>& Resources() {
    static std::map<String, std::span<const uint8_t>> resources;
    return resources;
}

class TIncbinStreamFactory : public TStreamFactory {
  public:
    StreamPtr CreateStream(const Url&, const String& proto, const String& path, bool readable,
                           bool writeable) override {
        if (proto != u"incbin" || writeable || !readable) return nullptr;
        const auto found = Resources().find(path);
        if (found == Resources().end()) return nullptr;
        return TMemoryStream::CreateBorrowed(found->second, nullptr);
    }
};

}  // namespace

void RegisterIncbin(const String& name, std::span<const uint8_t> bytes) {
    Resources()[name] = bytes;
}

std::span<const uint8_t> IncbinData(const String& name) {
    const auto found = Resources().find(name);
    return found == Resources().end() ? std::span<const uint8_t>() : found->second;
}

std::shared_ptr<TStreamFactory> MakeIncbinStreamFactory() {
    return std::make_shared<TIncbinStreamFactory>();
}

}  // namespace vexel
