#include "stream/whole_file.h"

#include <algorithm>

#include "stream/internal/saved_file.h"
#include "stream/stream_factory.h"

namespace vexel {

namespace {

StreamPtr OpenForLoad(const Url& url) {
    auto stream = OpenFileRead(url);
    if (!stream) throw TStreamReadException();
    return stream;
}

}  // namespace

StreamPtr OpenForSave(const Url& url) {
    auto stream = OpenFileWrite(url);
    if (!stream) throw TStreamWriteException();
    return stream;
}

void CloseSaved(SaveGuard& save) {
    if (!save.Close()) throw TStreamWriteException();
}

std::vector<uint8_t> LoadBytesFrom(const Url& url) {
    const auto stream = OpenForLoad(url);
    std::vector<uint8_t> bytes(1024);
    size_t n = 0;
    while (!stream->Eof()) {
        if (n == bytes.size()) bytes.resize(n * 3 / 2);
        const int64_t got = stream->Read(bytes.data() + n, static_cast<int64_t>(bytes.size() - n));
        // A stream that claims more data but delivers none would spin for ever.
        if (got <= 0) break;
        n += static_cast<size_t>(got);
    }
    stream->Close();
    bytes.resize(n);
    return bytes;
}

void SaveBytesTo(const std::vector<uint8_t>& bytes, const Url& url) {
    const auto stream = OpenForSave(url);
    SaveGuard save(*stream);
    stream->WriteBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
    CloseSaved(save);
}

String LoadByteString(const Url& url) {
    const auto bytes = LoadBytesFrom(url);
    return FromBytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void SaveByteString(const String& text, const Url& url) {
    const auto stream = OpenForSave(url);
    SaveGuard save(*stream);
    stream->WriteString(text);
    CloseSaved(save);
}

ObjectPtr LoadObjectFrom(const Url& url) {
    const auto stream = OpenForLoad(url);
    auto object = stream->ReadObject();
    stream->Close();
    return object;
}

void SaveObjectTo(const ObjectPtr& object, const Url& url) {
    const auto stream = OpenForSave(url);
    SaveGuard save(*stream);
    stream->WriteObject(object);
    CloseSaved(save);
}

void CopyStreamData(TStream& from, TStream& to, int64_t buffer_size) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::max<int64_t>(buffer_size, 1)));
    while (!from.Eof()) {
        const int64_t n = from.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
        if (n <= 0) break;
        to.WriteBytes(buffer.data(), n);
    }
}

void CopyStreamBytes(TStream& from, TStream& to, int64_t count, int64_t buffer_size) {
    std::vector<uint8_t> buffer(static_cast<size_t>(std::max<int64_t>(buffer_size, 1)));
    while (count > 0) {
        const int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
        from.ReadBytes(buffer.data(), n);
        to.WriteBytes(buffer.data(), n);
        count -= n;
    }
}

}  // namespace vexel
