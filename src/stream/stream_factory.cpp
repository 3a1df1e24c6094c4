#include "stream/stream_factory.h"

#include "runtime/last_error.h"
#include "runtime/registry.h"
#include "stream/c_stream.h"
#include "stream/internal/builtin_factories.h"

namespace vexel {

namespace {

Registry<TStreamFactory> MakeBuiltinList() {
    // Oldest first: the last one linked is asked first.
    Registry<TStreamFactory> factories;
    for (auto factory : {MakeIncbinStreamFactory(), MakeTextStreamFactory()})
        factories.Link(factory);
    return factories;
}

Registry<TStreamFactory>& Factories() {
    static Registry<TStreamFactory> factories = MakeBuiltinList();
    return factories;
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
    Factories().Link(std::move(factory));
}

std::shared_ptr<TStreamFactory> StreamFactories() {
    return Factories().Head();
}

StreamPtr OpenUrlStream(const Url& url, bool readable, bool writeable) {
    const FailureScope scope(u"OpenUrlStream");
    if (url.IsStream()) {
        if (!url.Stream()) {
            RecordFailure(u"OpenUrlStream", u"", u"the stream is null");
            return nullptr;
        }
        return TStreamStream::Create(url.Stream());
    }
    const String& text = url.Text();
    String proto;
    String path;
    if (!text.empty()) {
        const size_t separator = text.find(u"::");
        if (separator == String::npos) return TCStream::OpenFile(text, readable, writeable);
        proto = ToLower(text.substr(0, separator));
        path = text.substr(separator + 2);
    }
    for (auto factory = Factories().Head(); factory; factory = factory->_succ) {
        if (auto stream = factory->CreateStream(url, proto, path, readable, writeable)) {
            return stream;
        }
    }
    RecordFailure(
        u"OpenUrlStream", text,
        text.empty() ? u"the path is empty" : u"no stream factory opens \"" + proto + u"::\" urls");
    return nullptr;
}

StreamPtr OpenFileRead(const Url& url) {
    const FailureScope scope(u"OpenFileRead");
    return OpenUrlStream(url, true, false);
}
StreamPtr OpenFileWrite(const Url& url) {
    const FailureScope scope(u"OpenFileWrite");
    return OpenUrlStream(url, false, true);
}

}  // namespace vexel
