#pragma once

#include <cstdint>
#include <memory>

#include "stream/stream.h"
#include "stream/stream_factory.h"
#include "stream/url.h"

namespace vexel {

// Characters in one of four encodings over a byte stream. Everything written is text:
// strings in the encoding, numbers as decimal lines, raw bytes (Read/Write) as lines of
// upper-case hexadecimal digits with 32 bytes per line. Every text operation first ends an
// open hex line, so a hex line is always terminated before text follows it.
// Eof, Pos, Size, Seek, Flush and Close act on the wrapped stream; Close closes it.
class TTextStream : public TStreamWrapper {
  public:
    static constexpr int32_t LATIN1 = 1;
    static constexpr int32_t UTF8 = 2;
    static constexpr int32_t UTF16BE = 3;
    static constexpr int32_t UTF16LE = 4;

    // Raw bytes as hexadecimal; both return `count`. Read throws TStreamReadException at end
    // of data and StringException "Malformed line terminator" when a full hex line is not
    // followed by LF or CR LF.
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;

    // Numbers are whole lines of decimal text. Reading converts with the runtime's
    // text-to-number rule (integers) or strtod (floats); writing prints the full value,
    // floats as "%#.9g" and doubles as "%#.17lg".
    int32_t ReadByte() override;
    int WriteByte(int32_t n) override;
    int32_t ReadShort() override;
    int WriteShort(int32_t n) override;
    int32_t ReadInt() override;
    int WriteInt(int32_t n) override;
    int64_t ReadLong() override;
    int WriteLong(int64_t n) override;
    float ReadFloat() override;
    int WriteFloat(float x) override;
    double ReadDouble() override;
    int WriteDouble(double x) override;

    // Characters up to LF, 0 or end of data; CR is dropped. The end of data is Eof, or for a
    // stream without a position (a pipe) a read of nothing: a last line without a line end
    // is returned, and at the end an empty line. End of data in the middle of a character
    // throws TStreamReadException.
    String ReadLine() override;
    // The string, then CR LF. Write failures throw TStreamWriteException, so this returns
    // true whenever it returns.
    bool WriteLine(const String& s) override;
    // Exactly `length` characters (TStreamReadException at end of data).
    String ReadString(int64_t length) override;
    int WriteString(const String& s) override;

    // Every character up to end of data (as for ReadLine), line ends kept.
    virtual String ReadFile();
    // One decoded character code; see the decoding rules in text_stream.cpp.
    virtual int32_t ReadChar();
    // One character code in the encoding; 0.
    virtual int WriteChar(int32_t code);

    // A text stream over `stream` in `encoding` (LATIN1, UTF8, UTF16BE or UTF16LE).
    static std::shared_ptr<TTextStream> Create(StreamPtr stream, int32_t encoding);

    // One byte of the wrapped stream, bypassing the encoding.
    // @{
    virtual int32_t _ReadByte();
    virtual int _WriteByte(int32_t n);
    // @}
    // End an open hex line when reading (consumes LF or CR LF) or writing (writes CR LF).
    // @{
    virtual void _FlushRead();
    virtual void _FlushWrite();
    // @}

    int32_t _encoding = UTF8;
    // Bytes read or written as hexadecimal on the current hex line; 0 when none is open.
    int32_t _bufcount = 0;

  private:
    // The first byte of the next character; false at the end of the data.
    bool NextLeadByte(int32_t& byte);
    // The character whose first byte is `b1`, reading the rest through _ReadByte.
    int32_t DecodeChar(int32_t b1);
};

// Serves "latin1::", "utf8::", "utf16be::" and "utf16le::" urls by opening the rest of the
// url with OpenUrlStream, so prefixes nest ("utf8::latin1::file" is allowed).
class TTextStreamFactory : public TStreamFactory {
  public:
    StreamPtr CreateStream(const Url& url, const String& proto, const String& path, bool readable,
                           bool writeable) override;
};

// Bytes of standard input and output: Read from stdin, Write to stdout, Flush stdout.
class TCStandardIO : public TStream {
  public:
    // True once standard input has no more bytes; waits for input when none is buffered.
    bool Eof() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int Flush() override;
};

// The process's UTF-8 text stream over standard input and output.
const std::shared_ptr<TTextStream>& StandardTextStream();
// `s` and CR LF on the standard text stream, flushed.
void PrintLine(const String& s);
// Writes `prompt` (no line end), flushes, and reads one line of standard input.
String PromptLine(const String& prompt);

// Reads a line as TStream::ReadLine does (up to LF, a 0 byte or the end; CR dropped; one
// character per byte), but stores at most `limit` bytes: false when the line is longer, with
// the stream left just past the byte that broke the limit. For files whose lines are short
// unless damaged, so that a hostile file costs little to read.
bool ReadBoundedLine(TStream& stream, int32_t limit, String& line);

// The whole text of a url. A byte-order mark (FE FF, FF FE, EF BB BF) selects UTF-16BE,
// UTF-16LE or UTF-8 and is not part of the text; without one the bytes are Latin-1.
// TStreamReadException when the url cannot be opened.
String LoadTextFile(const Url& url);
// Latin-1 without a mark when every character is below 256; otherwise UTF-16LE after the
// mark FF FE. TStreamWriteException when the url cannot be opened or the text does not all
// reach the file (also for a link durable_save.h refuses or a FIFO nobody reads). A file path
// is replaced all or nothing (see durable_save.h). Returns true.
bool SaveTextFile(const String& text, const Url& url);

}  // namespace vexel
