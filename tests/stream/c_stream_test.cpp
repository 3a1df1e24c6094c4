#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "stream/c_stream.h"
#include "stream/file_copy.h"
#include "stream/file_system.h"
#include "stream/stream_factory.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::U;
using testing::WriteFileBytes;

TEST(CStream, WritesTrackPositionAndSizeAndCloseResetsThem) {
    TempDir dir;
    auto stream = TCStream::OpenFile(U(dir / "f.bin"), false, true);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Mode(), TCStream::MODE_WRITE);
    stream->WriteInt(1);
    stream->WriteLine(u"Abc");
    EXPECT_EQ(stream->Pos(), 9);
    EXPECT_EQ(stream->Size(), 9);
    EXPECT_TRUE(stream->Eof());
    stream->Close();
    EXPECT_EQ(stream->Pos(), 0);
    EXPECT_EQ(stream->Size(), 0);
    EXPECT_TRUE(stream->Eof());
    stream->Close();  // a second close does nothing
    EXPECT_EQ(ReadFileBytes(dir / "f.bin"),
              (std::vector<uint8_t>{1, 0, 0, 0, 0x41, 0x62, 0x63, 0x0D, 0x0A}));
}

TEST(CStream, ReadWriteModeSeeksAndOverwrites) {
    TempDir dir;
    WriteFileBytes(dir / "f.bin", {1, 2, 3, 4});
    auto stream = TCStream::OpenFile(U(dir / "f.bin"), true, true);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Mode(), 3);
    EXPECT_EQ(stream->Size(), 4);
    EXPECT_EQ(stream->Seek(2), 2);
    stream->WriteByte(9);
    stream->Seek(0);
    EXPECT_EQ(stream->ReadInt(), 0x04090201);
    EXPECT_TRUE(stream->Eof());
}

TEST(CStream, ReadWriteModeNeedsAnExistingFile) {
    TempDir dir;
    EXPECT_EQ(TCStream::OpenFile(U(dir / "missing"), true, true), nullptr);
}

// Only Close replaces a file: a stream destroyed without it, as when a program returns early
// or throws, leaves the old file (or none) and nothing beside it. One that writes in place (a
// pipe) has nothing to abandon and is closed, with what it holds flushed.
TEST(CStream, DestroyingTheStreamWithoutCloseKeepsTheOldFileAndClosesAPipe) {
    TempDir dir;
    WriteFileBytes(dir / "f.bin", {1, 2, 3});
    for (const char* name : {"f.bin", "new.bin"}) {
        auto stream = OpenFileWrite(U(dir / name));
        ASSERT_TRUE(stream);
        stream->WriteLine(u"partial");
    }
    EXPECT_EQ(ReadFileBytes(dir / "f.bin"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(ListDirectoryNames(U(dir.path()), true), std::vector<String>{u"f.bin"});

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    {
        auto stream = OpenFileWrite(U("/proc/self/fd/" + std::to_string(ends[1])));
        ASSERT_TRUE(stream);
        stream->WriteShort(0xBEEF);
    }
    close(ends[1]);
    uint8_t bytes[3] = {};
    EXPECT_EQ(read(ends[0], bytes, 3), 2);
    EXPECT_EQ(bytes[0], 0xEF);
    EXPECT_EQ(bytes[1], 0xBE);
    close(ends[0]);
}

TEST(CStream, OpenFileWriteTruncatesAnExistingFile) {
    TempDir dir;
    WriteFileBytes(dir / "f.bin", {1, 2, 3});
    auto stream = OpenFileWrite(U(dir / "f.bin"));
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Size(), 0);
    EXPECT_TRUE(stream->Eof());
    stream->Close();
    EXPECT_TRUE(ReadFileBytes(dir / "f.bin").empty());
}

TEST(CStream, APipeHasNoPositionAndCannotSeek) {
    testing::FilledPipe pipe("first\nsecond\n");
    auto stream = TCStream::OpenFile(U(pipe.Path()), true, false);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Pos(), -1);
    EXPECT_EQ(stream->Size(), 0);
    EXPECT_FALSE(stream->Eof());  // only a Read of nothing ends the data
    EXPECT_EQ(stream->Seek(2), -1);
    EXPECT_EQ(stream->ReadLine(), u"first");
    EXPECT_EQ(stream->Pos(), -1);
    EXPECT_EQ(stream->ReadLine(), u"second");
    EXPECT_FALSE(stream->Eof());  // the reads have not met the end yet
    EXPECT_EQ(stream->ReadLine(), u"");
    EXPECT_TRUE(stream->Eof());  // so `while (!Eof()) ReadLine()` ends
}

TEST(CStream, ASeekableStreamOverAPipeIsACopyInMemory) {
    testing::FilledPipe pipe("first\nsecond\n");
    auto stream = OpenSeekableRead(U(pipe.Path()));
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Size(), 13);
    EXPECT_EQ(stream->Seek(2), 2);
    EXPECT_EQ(stream->ReadLine(), u"rst");
    EXPECT_EQ(stream->ReadLine(), u"second");
}

TEST(PathCase, OpenFileReadFindsTheFileUnderAnotherLetterCase) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Data");
    WriteFileBytes(dir / "Data/Options", {'o', 'k'});
    auto stream = OpenFileRead(U(dir / "data/options"));
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->ReadString(2), u"ok");
    EXPECT_EQ(ResolvePathCase(U(dir / "DATA/OPTIONS")), U(dir / "Data/Options"));
    EXPECT_EQ(ResolvePathCase(U(dir / "data/nothing")), u"");
}

TEST(PathCase, OpenFileWriteCreatesTheNameAsGiven) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Data");
    WriteFileBytes(dir / "Data/Options", {'o', 'k'});
    std::filesystem::create_directories(dir / "data");
    auto stream = OpenFileWrite(U(dir / "data/options"));
    ASSERT_TRUE(stream);
    stream->Close();
    EXPECT_TRUE(std::filesystem::exists(dir / "data/options"));
    EXPECT_EQ(ReadFileBytes(dir / "Data/Options").size(), 2u);
}

TEST(PathCase, BackslashesAreDirectorySeparators) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Data");
    WriteFileBytes(dir / "Data/Options", {'x'});
    auto stream = OpenFileRead(U(dir.path()) + u"\\Data\\Options");
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->ReadByte(), 'x');
}

TEST(PathCase, NonAsciiNamesGoToTheSystemAsUtf8) {
    TempDir dir;
    WriteFileBytes(dir /
                       "R\xc3\xbc"
                       "be.png",
                   {7});
    auto stream = OpenFileRead(U(dir.path()) + u"/r\u00dcBE.png");
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->ReadByte(), 7);
}

}  // namespace
}  // namespace vexel
