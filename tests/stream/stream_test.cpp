#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/error.h"
#include "stream/memory_stream.h"
#include "stream/stream.h"

namespace vexel {
namespace {

// An in-memory stream that records what is written and can be told to accept only so many
// bytes, for checking byte formats and failure paths.
class ByteSink : public TStream {
  public:
    int64_t Write(const void* buffer, int64_t count) override {
        const int64_t n = std::min(count, capacity - static_cast<int64_t>(bytes.size()));
        const auto* in = static_cast<const uint8_t*>(buffer);
        bytes.insert(bytes.end(), in, in + n);
        return n;
    }
    int64_t Pos() override { return static_cast<int64_t>(bytes.size()); }
    int64_t Size() override { return static_cast<int64_t>(bytes.size()); }

    std::vector<uint8_t> bytes;
    int64_t capacity = 1 << 20;
};

std::shared_ptr<TMemoryStream> Over(std::vector<uint8_t> bytes) {
    return TMemoryStream::Create(std::move(bytes));
}

TEST(TypedWrites, ByteFormatsAreLittleEndian) {
    ByteSink sink;
    sink.WriteByte(0x1FF);
    sink.WriteShort(0x12345);
    sink.WriteInt(1);
    sink.WriteInt(-2);
    sink.WriteLong(0x0102030405060708LL);
    sink.WriteFloat(1.0f);
    sink.WriteDouble(-2.0);
    const std::vector<uint8_t> expected = {
        0xFF,                                            // low 8 bits
        0x45, 0x23,                                      // low 16 bits
        0x01, 0x00, 0x00, 0x00,                          //
        0xFE, 0xFF, 0xFF, 0xFF,                          //
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  //
        0x00, 0x00, 0x80, 0x3F,                          // 1.0f
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0,  // -2.0
    };
    EXPECT_EQ(sink.bytes, expected);
}

TEST(TypedReads, ReadBackWhatTheFormatsSay) {
    auto stream = Over({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x08, 0x07, 0x06,
                        0x05, 0x04, 0x03, 0x02, 0x81, 0x00, 0x00, 0x80, 0x3F, 0,
                        0,    0,    0,    0,    0,    0,    0xC0, 'h',  'i'});
    EXPECT_EQ(stream->ReadShort(), 65535);  // unsigned, not sign-extended
    EXPECT_EQ(stream->ReadByte(), 255);
    EXPECT_EQ(stream->ReadInt(), -2);
    EXPECT_EQ(stream->ReadLong(), static_cast<int64_t>(0x8102030405060708ULL));
    EXPECT_EQ(stream->ReadFloat(), 1.0f);
    EXPECT_EQ(stream->ReadDouble(), -2.0);
    EXPECT_EQ(stream->ReadString(2), u"hi");
    EXPECT_TRUE(stream->Eof());
}

TEST(TypedReads, ShortReadThrowsAndLeavesThePositionAtTheEnd) {
    auto stream = Over({1, 2});
    EXPECT_THROW(stream->ReadInt(), TStreamReadException);
    EXPECT_EQ(stream->Pos(), 2);
    EXPECT_TRUE(stream->Eof());
    EXPECT_THROW(stream->SkipBytes(1), TStreamReadException);
    EXPECT_THROW(stream->ReadString(1), TStreamReadException);
}

TEST(TypedWrites, FailedWritesThrowButWriteLineReportsFalse) {
    ByteSink sink;
    sink.capacity = 3;
    EXPECT_THROW(sink.WriteInt(7), TStreamWriteException);
    EXPECT_EQ(sink.bytes.size(), 3u);

    ByteSink line_sink;
    line_sink.capacity = 4;  // room for the text but not the line end
    EXPECT_FALSE(line_sink.WriteLine(u"Abc"));
    ByteSink full;
    EXPECT_TRUE(full.WriteLine(u"Abc"));
    EXPECT_EQ(full.bytes, (std::vector<uint8_t>{0x41, 0x62, 0x63, 0x0D, 0x0A}));
}

TEST(Lines, WriteLineStoresOneBytePerCharacter) {
    ByteSink sink;
    sink.WriteLine(u"\u20ac\u00e4");
    EXPECT_EQ(sink.bytes, (std::vector<uint8_t>{0xAC, 0xE4, 0x0D, 0x0A}));
}

TEST(Lines, ReadLineEndsAtLfOrZeroAndDropsCr) {
    auto crlf = Over({'a', 13, 10, 'b'});
    EXPECT_EQ(crlf->ReadLine(), u"a");
    EXPECT_EQ(crlf->ReadLine(), u"b");
    EXPECT_TRUE(crlf->Eof());
    EXPECT_EQ(crlf->ReadLine(), u"");

    auto inner_cr = Over({'x', 13, 'y', 10});
    EXPECT_EQ(inner_cr->ReadLine(), u"xy");

    auto zero = Over({'p', 0, 'q'});
    EXPECT_EQ(zero->ReadLine(), u"p");
    EXPECT_EQ(zero->ReadLine(), u"q");
}

TEST(Lines, ReadLineHasNoLengthLimitAndKeepsHighBytes) {
    std::vector<uint8_t> bytes(5000, 'z');
    bytes.push_back(0xFC);
    auto stream = Over(bytes);
    const String line = stream->ReadLine();
    ASSERT_EQ(line.size(), 5001u);
    EXPECT_EQ(line.back(), u'\u00fc');
}

TEST(Defaults, StreamsThatCannotReadOrWriteSaySo) {
    TStream bare;
    char byte;
    try {
        bare.Read(&byte, 1);
        FAIL();
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.ToString(), u"Stream is not readable");
    }
    try {
        bare.Write(&byte, 1);
        FAIL();
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.ToString(), u"Stream is not writeable");
    }
    EXPECT_EQ(bare.Pos(), -1);
    EXPECT_EQ(bare.Size(), 0);
    EXPECT_EQ(bare.Seek(5), -1);
    EXPECT_FALSE(bare.Eof());
}

TEST(Defaults, ExceptionTexts) {
    EXPECT_EQ(TStreamReadException().ToString(), u"Error reading from stream");
    EXPECT_EQ(TStreamWriteException().ToString(), u"Error writing to stream");
    EXPECT_STREQ(TStreamReadException().what(), "Error reading from stream");
    TStream bare;
    try {
        bare.ReadObject();
        FAIL();
    } catch (const StringException& error) {
        EXPECT_EQ(error.ToString(), u"Unable to read object");
    }
    try {
        bare.WriteObject(nullptr);
        FAIL();
    } catch (const StringException& error) {
        EXPECT_EQ(error.ToString(), u"Unable to write object");
    }
}

TEST(Wrappers, StreamStreamCloseDetachesAndLeavesTheInnerStreamOpen) {
    auto inner = Over({1, 2, 3, 4, 5});
    auto wrapper = TStreamStream::Create(inner);
    EXPECT_EQ(wrapper->ReadByte(), 1);
    EXPECT_EQ(wrapper->ReadShort(), 0x0302);  // forwarded to the inner stream
    EXPECT_EQ(wrapper->Pos(), 3);
    wrapper->Close();
    EXPECT_EQ(wrapper->Wrapped(), nullptr);
    EXPECT_EQ(inner->ReadByte(), 4);
}

TEST(Wrappers, LongAndBulkOperationsRunThroughTheWrappersReadAndWrite) {
    // Counts the Read calls that reach the wrapper itself.
    class CountingWrapper : public TStreamWrapper {
      public:
        int64_t Read(void* buffer, int64_t count) override {
            ++reads;
            return TStreamWrapper::Read(buffer, count);
        }
        int reads = 0;
    };
    CountingWrapper wrapper;
    wrapper.SetStream(Over({1, 0, 0, 0, 0, 0, 0, 0, 9, 9, 7, 0, 0, 0}));
    EXPECT_EQ(wrapper.ReadLong(), 1);
    EXPECT_EQ(wrapper.reads, 1);
    wrapper.SkipBytes(2);
    EXPECT_EQ(wrapper.reads, 2);
    EXPECT_EQ(wrapper.ReadInt(), 7);  // forwarded: no Read through the wrapper
    EXPECT_EQ(wrapper.reads, 2);
}

TEST(MemoryStream, SeeksWithinBoundsAndReadsWhatIsLeft) {
    auto stream = Over({1, 2, 3});
    EXPECT_EQ(stream->Seek(10), 3);
    EXPECT_EQ(stream->Seek(-4), 0);
    EXPECT_EQ(stream->Seek(1), 1);
    uint8_t out[8] = {};
    EXPECT_EQ(stream->Read(out, 8), 2);
    EXPECT_EQ(out[0], 2);
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(stream->Read(out, 8), 0);
}

}  // namespace
}  // namespace vexel
