#include "stream/text_stream.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/error.h"
#include "stream/file_copy.h"
#include "stream/internal/builtin_factories.h"
#include "stream/internal/saved_file.h"
#include "stream/whole_file.h"

namespace vexel {

namespace {

constexpr int kHexBytesPerLine = 32;

// Only 0-9 and A-F decode to their values; any other byte gives whatever the arithmetic
// gives, which the caller keeps to 8 bits.
int HexDigitValue(int32_t digit) {
    int value = digit - 48;
    if (value > 9) value -= 7;
    return value;
}

String FormatNumber(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return FromBytes(text);
}

double ParseDouble(const String& line) {
    // The line is turned into UTF-8 so that no character above 255 can masquerade as a
    // digit through its low byte.
    return std::strtod(ToUtf8(line).c_str(), nullptr);
}

}  // namespace

std::shared_ptr<TTextStream> TTextStream::Create(StreamPtr stream, int32_t encoding) {
    auto text = std::make_shared<TTextStream>();
    text->SetStream(std::move(stream));
    text->_encoding = encoding;
    return text;
}

int32_t TTextStream::_ReadByte() {
    return Inner().ReadByte();
}
int TTextStream::_WriteByte(int32_t n) {
    return Inner().WriteByte(n & 0xFF);
}

void TTextStream::_FlushRead() {
    if (_bufcount == 0) return;
    int32_t byte = _ReadByte();
    if (byte == 13) byte = _ReadByte();
    if (byte != 10) throw StringException(u"Malformed line terminator");
    _bufcount = 0;
}

void TTextStream::_FlushWrite() {
    if (_bufcount == 0) return;
    _WriteByte(13);
    _WriteByte(10);
    _bufcount = 0;
}

int64_t TTextStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    for (int64_t i = 0; i < count; ++i) {
        if (_bufcount == kHexBytesPerLine) _FlushRead();
        const int high = HexDigitValue(_ReadByte());
        const int low = HexDigitValue(_ReadByte());
        out[i] = static_cast<uint8_t>(high * 16 + low);
        ++_bufcount;
    }
    return count;
}

int64_t TTextStream::Write(const void* buffer, int64_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto* in = static_cast<const uint8_t*>(buffer);
    for (int64_t i = 0; i < count; ++i) {
        _WriteByte(kDigits[in[i] >> 4]);
        _WriteByte(kDigits[in[i] & 15]);
        if (++_bufcount == kHexBytesPerLine) _FlushWrite();
    }
    return count;
}

// Character decoding. UTF-8 is decoded arithmetically without validating continuation
// bytes; a lead byte of 240 or more (a character beyond 16 bits) consumes three bytes and
// gives 0.
int32_t TTextStream::ReadChar() {
    return DecodeChar(_ReadByte());
}

int32_t TTextStream::DecodeChar(int32_t b1) {
    switch (_encoding) {
        case LATIN1:
            return b1;
        case UTF8: {
            if (b1 < 128) return b1;
            const int32_t b2 = _ReadByte();
            if (b1 < 224) return (b1 - 192) * 64 + (b2 - 128);
            const int32_t b3 = _ReadByte();
            if (b1 < 240) return (b1 - 224) * 4096 + (b2 - 128) * 64 + (b3 - 128);
            return 0;
        }
        case UTF16BE:
            return b1 * 256 + _ReadByte();
        case UTF16LE:
            return b1 + _ReadByte() * 256;
        default:
            return 0;
    }
}

// Character encoding; every code below 65536 (surrogates included) is encoded on its own.
int TTextStream::WriteChar(int32_t code) {
    switch (_encoding) {
        case LATIN1:
            _WriteByte(code);
            break;
        case UTF8:
            if (code < 128) {
                _WriteByte(code);
            } else if (code < 2048) {
                _WriteByte(0xC0 | code / 64);
                _WriteByte(0x80 | code % 64);
            } else {
                _WriteByte(0xE0 | code / 4096);
                _WriteByte(0x80 | (code / 64) % 64);
                _WriteByte(0x80 | code % 64);
            }
            break;
        case UTF16BE:
            _WriteByte(code >> 8);
            _WriteByte(code);
            break;
        case UTF16LE:
            _WriteByte(code);
            _WriteByte(code >> 8);
            break;
        default:
            break;
    }
    return 0;
}

bool TTextStream::NextLeadByte(int32_t& byte) {
    if (Eof()) return false;
    if (Pos() != -1) {
        byte = _ReadByte();
        return true;
    }
    // A stream without a position (a pipe) reaches Eof only once a read has met its end (and
    // another stream of the kind perhaps never): here the end is a read of nothing.
    uint8_t next = 0;
    if (Inner().Read(&next, 1) != 1) return false;
    byte = next;
    return true;
}

String TTextStream::ReadLine() {
    _FlushRead();
    String line;
    for (int32_t lead = 0; NextLeadByte(lead);) {
        const int32_t code = DecodeChar(lead);
        if (code == 0 || code == 10) break;
        if (code != 13) line += static_cast<char16_t>(code);
    }
    return line;
}

String TTextStream::ReadFile() {
    _FlushRead();
    String text;
    for (int32_t lead = 0; NextLeadByte(lead);)
        text += static_cast<char16_t>(DecodeChar(lead));
    return text;
}

bool TTextStream::WriteLine(const String& s) {
    _FlushWrite();
    WriteString(s);
    WriteString(u"\r\n");
    return true;
}

String TTextStream::ReadString(int64_t length) {
    _FlushRead();
    String text;
    for (int64_t i = 0; i < length; ++i)
        text += static_cast<char16_t>(ReadChar());
    return text;
}

int TTextStream::WriteString(const String& s) {
    _FlushWrite();
    for (const char16_t code : s)
        WriteChar(code);
    return 0;
}

int32_t TTextStream::ReadByte() {
    return ReadInt();
}
int32_t TTextStream::ReadShort() {
    return ReadInt();
}
int32_t TTextStream::ReadInt() {
    _FlushRead();
    return StringToInt(ReadLine());
}
int64_t TTextStream::ReadLong() {
    _FlushRead();
    return StringToLong(ReadLine());
}
float TTextStream::ReadFloat() {
    return static_cast<float>(ReadDouble());
}
double TTextStream::ReadDouble() {
    _FlushRead();
    return ParseDouble(ReadLine());
}

int TTextStream::WriteByte(int32_t n) {
    return WriteLong(n);
}
int TTextStream::WriteShort(int32_t n) {
    return WriteLong(n);
}
int TTextStream::WriteInt(int32_t n) {
    return WriteLong(n);
}
int TTextStream::WriteLong(int64_t n) {
    _FlushWrite();
    WriteLine(IntToString(n));
    return 0;
}
int TTextStream::WriteFloat(float x) {
    _FlushWrite();
    WriteLine(FormatNumber("%#.9g", x));
    return 0;
}
int TTextStream::WriteDouble(double x) {
    _FlushWrite();
    WriteLine(FormatNumber("%#.17lg", x));
    return 0;
}

// TTextStreamFactory

StreamPtr TTextStreamFactory::CreateStream(const Url&, const String& proto, const String& path,
                                           bool readable, bool writeable) {
    int32_t encoding;
    if (proto == u"latin1") {
        encoding = TTextStream::LATIN1;
    } else if (proto == u"utf8") {
        encoding = TTextStream::UTF8;
    } else if (proto == u"utf16be") {
        encoding = TTextStream::UTF16BE;
    } else if (proto == u"utf16le") {
        encoding = TTextStream::UTF16LE;
    } else {
        return nullptr;
    }
    auto stream = OpenUrlStream(path, readable, writeable);
    if (!stream) return nullptr;
    return TTextStream::Create(std::move(stream), encoding);
}

std::shared_ptr<TStreamFactory> MakeTextStreamFactory() {
    return std::make_shared<TTextStreamFactory>();
}

// Standard input and output

bool TCStandardIO::Eof() {
    const int next = std::getc(stdin);
    if (next == EOF) return true;
    std::ungetc(next, stdin);
    return false;
}

int64_t TCStandardIO::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), stdin));
}

int64_t TCStandardIO::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), stdout));
}

int TCStandardIO::Flush() {
    std::fflush(stdout);
    return 0;
}

const std::shared_ptr<TTextStream>& StandardTextStream() {
    static const auto stream =
        TTextStream::Create(std::make_shared<TCStandardIO>(), TTextStream::UTF8);
    return stream;
}

void PrintLine(const String& s) {
    StandardTextStream()->WriteLine(s);
    StandardTextStream()->Flush();
}

String PromptLine(const String& prompt) {
    StandardTextStream()->WriteString(prompt);
    StandardTextStream()->Flush();
    return StandardTextStream()->ReadLine();
}

// Bounded lines

bool ReadBoundedLine(TStream& stream, int32_t limit, String& line) {
    line.clear();
    uint8_t byte = 0;
    while (stream.Read(&byte, 1) == 1) {
        if (byte == 0 || byte == 10) return true;
        if (byte == 13) continue;
        if (static_cast<int32_t>(line.size()) == limit) return false;
        line.push_back(static_cast<char16_t>(byte));
    }
    return true;
}

// Whole files

String LoadTextFile(const Url& url) {
    // The mark test asks Eof before each byte, which a pipe answers only after a read has met
    // its end: a stream without a position is read into memory first.
    auto stream = OpenSeekableRead(url);
    if (!stream) throw TStreamReadException();
    // The mark is recognised byte by byte, so that only a possible mark is consumed: after
    // FE FF or FF FE the third byte already belongs to the text.
    std::string start;
    int32_t encoding = 0;
    auto next_byte = [&] {
        if (stream->Eof()) return false;
        start += static_cast<char>(stream->ReadByte());
        return true;
    };
    if (next_byte() && next_byte()) {
        if (start == "\xFE\xFF") {
            encoding = TTextStream::UTF16BE;
        } else if (start == "\xFF\xFE") {
            encoding = TTextStream::UTF16LE;
        } else if (start == "\xEF\xBB" && next_byte() && start == "\xEF\xBB\xBF") {
            encoding = TTextStream::UTF8;
        }
    }
    if (encoding != 0) {
        auto text_stream = TTextStream::Create(stream, encoding);
        String text = text_stream->ReadFile();
        text_stream->Close();
        return text;
    }
    // Without a mark the bytes are Latin-1, never guessed to be UTF-8.
    const std::vector<uint8_t> rest = LoadBytesFrom(stream);
    stream->Close();
    start.append(rest.begin(), rest.end());
    return FromBytes(start);
}

bool SaveTextFile(const String& text, const Url& url) {
    bool fits_latin1 = true;
    for (const char16_t code : text)
        fits_latin1 = fits_latin1 && code < 256;
    if (fits_latin1) {
        SaveByteString(text, url);
        return true;
    }
    const auto stream = OpenForSave(url);
    SaveGuard save(*stream);
    stream->WriteByte(0xFF);
    stream->WriteByte(0xFE);
    TTextStream::Create(stream, TTextStream::UTF16LE)->WriteString(text);
    CloseSaved(save);
    return true;
}

}  // namespace vexel
