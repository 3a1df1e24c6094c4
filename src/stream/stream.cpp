#include "stream/stream.h"

#include <array>
#include <cstring>
#include <string>

#include "runtime/error.h"

namespace vexel {

namespace {

template <typename Value>
Value ReadValue(TStream& stream) {
    unsigned char bytes[sizeof(Value)];
    stream.ReadBytes(bytes, sizeof(Value));
    Value value;
    std::memcpy(&value, bytes, sizeof(Value));  // the platform is little-endian
    return value;
}

template <typename Value>
int WriteValue(TStream& stream, Value value) {
    unsigned char bytes[sizeof(Value)];
    std::memcpy(bytes, &value, sizeof(Value));
    stream.WriteBytes(bytes, sizeof(Value));
    return 0;
}

}  // namespace

// TIO

bool TIO::Eof() {
    return Pos() == Size();
}
int64_t TIO::Pos() {
    return -1;
}
int64_t TIO::Size() {
    return 0;
}
int64_t TIO::Seek(int64_t) {
    return -1;
}
int TIO::Flush() {
    return 0;
}
int TIO::Close() {
    return 0;
}
int64_t TIO::Read(void*, int64_t) {
    throw RuntimeError(u"Stream is not readable");
}
int64_t TIO::Write(const void*, int64_t) {
    throw RuntimeError(u"Stream is not writeable");
}

// TStream

int64_t TStream::ReadBytes(void* buffer, int64_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = Read(out + done, count - done);
        if (n <= 0) throw TStreamReadException();
        done += n;
    }
    return count;
}

int64_t TStream::WriteBytes(const void* buffer, int64_t count) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = Write(in + done, count - done);
        if (n <= 0) throw TStreamWriteException();
        done += n;
    }
    return count;
}

int64_t TStream::SkipBytes(int64_t count) {
    std::array<unsigned char, 1024> scratch;
    int64_t left = count;
    while (left > 0) {
        const int64_t n = Read(scratch.data(), std::min<int64_t>(left, scratch.size()));
        if (n <= 0) throw TStreamReadException();
        left -= n;
    }
    return count;
}

int32_t TStream::ReadByte() {
    return ReadValue<uint8_t>(*this);
}
int TStream::WriteByte(int32_t n) {
    return WriteValue(*this, static_cast<uint8_t>(n));
}
int32_t TStream::ReadShort() {
    return ReadValue<uint16_t>(*this);
}
int TStream::WriteShort(int32_t n) {
    return WriteValue(*this, static_cast<uint16_t>(n));
}
int32_t TStream::ReadInt() {
    return ReadValue<int32_t>(*this);
}
int TStream::WriteInt(int32_t n) {
    return WriteValue(*this, n);
}
int64_t TStream::ReadLong() {
    return ReadValue<int64_t>(*this);
}
int TStream::WriteLong(int64_t n) {
    return WriteValue(*this, n);
}
float TStream::ReadFloat() {
    return ReadValue<float>(*this);
}
int TStream::WriteFloat(float x) {
    return WriteValue(*this, x);
}
double TStream::ReadDouble() {
    return ReadValue<double>(*this);
}
int TStream::WriteDouble(double x) {
    return WriteValue(*this, x);
}

String TStream::ReadLine() {
    std::string line;
    line.reserve(1024);
    unsigned char byte = 0;
    while (Read(&byte, 1) == 1) {
        if (byte == 0 || byte == 10) break;
        if (byte != 13) line += static_cast<char>(byte);
    }
    return FromBytes(line);
}

bool TStream::WriteLine(const String& s) {
    const std::string bytes = ToBytes(s);
    const auto length = static_cast<int64_t>(bytes.size());
    if (Write(bytes.data(), length) != length) return false;
    static constexpr unsigned char kLineEnd[2] = {13, 10};
    return Write(kLineEnd, 2) == 2;
}

String TStream::ReadString(int64_t length) {
    if (length <= 0) return {};
    std::string bytes(static_cast<size_t>(length), '\0');
    ReadBytes(bytes.data(), length);
    return FromBytes(bytes);
}

int TStream::WriteString(const String& s) {
    const std::string bytes = ToBytes(s);
    WriteBytes(bytes.data(), static_cast<int64_t>(bytes.size()));
    return 0;
}

ObjectPtr TStream::ReadObject() {
    throw StringException(u"Unable to read object");
}
int TStream::WriteObject(const ObjectPtr&) {
    throw StringException(u"Unable to write object");
}

// TStreamWrapper

TStream& TStreamWrapper::Inner() {
    if (!_stream) throw RuntimeError(u"Stream is closed");
    return *_stream;
}

bool TStreamWrapper::Eof() {
    return Inner().Eof();
}
int64_t TStreamWrapper::Pos() {
    return Inner().Pos();
}
int64_t TStreamWrapper::Size() {
    return Inner().Size();
}
int64_t TStreamWrapper::Seek(int64_t pos) {
    return Inner().Seek(pos);
}
int TStreamWrapper::Flush() {
    return Inner().Flush();
}
int TStreamWrapper::Close() {
    return Inner().Close();
}
int64_t TStreamWrapper::Read(void* buffer, int64_t count) {
    return Inner().Read(buffer, count);
}
int64_t TStreamWrapper::Write(const void* buffer, int64_t count) {
    return Inner().Write(buffer, count);
}
int32_t TStreamWrapper::ReadByte() {
    return Inner().ReadByte();
}
int TStreamWrapper::WriteByte(int32_t n) {
    return Inner().WriteByte(n);
}
int32_t TStreamWrapper::ReadShort() {
    return Inner().ReadShort();
}
int TStreamWrapper::WriteShort(int32_t n) {
    return Inner().WriteShort(n);
}
int32_t TStreamWrapper::ReadInt() {
    return Inner().ReadInt();
}
int TStreamWrapper::WriteInt(int32_t n) {
    return Inner().WriteInt(n);
}
float TStreamWrapper::ReadFloat() {
    return Inner().ReadFloat();
}
int TStreamWrapper::WriteFloat(float x) {
    return Inner().WriteFloat(x);
}
double TStreamWrapper::ReadDouble() {
    return Inner().ReadDouble();
}
int TStreamWrapper::WriteDouble(double x) {
    return Inner().WriteDouble(x);
}
String TStreamWrapper::ReadLine() {
    return Inner().ReadLine();
}
bool TStreamWrapper::WriteLine(const String& s) {
    return Inner().WriteLine(s);
}
String TStreamWrapper::ReadString(int64_t length) {
    return Inner().ReadString(length);
}
int TStreamWrapper::WriteString(const String& s) {
    return Inner().WriteString(s);
}
ObjectPtr TStreamWrapper::ReadObject() {
    return Inner().ReadObject();
}
int TStreamWrapper::WriteObject(const ObjectPtr& object) {
    return Inner().WriteObject(object);
}
void TStreamWrapper::SetStream(StreamPtr stream) {
    _stream = std::move(stream);
}

// TStreamStream

std::shared_ptr<TStreamStream> TStreamStream::Create(StreamPtr stream) {
    auto wrapper = std::make_shared<TStreamStream>();
    wrapper->SetStream(std::move(stream));
    return wrapper;
}

int TStreamStream::Close() {
    SetStream(nullptr);
    return 0;
}

// Module functions

bool Eof(TStream& stream) {
    return stream.Eof();
}
int64_t Pos(TStream& stream) {
    return stream.Pos();
}
int64_t Size(TStream& stream) {
    return stream.Size();
}
int64_t Seek(TStream& stream, int64_t pos) {
    return stream.Seek(pos);
}
int Flush(TStream& stream) {
    return stream.Flush();
}
int Close(TStream& stream) {
    return stream.Close();
}
int32_t ReadByte(TStream& stream) {
    return stream.ReadByte();
}
int WriteByte(TStream& stream, int32_t n) {
    return stream.WriteByte(n);
}
int32_t ReadShort(TStream& stream) {
    return stream.ReadShort();
}
int WriteShort(TStream& stream, int32_t n) {
    return stream.WriteShort(n);
}
int32_t ReadInt(TStream& stream) {
    return stream.ReadInt();
}
int WriteInt(TStream& stream, int32_t n) {
    return stream.WriteInt(n);
}
int64_t ReadLong(TStream& stream) {
    return stream.ReadLong();
}
int WriteLong(TStream& stream, int64_t n) {
    return stream.WriteLong(n);
}
float ReadFloat(TStream& stream) {
    return stream.ReadFloat();
}
int WriteFloat(TStream& stream, float x) {
    return stream.WriteFloat(x);
}
double ReadDouble(TStream& stream) {
    return stream.ReadDouble();
}
int WriteDouble(TStream& stream, double x) {
    return stream.WriteDouble(x);
}
String ReadString(TStream& stream, int64_t length) {
    return stream.ReadString(length);
}
int WriteString(TStream& stream, const String& s) {
    return stream.WriteString(s);
}
String ReadLine(TStream& stream) {
    return stream.ReadLine();
}
bool WriteLine(TStream& stream, const String& s) {
    return stream.WriteLine(s);
}

}  // namespace vexel
