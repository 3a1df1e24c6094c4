#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <thread>

#include "runtime/error.h"
#include "stream/c_stream.h"
#include "stream/durable_save.h"
#include "stream/file_system.h"
#include "stream/memory_stream.h"
#include "stream/stream_factory.h"
#include "stream/whole_file.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(WholeFile, SaveAndLoadBytesAcrossTheGrowthSteps) {
    TempDir dir;
    std::vector<uint8_t> bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    const String path = FromUtf8(dir / "blob");
    SaveBytesTo(bytes, path);
    EXPECT_EQ(ReadFileBytes(dir / "blob"), bytes);
    EXPECT_EQ(LoadBytesFrom(path), bytes);
}

TEST(WholeFile, ByteStringsUseOneBytePerCharacter) {
    TempDir dir;
    const String path = FromUtf8(dir / "text");
    SaveByteString(u"\u00e4\u20ac!", path);
    EXPECT_EQ(ReadFileBytes(dir / "text"), (std::vector<uint8_t>{0xE4, 0xAC, '!'}));
    EXPECT_EQ(LoadByteString(path), u"\u00e4\u00ac!");
}

TEST(WholeFile, UnopenableUrlsThrowTheMatchingException) {
    EXPECT_THROW(LoadBytesFrom(u"/nonexistent/file"), TStreamReadException);
    EXPECT_THROW(SaveBytesTo({1}, u"/nonexistent/dir/file"), TStreamWriteException);
    EXPECT_THROW(LoadObjectFrom(u"/nonexistent/file"), TStreamReadException);
}

// A stream that stores objects: what a program's own stream type would add.
class ObjectShelf : public TStream {
  public:
    ObjectPtr ReadObject() override { return stored; }
    int WriteObject(const ObjectPtr& object) override {
        stored = object;
        return 0;
    }
    int Close() override {
        ++closes;
        return 0;
    }
    ObjectPtr stored;
    int closes = 0;
};

TEST(WholeFile, ObjectsGoThroughTheStreamsOwnObjectOperations) {
    auto shelf = std::make_shared<ObjectShelf>();
    const auto object = std::make_shared<Object>();
    SaveObjectTo(object, shelf);
    EXPECT_EQ(shelf->stored, object);
    EXPECT_EQ(LoadObjectFrom(shelf), object);
    // Only the wrapper made for the stream url is closed, not the caller's stream.
    EXPECT_EQ(shelf->closes, 0);

    // A file stream has no object operations.
    TempDir dir;
    try {
        SaveObjectTo(object, FromUtf8(dir / "object"));
        ADD_FAILURE() << "no exception";
    } catch (const StringException& error) {
        EXPECT_EQ(error.ToString(), u"Unable to write object");
    }
    EXPECT_THROW(SaveObjectTo(object, u"/nonexistent/dir/object"), TStreamWriteException);
}

TEST(WholeFile, ASaveReplacesTheTargetWholeKeepingItsModeAndLinks) {
    TempDir dir;
    WriteFileBytes(dir / "target", {1, 2, 3});
    ASSERT_EQ(chmod((dir / "target").c_str(), 0640), 0);
    ASSERT_EQ(symlink("target", (dir / "link").c_str()), 0);
    std::ifstream before(dir / "target", std::ios::binary);

    // Until the stream is closed a reader of the target sees the old file.
    const auto stream = OpenFileWrite(FromUtf8(dir / "link"));
    ASSERT_TRUE(stream);
    stream->WriteString(u"new");
    ASSERT_EQ(stream->Flush(), 0);
    EXPECT_EQ(ReadFileBytes(dir / "target"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(stream->Close(), 0);
    EXPECT_EQ(ReadFileBytes(dir / "target"), (std::vector<uint8_t>{'n', 'e', 'w'}));
    // One opened before still reads the old bytes: the new file took the name.
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(before), {}), "\x01\x02\x03");

    struct stat info {};
    ASSERT_EQ(lstat((dir / "link").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat((dir / "target").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    std::vector<String> names = ListDirectoryNames(FromUtf8(dir.path()), true);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<String>{u"link", u"target"}));

    // An abandoned save leaves the old file.
    const auto abandoned = TCStream::OpenFile(FromUtf8(dir / "target"), false, true);
    abandoned->WriteString(u"lost");
    abandoned->Abandon();
    EXPECT_EQ(ReadFileBytes(dir / "target"), (std::vector<uint8_t>{'n', 'e', 'w'}));
    EXPECT_EQ(ListDirectoryNames(FromUtf8(dir.path()), true).size(), 2u);
}

TEST(WholeFile, AFifoTargetIsWrittenDirectly) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        std::ifstream in(dir / "fifo", std::ios::binary);
        received.assign(std::istreambuf_iterator<char>(in), {});
    });
    SaveByteString(u"through", FromUtf8(dir / "fifo"));
    reader.join();
    EXPECT_EQ(received, "through");
    EXPECT_EQ(ListDirectoryNames(FromUtf8(dir.path()), true), std::vector<String>{u"fifo"});
}

TEST(WholeFile, UserFilesOpenOnlyWhenRegularWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    WriteFileBytes(dir / "plain", {'o', 'k'});
    ASSERT_EQ(symlink("plain", (dir / "link").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    WriteFileBytes(dir / "locked", {1});
    ASSERT_EQ(chmod((dir / "locked").c_str(), 0), 0);

    FileOutcome outcome;
    for (const char* name : {"plain", "link"}) {
        const auto stream = OpenUserFileRead(FromUtf8(dir / name), outcome);
        ASSERT_TRUE(stream) << name;
        EXPECT_EQ(stream->ReadString(2), u"ok");
        EXPECT_TRUE(outcome.Ok());
    }
    // A FIFO without a writer would block a plain open for ever.
    EXPECT_FALSE(OpenUserFileRead(FromUtf8(dir / "fifo"), outcome));
    EXPECT_EQ(outcome.error, FileOutcome::NOT_REGULAR_FILE);
    EXPECT_EQ(outcome.Reason(), u"not a regular file");
    EXPECT_FALSE(OpenUserFileRead(FromUtf8(dir.path()), outcome));
    EXPECT_EQ(outcome.error, FileOutcome::NOT_REGULAR_FILE);
    EXPECT_FALSE(OpenUserFileRead(FromUtf8(dir / "missing"), outcome));
    EXPECT_TRUE(outcome.Missing());
    EXPECT_EQ(outcome.Reason(), u"No such file or directory");

    // Root reads any file; an ordinary user meets the permission bits.
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
        FileOutcome locked;
        const bool refused = !OpenUserFileRead(FromUtf8(dir / "locked"), locked);
        _exit(refused && locked.error == EACCES && !locked.Missing() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(WholeFile, CopyHelpers) {
    TempDir dir;
    std::vector<uint8_t> bytes(3000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    auto source = TMemoryStream::Create(bytes);
    auto target = TCStream::OpenFile(FromUtf8(dir / "copy"), false, true);
    CopyStreamData(*source, *target, 1000);
    target->Close();
    EXPECT_EQ(ReadFileBytes(dir / "copy"), bytes);

    source->Seek(0);
    auto partial = TCStream::OpenFile(FromUtf8(dir / "part"), false, true);
    CopyStreamBytes(*source, *partial, 2500, 1024);
    partial->Close();
    EXPECT_EQ(ReadFileBytes(dir / "part"),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2500));
    EXPECT_THROW(CopyStreamBytes(*source, *partial, 1000, 1024), TStreamReadException);
}

}  // namespace
}  // namespace vexel
