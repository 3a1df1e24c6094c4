#include <gtest/gtest.h>

#include "runtime/error.h"
#include "stream/c_stream.h"
#include "stream/memory_stream.h"
#include "stream/whole_file.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

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
