#include "stream/text_stream.h"

#include <gtest/gtest.h>

#include "stream/bank_stream.h"
#include "stream/c_stream.h"
#include "stream/memory_stream.h"
#include "stream/whole_file.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

Bytes AsBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A text stream over an empty bank, to see the bytes that writes produce.
struct Sink {
    explicit Sink(int32_t encoding)
        : bank(TBankStream::Create()), text(TTextStream::Create(bank, encoding)) {}
    Bytes bytes() const { return Bytes(bank->Bytes().begin(), bank->Bytes().end()); }
    std::shared_ptr<TBankStream> bank;
    std::shared_ptr<TTextStream> text;
};

std::shared_ptr<TTextStream> Over(const Bytes& bytes, int32_t encoding) {
    return TTextStream::Create(TMemoryStream::Create(bytes), encoding);
}

TEST(TextStreamCharacters, WriteCharEncodesEAcuteAndEuroInEveryEncoding) {
    struct Case {
        int32_t encoding;
        int32_t code;
        Bytes expected;
    };
    const Case cases[] = {
        {TTextStream::UTF8, 0xE9, {0xC3, 0xA9}},
        {TTextStream::UTF8, 0x20AC, {0xE2, 0x82, 0xAC}},
        {TTextStream::UTF8, 0x41, {0x41}},
        {TTextStream::UTF16BE, 0x20AC, {0x20, 0xAC}},
        {TTextStream::UTF16LE, 0x20AC, {0xAC, 0x20}},
        {TTextStream::UTF16BE, 0xE9, {0x00, 0xE9}},
        {TTextStream::LATIN1, 0x20AC, {0xAC}},
        {TTextStream::LATIN1, 0xE9, {0xE9}},
        {99, 0x41, {}},
    };
    for (const Case& c : cases) {
        Sink sink(c.encoding);
        sink.text->WriteChar(c.code);
        EXPECT_EQ(sink.bytes(), c.expected) << "encoding " << c.encoding << " code " << c.code;
        // Every encoding but the unknown one reads its own bytes back, LATIN1 to 8 bits.
        if (c.encoding == 99) continue;
        const int32_t back = Over(c.expected, c.encoding)->ReadChar();
        EXPECT_EQ(back, c.encoding == TTextStream::LATIN1 ? (c.code & 0xFF) : c.code);
    }
}

TEST(TextStreamCharacters, SurrogatesAreEncodedOneCodeUnitAtATime) {
    Sink sink(TTextStream::UTF8);
    sink.text->WriteString(u"\U0001F600");  // D83D DE00
    EXPECT_EQ(sink.bytes(), (Bytes{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
}

TEST(TextStreamCharacters, FourByteUtf8LeadGivesZeroAfterThreeBytes) {
    auto stream = Over({0xF0, 0x9F, 0x98, 0x80}, TTextStream::UTF8);
    EXPECT_EQ(stream->ReadChar(), 0);
    EXPECT_FALSE(stream->Eof());
    EXPECT_EQ(stream->Pos(), 3);
    EXPECT_EQ(stream->_ReadByte(), 0x80);
}

TEST(TextStreamCharacters, MalformedUtf8IsDecodedArithmetically) {
    // A stray continuation byte as lead: (0x80 - 192) * 64 + (0x41 - 128).
    EXPECT_EQ(Over({0x80, 0x41}, TTextStream::UTF8)->ReadChar(), (0x80 - 192) * 64 + (0x41 - 128));
    EXPECT_EQ(Over({0xC3, 0x29}, TTextStream::UTF8)->ReadChar(), 3 * 64 + (0x29 - 128));
}

TEST(TextStreamCharacters, EndOfDataInsideACharacterThrows) {
    EXPECT_THROW(Over({0xE2, 0x82}, TTextStream::UTF8)->ReadChar(), TStreamReadException);
    EXPECT_THROW(Over({0x20}, TTextStream::UTF16LE)->ReadChar(), TStreamReadException);
    EXPECT_THROW(Over({0x41, 0x00, 0x42}, TTextStream::UTF16LE)->ReadLine(), TStreamReadException);
    EXPECT_THROW(Over({}, TTextStream::LATIN1)->ReadString(1), TStreamReadException);
}

TEST(TextStreamLines, ReadLineStopsAtLfOrZeroAndDropsCr) {
    auto stream = Over(AsBytes(std::string("a\r\nb\rc\0d\ne", 11)), TTextStream::UTF8);
    EXPECT_EQ(stream->ReadLine(), u"a");
    EXPECT_EQ(stream->ReadLine(), u"bc");
    EXPECT_EQ(stream->ReadLine(), u"d");
    EXPECT_EQ(stream->ReadLine(), u"e");
    EXPECT_TRUE(stream->Eof());
    EXPECT_EQ(stream->ReadLine(), u"");
}

TEST(TextStreamLines, LinesRoundTripInEveryEncoding) {
    const String text = u"Gr\u00fc\u00dfe \u20ac\u0101";
    for (int32_t encoding = TTextStream::LATIN1; encoding <= TTextStream::UTF16LE; ++encoding) {
        Sink sink(encoding);
        EXPECT_TRUE(sink.text->WriteLine(text));
        sink.text->WriteLine(u"zwei");
        auto reader = Over(sink.bytes(), encoding);
        if (encoding == TTextStream::LATIN1) {
            EXPECT_EQ(reader->ReadLine(), u"Gr\u00fc\u00dfe \u00ac\u0001");
        } else {
            EXPECT_EQ(reader->ReadLine(), text) << "encoding " << encoding;
        }
        EXPECT_EQ(reader->ReadLine(), u"zwei");
        EXPECT_TRUE(reader->Eof());
    }
    Sink utf16(TTextStream::UTF16BE);
    utf16.text->WriteLine(u"A");
    EXPECT_EQ(utf16.bytes(), (Bytes{0, 'A', 0, 13, 0, 10}));
}

TEST(TextStreamLines, ReadFileKeepsLineEndsAndReadStringCountsCharacters) {
    const Bytes utf8 = {'a', 0xC3, 0xA9, '\r', '\n', 'b'};
    EXPECT_EQ(Over(utf8, TTextStream::UTF8)->ReadFile(), u"a\u00e9\r\nb");
    EXPECT_EQ(Over(utf8, TTextStream::UTF8)->ReadString(2), u"a\u00e9");
    EXPECT_EQ(Over(utf8, TTextStream::LATIN1)->ReadString(3), u"a\u00c3\u00a9");
}

// A pipe has no position and never reaches Eof: its end is a read of nothing.
std::shared_ptr<TTextStream> OverPipe(const testing::FilledPipe& pipe, int32_t encoding) {
    auto stream = TCStream::OpenFile(testing::U(pipe.Path()), true, false);
    EXPECT_EQ(stream->Pos(), -1);
    return TTextStream::Create(stream, encoding);
}

TEST(TextStreamLines, LinesAndWholeTextOverAPipeEndWithTheData) {
    const testing::FilledPipe ended("eins\r\nzw\xc3\xb6lf\n");
    auto lines = OverPipe(ended, TTextStream::UTF8);
    EXPECT_EQ(lines->ReadLine(), u"eins");
    EXPECT_EQ(lines->ReadLine(), u"zw\u00f6lf");
    EXPECT_EQ(lines->ReadLine(), u"");
    EXPECT_EQ(lines->ReadLine(), u"");

    const testing::FilledPipe unended("a\nlast");
    lines = OverPipe(unended, TTextStream::LATIN1);
    EXPECT_EQ(lines->ReadLine(), u"a");
    EXPECT_EQ(lines->ReadLine(), u"last");
    EXPECT_EQ(lines->ReadLine(), u"");

    const testing::FilledPipe empty("");
    EXPECT_EQ(OverPipe(empty, TTextStream::UTF8)->ReadLine(), u"");
    const testing::FilledPipe empty_too("");
    EXPECT_EQ(OverPipe(empty_too, TTextStream::UTF8)->ReadFile(), u"");
    const testing::FilledPipe whole("a\xc3\xa9\r\nb");
    EXPECT_EQ(OverPipe(whole, TTextStream::UTF8)->ReadFile(), u"a\u00e9\r\nb");
    const testing::FilledPipe utf16(std::string("A\0\n\0\xac\x20", 6));
    EXPECT_EQ(OverPipe(utf16, TTextStream::UTF16LE)->ReadFile(), u"A\n\u20ac");
}

TEST(TextStreamNumbers, IntegersAreDecimalLines) {
    Sink sink(TTextStream::UTF8);
    sink.text->WriteInt(7);
    EXPECT_EQ(sink.bytes(), AsBytes("7\r\n"));
    EXPECT_EQ(Over(sink.bytes(), TTextStream::UTF8)->ReadInt(), 7);

    // Byte and short writes keep the full value; long writes all 64 bits.
    Sink wide(TTextStream::UTF16LE);
    wide.text->WriteByte(300);
    wide.text->WriteShort(-70000);
    wide.text->WriteLong(-9000000000LL);
    auto reader = Over(wide.bytes(), TTextStream::UTF16LE);
    EXPECT_EQ(reader->ReadByte(), 300);
    EXPECT_EQ(reader->ReadShort(), -70000);
    EXPECT_EQ(reader->ReadLong(), -9000000000LL);
}

TEST(TextStreamNumbers, ReadingUsesTheRuntimeTextToNumberRule) {
    auto stream = Over(AsBytes("  -12abc\n$1F\n%101\n+\nxyz\n"), TTextStream::LATIN1);
    EXPECT_EQ(stream->ReadInt(), -12);
    EXPECT_EQ(stream->ReadInt(), 31);
    EXPECT_EQ(stream->ReadInt(), 5);
    EXPECT_EQ(stream->ReadInt(), 0);
    EXPECT_EQ(stream->ReadInt(), 0);
}

TEST(TextStreamNumbers, FloatsUseAlternateGFormats) {
    Sink sink(TTextStream::LATIN1);
    sink.text->WriteFloat(1.5f);
    sink.text->WriteDouble(0.1);
    sink.text->WriteFloat(100.0f);
    EXPECT_EQ(sink.bytes(), AsBytes("1.50000000\r\n0.10000000000000001\r\n100.000000\r\n"));
    auto reader = Over(sink.bytes(), TTextStream::LATIN1);
    EXPECT_EQ(reader->ReadFloat(), 1.5f);
    EXPECT_EQ(reader->ReadDouble(), 0.1);
    EXPECT_EQ(reader->ReadFloat(), 100.0f);
    EXPECT_EQ(Over(AsBytes(" 2.5e3x\n"), TTextStream::UTF8)->ReadDouble(), 2500.0);
}

TEST(TextStreamHex, ThirtyThreeBytesMakeAFullLineAndAnOpenOne) {
    Bytes raw(33);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<uint8_t>(i * 7 + 0xA0);
    Sink sink(TTextStream::UTF16LE);  // hex digits bypass the encoding
    EXPECT_EQ(sink.text->Write(raw.data(), 33), 33);
    EXPECT_EQ(sink.text->_bufcount, 1);
    sink.text->WriteLine(u"x");
    Bytes expected = AsBytes(
        "A0A7AEB5BCC3CAD1D8DFE6EDF4FB020910171E252C333A41484F565D646B7279\r\n"
        "80\r\n");
    for (const uint8_t b : {'x', '\r', '\n'})
        expected.insert(expected.end(), {b, 0});
    EXPECT_EQ(sink.bytes(), expected);

    auto reader = Over(sink.bytes(), TTextStream::UTF16LE);
    Bytes back(33);
    EXPECT_EQ(reader->Read(back.data(), 33), 33);
    EXPECT_EQ(back, raw);
    EXPECT_EQ(reader->ReadLine(), u"x");
    EXPECT_TRUE(reader->Eof());
}

TEST(TextStreamHex, BytesReadThroughTheTypedHelpersOfTheBase) {
    // ReadBytes and SkipBytes of the base run over the hex Read.
    auto reader = Over(AsBytes("00FF7f\r\n"), TTextStream::LATIN1);
    uint8_t two[2];
    reader->ReadBytes(two, 2);
    EXPECT_EQ(two[0], 0x00);
    EXPECT_EQ(two[1], 0xFF);
    uint8_t lower_case = 0;
    reader->Read(&lower_case, 1);
    EXPECT_EQ(lower_case, static_cast<uint8_t>(0x7 * 16 + ('f' - 48 - 7)));
}

TEST(TextStreamHex, FullHexLineMustEndWithLfOrCrLf) {
    const std::string line(64, 'A');
    for (const char* ending : {"\n", "\r\n"}) {
        auto reader = Over(AsBytes(line + ending + "B"), TTextStream::LATIN1);
        Bytes raw(32);
        reader->Read(raw.data(), 32);
        EXPECT_EQ(raw, Bytes(32, 0xAA));
        EXPECT_EQ(reader->ReadLine(), u"B");
    }
    for (const char* ending : {"X", "\rX", " \n"}) {
        auto reader = Over(AsBytes(line + ending + "BB"), TTextStream::LATIN1);
        Bytes raw(33);
        try {
            reader->Read(raw.data(), 33);
            ADD_FAILURE() << "no exception for ending " << ending;
        } catch (const StringException& e) {
            EXPECT_EQ(e.ToString(), u"Malformed line terminator");
        }
    }
    // A short hex line is only checked when text follows it.
    auto partial = Over(AsBytes("41X"), TTextStream::LATIN1);
    uint8_t byte = 0;
    partial->Read(&byte, 1);
    EXPECT_EQ(byte, 0x41);
    EXPECT_THROW(partial->ReadLine(), StringException);
}

TEST(TextStreamHex, CloseLeavesAPartialLineUnterminated) {
    Sink sink(TTextStream::UTF8);
    const uint8_t byte = 0xC4;
    sink.text->Write(&byte, 1);
    sink.text->Flush();
    EXPECT_EQ(sink.bytes(), AsBytes("C4"));
}

TEST(TextStreamFactory, PrefixesOpenTextStreamsAndNest) {
    TempDir dir;
    const String path = FromUtf8(dir / "text");
    WriteFileBytes(dir / "text", {0xC3, 0xA9, '\n'});
    for (const String prefix : {u"utf8::", u"UTF8::"}) {
        auto stream = std::dynamic_pointer_cast<TTextStream>(OpenFileRead(prefix + path));
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->_encoding, TTextStream::UTF8);
        EXPECT_EQ(stream->ReadLine(), u"\u00e9");
    }
    const std::pair<String, int32_t> protocols[] = {{u"latin1::", TTextStream::LATIN1},
                                                    {u"utf16be::", TTextStream::UTF16BE},
                                                    {u"utf16le::", TTextStream::UTF16LE}};
    for (const auto& [prefix, encoding] : protocols) {
        auto stream = std::dynamic_pointer_cast<TTextStream>(OpenFileRead(prefix + path));
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->_encoding, encoding);
    }
    EXPECT_EQ(OpenFileRead(u"utf32::" + path), nullptr);
    EXPECT_EQ(OpenFileRead(u"utf8::" + path + u".missing"), nullptr);

    // A UTF-16BE stream over a Latin-1 stream: each character of the inner stream is one
    // byte that the outer one pairs up.
    auto writer = OpenFileWrite(u"utf16be::latin1::" + path);
    ASSERT_TRUE(writer);
    writer->WriteString(u"\u0141");  // outer: bytes 01 41, each written by the inner as a line
    writer->Close();
    EXPECT_EQ(ReadFileBytes(dir / "text"), AsBytes("1\r\n65\r\n"));
}

TEST(TextFiles, LoadTextFileDetectsByteOrderMarks) {
    TempDir dir;
    const String path = FromUtf8(dir / "t");
    const std::pair<Bytes, String> cases[] = {
        {{0xEF, 0xBB, 0xBF, 0x41}, u"A"},
        {{0x41, 0xE9}, u"\u0041\u00e9"},
        {{0xFE, 0xFF, 0x20, 0xAC, 0x00, 0x41}, u"\u20acA"},
        {{0xFF, 0xFE, 0xAC, 0x20}, u"\u20ac"},
        {{0xEF, 0xBB, 0x41}, u"\u00ef\u00bb\u0041"},  // no mark: all three bytes are text
        {{0xEF, 0xBB}, u"\u00ef\u00bb"},
        {{0xFE}, u"\u00fe"},
        {{}, u""},
        {{0xC3, 0xA9}, u"\u00c3\u00a9"},  // never guessed to be UTF-8
    };
    for (const auto& [bytes, text] : cases) {
        WriteFileBytes(dir / "t", bytes);
        EXPECT_EQ(LoadTextFile(path), text) << "file of " << bytes.size() << " bytes";
    }
    Bytes long_latin1(3000, 'q');
    long_latin1[2999] = 0xFF;
    WriteFileBytes(dir / "t", long_latin1);
    const String loaded = LoadTextFile(path);
    ASSERT_EQ(loaded.size(), 3000u);
    EXPECT_EQ(loaded[2999], u'\u00ff');
    EXPECT_THROW(LoadTextFile(path + u".missing"), TStreamReadException);

    // A pipe has no position and never reaches Eof; it is read to its end all the same.
    const testing::FilledPipe marked(
        "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
        "e\n");
    EXPECT_EQ(LoadTextFile(FromUtf8(marked.Path())), u"Gr\u00fc\u00dfe\n");
    const testing::FilledPipe plain("\xE4!");
    EXPECT_EQ(LoadTextFile(FromUtf8(plain.Path())), u"\u00e4!");
    const testing::FilledPipe empty("");
    EXPECT_EQ(LoadTextFile(FromUtf8(empty.Path())), u"");
}

TEST(TextFiles, SaveTextFileUsesLatin1OrMarkedUtf16) {
    TempDir dir;
    const String path = FromUtf8(dir / "t");
    EXPECT_TRUE(SaveTextFile(u"\u0101", path));
    EXPECT_EQ(ReadFileBytes(dir / "t"), (Bytes{0xFF, 0xFE, 0x01, 0x01}));
    EXPECT_EQ(LoadTextFile(path), u"\u0101");

    EXPECT_TRUE(SaveTextFile(u"h\u00e9\r\n", path));
    EXPECT_EQ(ReadFileBytes(dir / "t"), (Bytes{'h', 0xE9, '\r', '\n'}));
    EXPECT_EQ(LoadTextFile(path), u"h\u00e9\r\n");

    EXPECT_THROW(SaveTextFile(u"\u20ac", u"/nonexistent/dir/t"), TStreamWriteException);
}

TEST(StandardIO, PrintLineWritesUtf8WithCrLfToStandardOutput) {
    ::testing::internal::CaptureStdout();
    PrintLine(u"\u00e9!");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "\xC3\xA9!\r\n");
}

TEST(StandardIO, PromptLineReadsUtf8LinesUntilStandardInputEnds) {
    TempDir dir;
    // The last line has no line end; it is still returned once input ends.
    WriteFileBytes(dir / "in", AsBytes("h\xC3\xA9llo\r\n\nlast"));
    const auto result = testing::RunProcess(
        {"/bin/sh", "-c", std::string(PROMPT_PROBE) + " < '" + (dir / "in") + "'"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "> [h\xC3\xA9llo]\r\n> []\r\n> [last]\r\n");
}

}  // namespace
}  // namespace vexel
