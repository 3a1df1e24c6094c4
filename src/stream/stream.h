#pragma once

#include <cstdint>
#include <memory>

#include "runtime/object.h"
#include "runtime/string.h"
#include "stream/stream_exception.h"

namespace vexel {

// The root of byte input and output. Positions, sizes and counts are in bytes. The defaults
// describe a stream that can do nothing: Read and Write throw RuntimeError.
class TIO : public Object {
  public:
    // True when no byte is left to read (here: when Pos equals Size; a TCStream without a
    // position is at its end once a Read has met it).
    virtual bool Eof();
    // The position of the next byte read or written; -1 for a stream without positions.
    virtual int64_t Pos();
    // The number of bytes; 0 here.
    virtual int64_t Size();
    // Moves to byte `pos` and returns the new position; -1 when the stream cannot seek.
    virtual int64_t Seek(int64_t pos);
    // Writes out whatever is buffered; 0 on success.
    virtual int Flush();
    // Ends the stream's use of its file or device; 0 on success.
    virtual int Close();
    // Transfer up to `count` bytes; the number transferred, 0 at end of data or on failure.
    // @{
    virtual int64_t Read(void* buffer, int64_t count);
    virtual int64_t Write(const void* buffer, int64_t count);
    // @}
};

// Typed and line-oriented operations over Read and Write. Multi-byte values are
// little-endian; strings go out one byte per code unit (the low 8 bits) and come in one
// code unit per byte.
class TStream : public TIO {
  public:
    // Exactly `count` bytes or TStreamReadException / TStreamWriteException.
    // @{
    virtual int64_t ReadBytes(void* buffer, int64_t count);
    virtual int64_t WriteBytes(const void* buffer, int64_t count);
    // @}
    // Reads and drops exactly `count` bytes (TStreamReadException at end of data).
    virtual int64_t SkipBytes(int64_t count);
    // One value of 1, 2 (unsigned: 0..65535), 4 or 8 bytes, or an IEEE float or double,
    // little-endian. Reads throw TStreamReadException at end of data; writes return 0 and
    // throw TStreamWriteException when the bytes do not all go out.
    // @{
    virtual int32_t ReadByte();
    virtual int WriteByte(int32_t n);
    virtual int32_t ReadShort();
    virtual int WriteShort(int32_t n);
    virtual int32_t ReadInt();
    virtual int WriteInt(int32_t n);
    virtual int64_t ReadLong();
    virtual int WriteLong(int64_t n);
    virtual float ReadFloat();
    virtual int WriteFloat(float x);
    virtual double ReadDouble();
    virtual int WriteDouble(double x);
    // @}
    // A line up to LF, 0 or end of data; CR bytes are dropped. Never throws.
    virtual String ReadLine();
    // The bytes of `s` then CR LF; true only if everything was written. Never throws.
    virtual bool WriteLine(const String& s);
    // Exactly `length` bytes as that many code units (TStreamReadException at end of data).
    virtual String ReadString(int64_t length);
    // The string one byte per code unit, without a length or an end; 0
    // (TStreamWriteException when the bytes do not all go out).
    virtual int WriteString(const String& s);
    // Objects have no byte form here: both throw "Unable to read object" / "Unable to write
    // object".
    // @{
    virtual ObjectPtr ReadObject();
    virtual int WriteObject(const ObjectPtr& object);
    // @}
};

using StreamPtr = std::shared_ptr<TStream>;

// Forwards every operation to a wrapped stream. ReadBytes, WriteBytes, SkipBytes, ReadLong
// and WriteLong are not forwarded: they run the TStream versions over this wrapper's Read
// and Write. Destroying the wrapper drops its reference without closing the stream.
class TStreamWrapper : public TStream {
  public:
    bool Eof() override;
    int64_t Pos() override;
    int64_t Size() override;
    int64_t Seek(int64_t pos) override;
    int Flush() override;
    int Close() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int32_t ReadByte() override;
    int WriteByte(int32_t n) override;
    int32_t ReadShort() override;
    int WriteShort(int32_t n) override;
    int32_t ReadInt() override;
    int WriteInt(int32_t n) override;
    float ReadFloat() override;
    int WriteFloat(float x) override;
    double ReadDouble() override;
    int WriteDouble(double x) override;
    String ReadLine() override;
    bool WriteLine(const String& s) override;
    String ReadString(int64_t length) override;
    int WriteString(const String& s) override;
    ObjectPtr ReadObject() override;
    int WriteObject(const ObjectPtr& object) override;

    // Wraps `stream` from now on; the one wrapped before is dropped, not closed.
    virtual void SetStream(StreamPtr stream);
    // The wrapped stream; null after Close of a TStreamStream.
    const StreamPtr& Wrapped() const { return _stream; }

  protected:
    // Throws RuntimeError when nothing is wrapped (after Close of a TStreamStream).
    TStream& Inner();

    StreamPtr _stream;
};

// A wrapper whose Close only detaches: the wrapped stream stays open.
class TStreamStream : public TStreamWrapper {
  public:
    // A wrapper around `stream`.
    static std::shared_ptr<TStreamStream> Create(StreamPtr stream);
    // Drops the wrapped stream without closing it; 0.
    int Close() override;
};

// Module functions forwarding to the stream's own operations.
// @{
bool Eof(TStream& stream);
int64_t Pos(TStream& stream);
int64_t Size(TStream& stream);
int64_t Seek(TStream& stream, int64_t pos);
int Flush(TStream& stream);
int Close(TStream& stream);
int32_t ReadByte(TStream& stream);
int WriteByte(TStream& stream, int32_t n);
int32_t ReadShort(TStream& stream);
int WriteShort(TStream& stream, int32_t n);
int32_t ReadInt(TStream& stream);
int WriteInt(TStream& stream, int32_t n);
int64_t ReadLong(TStream& stream);
int WriteLong(TStream& stream, int64_t n);
float ReadFloat(TStream& stream);
int WriteFloat(TStream& stream, float x);
double ReadDouble(TStream& stream);
int WriteDouble(TStream& stream, double x);
String ReadString(TStream& stream, int64_t length);
int WriteString(TStream& stream, const String& s);
String ReadLine(TStream& stream);
bool WriteLine(TStream& stream, const String& s);
// @}

}  // namespace vexel
