// What every way of saving reports when the file system is full. stdio keeps small writes
// in its buffer and meets the full disk only when it empties the buffer, at a flush or at
// the close, so these cases pass only when that late failure reaches the caller.
#include <gtest/gtest.h>

#include "stream/c_stream.h"
#include "stream/file_system.h"
#include "stream/stream_factory.h"
#include "stream/text_stream.h"
#include "stream/whole_file.h"
#include "support/small_file_system.h"

namespace vexel {
namespace {

using testing::FullDiskPath;
using testing::ReadFileBytes;
using testing::SmallFileSystem;
using testing::TempDir;
using testing::U;
using testing::WriteFileBytes;

TEST(FullDisk, SmallSavesReportTheFailureOnlyTheCloseSees) {
    SmallFileSystem fs;
    const String path = U(FullDiskPath(fs, "save"));

    EXPECT_THROW(SaveBytesTo({1, 2, 3}, path), TStreamWriteException);
    EXPECT_THROW(SaveByteString(u"Abc", path), TStreamWriteException);
    EXPECT_THROW(SaveTextFile(u"Gr\u00fc\u00dfe", path), TStreamWriteException);  // Latin-1
    EXPECT_THROW(SaveTextFile(u"\u20ac", path), TStreamWriteException);           // UTF-16

    // The shape of the game's own files: lines and integers, then Close.
    auto stream = OpenFileWrite(path);
    ASSERT_TRUE(stream);
    EXPECT_TRUE(stream->WriteLine(u"Pilz"));  // still in the buffer
    stream->WriteInt(1234);
    EXPECT_EQ(stream->Close(), -1);
    EXPECT_EQ(stream->Close(), 0);  // already closed: nothing to report

    // A flush sees it as well, and from then on every write fails.
    stream = OpenFileWrite(path);
    ASSERT_TRUE(stream);
    stream->WriteString(u"Suppe");
    EXPECT_EQ(stream->Flush(), -1);
    EXPECT_EQ(stream->Write("x", 1), 0);
    EXPECT_THROW(stream->WriteByte(1), TStreamWriteException);
    EXPECT_EQ(stream->Close(), -1);

    // Through a text stream the close reaches the file underneath.
    auto text = OpenFileWrite(u"utf8::" + path);
    ASSERT_TRUE(text);
    text->WriteLine(u"Suppe");
    EXPECT_EQ(text->Close(), -1);

    TempDir dir;
    WriteFileBytes(dir / "from", {1, 2, 3, 4});
    EXPECT_FALSE(DuplicateFile(U(dir / "from"), path));
    if (fs.Mounted()) {
        EXPECT_EQ(PathKind(path), PATH_NONE);  // no partial copy left behind
    }
}

TEST(FullDisk, SavesLargerThanTheSpaceLeftFailPartWay) {
    SmallFileSystem fs;
    if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    fs.Fill(8192);
    ASSERT_EQ(fs.FreeBytes(), 8192);

    // What fits is saved whole: the file system itself works.
    const std::vector<uint8_t> small(5000, 7);
    SaveBytesTo(small, U(fs / "small"));
    EXPECT_EQ(ReadFileBytes(fs / "small"), small);
    ASSERT_TRUE(RemoveFile(U(fs / "small")));

    const std::vector<uint8_t> large(20000, 9);
    EXPECT_THROW(SaveBytesTo(large, U(fs / "bytes")), TStreamWriteException);
    ASSERT_TRUE(RemoveFile(U(fs / "bytes")));
    EXPECT_THROW(SaveTextFile(String(12000, u'a'), U(fs / "text")), TStreamWriteException);
    ASSERT_TRUE(RemoveFile(U(fs / "text")));
    // 8 KiB fit; the rest of a 9 KiB file is refused only by the close.
    EXPECT_THROW(SaveByteString(String(9000, u'b'), U(fs / "text")), TStreamWriteException);
    ASSERT_TRUE(RemoveFile(U(fs / "text")));

    TempDir dir;
    WriteFileBytes(dir / "from", large);
    EXPECT_FALSE(DuplicateFile(U(dir / "from"), U(fs / "copy")));
    EXPECT_EQ(PathKind(U(fs / "copy")), PATH_NONE);
    EXPECT_EQ(fs.FreeBytes(), 8192);
}

}  // namespace
}  // namespace vexel
