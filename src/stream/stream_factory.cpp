#include "stream/stream_factory.h"

#include "stream/c_stream.h"
#include "stream/internal/builtin_factories.h"

namespace vexel {

namespace {

std::shared_ptr<TStreamFactory> MakeBuiltinList() {
    // Oldest first: the last one linked is asked first.
    std::shared_ptr<TStreamFactory> head;
    for (auto factory : {MakeIncbinStreamFactory(), MakeTextStreamFactory()}) {
        factory->_succ = head;
        head = factory;
    }
    return head;
}

std::shared_ptr<TStreamFactory>& FactoryHead() {
    static std::shared_ptr<TStreamFactory> head = MakeBuiltinList();
    return head;
}

}  // namespace

const String& Url::Text() const {
    static const String empty;
    const auto* text = std::get_if<String>(&value_);
    return text ? *text : empty;
}

StreamPtr Url::Stream() const {
    const auto* stream = std::get_if<StreamPtr>(&value_);
    return stream ? *stream : nullptr;
}

void RegisterStreamFactory(std::shared_ptr<TStreamFactory> factory) {
    factory->_succ = FactoryHead();
    FactoryHead() = std::move(factory);
}

std::shared_ptr<TStreamFactory> StreamFactories() {
    return FactoryHead();
}

StreamPtr OpenUrlStream(const Url& url, bool readable, bool writeable) {
    if (url.IsStream()) return TStreamStream::Create(url.Stream());
    const String& text = url.Text();
    String proto;
    String path;
    if (!text.empty()) {
        const size_t separator = text.find(u"::");
        if (separator == String::npos) return TCStream::OpenFile(text, readable, writeable);
        proto = ToLower(text.substr(0, separator));
        path = text.substr(separator + 2);
    }
    for (auto factory = FactoryHead(); factory; factory = factory->_succ) {
        if (auto stream = factory->CreateStream(url, proto, path, readable, writeable)) {
            return stream;
        }
    }
    return nullptr;
}

StreamPtr OpenFileRead(const Url& url) {
    return OpenUrlStream(url, true, false);
}
StreamPtr OpenFileWrite(const Url& url) {
    return OpenUrlStream(url, false, true);
}

}  // namespace vexel
