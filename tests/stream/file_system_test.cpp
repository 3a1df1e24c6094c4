#include "stream/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "stream/file_copy.h"
#include "stream/stream_factory.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::U;
using testing::WriteFileBytes;

std::vector<String> Sorted(std::vector<String> names) {
    std::sort(names.begin(), names.end());
    return names;
}

// Runs the test body in another working directory and goes back afterwards.
class InDirectory {
  public:
    explicit InDirectory(const String& path) : previous_(WorkingDirectoryPath()) {
        EXPECT_TRUE(ChangeWorkingDirectory(path));
    }
    ~InDirectory() { ChangeWorkingDirectory(previous_); }

  private:
    String previous_;
};

TEST(PathStrings, SplittingAFilePath) {
    // Every case is checked with "/" and again with backslashes, which must behave the same.
    struct Case {
        String path, file, directory, extension, without_extension, bare;
    };
    const Case cases[] = {
        {u"a/b/c.txt", u"c.txt", u"a/b", u"txt", u"a/b/c", u"c"},
        {u"a.b/c", u"c", u"a.b", u"", u"a.b/c", u"c"},
        {u"/x", u"x", u"/", u"", u"/x", u"x"},
        {u"x", u"x", u"", u"", u"x", u"x"},
        {u"..", u"..", u"..", u"", u".", u"."},
        {u".", u".", u".", u"", u"", u""},
        {u"/", u"", u"/", u"", u"/", u""},
        {u"dir/.hidden", u".hidden", u"dir", u"hidden", u"dir/", u""},
        {u"a/b.tar.gz", u"b.tar.gz", u"a", u"gz", u"a/b.tar", u"b.tar"},
        {u"a/b/", u"", u"a/b", u"", u"a/b/", u""},
    };
    for (const Case& c : cases) {
        for (const bool backslashes : {false, true}) {
            String path = c.path;
            if (backslashes) std::replace(path.begin(), path.end(), u'/', u'\\');
            const std::string shown = ToUtf8(path);
            EXPECT_EQ(FileNamePart(path), c.file) << shown;
            EXPECT_EQ(DirectoryPart(path), c.directory) << shown;
            EXPECT_EQ(ExtensionPart(path), c.extension) << shown;
            EXPECT_EQ(WithoutExtension(path), c.without_extension) << shown;
            EXPECT_EQ(BareFileName(path), c.bare) << shown;
        }
    }
}

TEST(PathStrings, RootsAndTrailingSlashes) {
    EXPECT_EQ(PathRootOf(u"/usr"), u"/");
    EXPECT_EQ(PathRootOf(u"\\usr"), u"/");
    EXPECT_EQ(PathRootOf(u"usr"), u"");
    EXPECT_TRUE(IsFileSystemRoot(u"/"));
    EXPECT_TRUE(IsFileSystemRoot(u"\\"));
    EXPECT_FALSE(IsFileSystemRoot(u""));
    EXPECT_FALSE(IsFileSystemRoot(u"/a"));
    EXPECT_TRUE(IsAbsolutePathName(u"/a"));
    EXPECT_FALSE(IsAbsolutePathName(u"a/b"));
    EXPECT_EQ(WithoutTrailingSlash(u"/"), u"/");
    EXPECT_EQ(WithoutTrailingSlash(u"a/"), u"a");
    EXPECT_EQ(WithoutTrailingSlash(u"a\\"), u"a");
    EXPECT_EQ(WithoutTrailingSlash(u"a//"), u"a/");
    EXPECT_EQ(NormalizePathName(u"a\\b\\", false), u"a/b/");
    EXPECT_EQ(NormalizePathName(u"a\\b\\", true), u"a/b");
}

TEST(PathStrings, AbsolutePathNameResolvesDotsTextually) {
    TempDir dir;
    const String base = WithoutTrailingSlash(U(dir.path()));
    InDirectory in(base);
    EXPECT_EQ(WorkingDirectoryPath(), base);
    EXPECT_EQ(AbsolutePathName(u"a/./b/../c"), base + u"/a/c");
    EXPECT_EQ(AbsolutePathName(u"a\\.\\b\\..\\c"), base + u"/a/c");
    EXPECT_EQ(AbsolutePathName(u""), base);
    EXPECT_EQ(AbsolutePathName(u"/usr//lib/./x/.."), u"/usr/lib");
    EXPECT_EQ(AbsolutePathName(u"/"), u"/");
}

TEST(PathStrings, AbsolutePathNameNeverClimbsAboveTheRoot) {
    EXPECT_EQ(AbsolutePathName(u"/a/.."), u"/");
    EXPECT_EQ(AbsolutePathName(u"/a/../b"), u"/b");
    EXPECT_EQ(AbsolutePathName(u"/../../etc"), u"/etc");
    EXPECT_EQ(AbsolutePathName(u"/a/b/../../.."), u"/");
    InDirectory in(u"/");
    EXPECT_EQ(AbsolutePathName(u"x/../../y"), u"/y");
}

TEST(FileQueries, KindSizeTimeAndPermissions) {
    TempDir dir;
    const String file = U(dir / "f");
    const String missing = U(dir / "missing");
    WriteFileBytes(dir / "f", Bytes(123, 7));
    EXPECT_EQ(PathKind(file), PATH_FILE);
    EXPECT_EQ(PathKind(U(dir.path())), PATH_DIRECTORY);
    EXPECT_EQ(PathKind(missing), PATH_NONE);
    EXPECT_EQ(PathByteSize(file), 123);
    EXPECT_EQ(PathByteSize(missing), -1);
    EXPECT_EQ(PathModifiedTime(missing), 0);
    EXPECT_EQ(PathPermissions(missing), -1);
    struct stat info {};
    ASSERT_EQ(stat((dir / "f").c_str(), &info), 0);
    EXPECT_EQ(PathModifiedTime(file), info.st_mtime);
    SetPathPermissions(file, 0640);
    EXPECT_EQ(PathPermissions(file), 0640);
    SetPathPermissions(file, 0604);
    EXPECT_EQ(PathPermissions(file), 0604);
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(PathKind(U(dir / "fifo")), PATH_NONE);
}

TEST(FileChanges, EmptyFilesRemovalAndMoves) {
    TempDir dir;
    const String file = U(dir / "f");
    WriteFileBytes(dir / "f", {1, 2, 3});
    EXPECT_TRUE(MakeEmptyFile(file));
    EXPECT_EQ(PathByteSize(file), 0);
    EXPECT_TRUE(MovePath(file, U(dir / "g")));
    EXPECT_EQ(PathKind(file), PATH_NONE);
    EXPECT_EQ(PathKind(U(dir / "g")), PATH_FILE);
    EXPECT_FALSE(MovePath(file, U(dir / "h")));
    EXPECT_TRUE(RemoveFile(U(dir / "g")));
    EXPECT_TRUE(RemoveFile(U(dir / "g")));  // nothing left, so it counts as removed
    EXPECT_FALSE(MakeEmptyFile(U(dir / "no/such/f")));
}

TEST(FileChanges, MakeDirectoryRecursiveAndNot) {
    TempDir dir;
    EXPECT_FALSE(MakeDirectory(U(dir / "a/b/c"), false));
    EXPECT_TRUE(MakeDirectory(U(dir / "a\\b\\c/"), true));
    EXPECT_EQ(PathKind(U(dir / "a")), PATH_DIRECTORY);
    EXPECT_EQ(PathKind(U(dir / "a/b")), PATH_DIRECTORY);
    EXPECT_EQ(PathKind(U(dir / "a/b/c")), PATH_DIRECTORY);
    EXPECT_TRUE(MakeDirectory(U(dir / "a/b/c"), true));  // already there
    EXPECT_TRUE(MakeDirectory(U(dir / "a/d/"), false));
    EXPECT_EQ(PathKind(U(dir / "a/d")), PATH_DIRECTORY);

    // A regular file in the way stops the walk.
    WriteFileBytes(dir / "a/file", {1});
    EXPECT_FALSE(MakeDirectory(U(dir / "a/file/x/y"), true));
    EXPECT_EQ(PathKind(U(dir / "a/file")), PATH_FILE);
    EXPECT_FALSE(MakeDirectory(U(dir / "a/file"), false));

    // Relative paths are made from the working directory.
    InDirectory in(U(dir.path()));
    EXPECT_TRUE(MakeDirectory(u"r/s/../t", true));
    EXPECT_EQ(PathKind(U(dir / "r/t")), PATH_DIRECTORY);
    EXPECT_EQ(PathKind(U(dir / "r/s")), PATH_NONE);
}

TEST(FileChanges, RemoveDirectoryRecursiveAndNot) {
    TempDir dir;
    ASSERT_TRUE(MakeDirectory(U(dir / "t/x/y"), true));
    WriteFileBytes(dir / "t/f", {1});
    WriteFileBytes(dir / "t/x/y/g", {2});
    EXPECT_FALSE(RemoveDirectory(U(dir / "t"), false));  // not empty
    EXPECT_EQ(PathKind(U(dir / "t/f")), PATH_FILE);
    EXPECT_TRUE(RemoveDirectory(U(dir / "t/"), true));
    EXPECT_EQ(PathKind(U(dir / "t")), PATH_NONE);
    EXPECT_FALSE(RemoveDirectory(U(dir / "t"), true));  // cannot be listed

    ASSERT_TRUE(MakeDirectory(U(dir / "empty"), false));
    EXPECT_TRUE(RemoveDirectory(U(dir / "empty"), false));
}

TEST(FileChanges, RemoveDirectoryRemovesLinksAsLinks) {
    TempDir dir;
    ASSERT_TRUE(MakeDirectory(U(dir / "outside/keep"), true));
    WriteFileBytes(dir / "outside/keep/precious", {9});
    WriteFileBytes(dir / "outside/file", {8});
    ASSERT_TRUE(MakeDirectory(U(dir / "tree"), false));
    ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "tree/to_dir").c_str()), 0);
    ASSERT_EQ(symlink((dir / "outside/file").c_str(), (dir / "tree/to_file").c_str()), 0);
    ASSERT_EQ(symlink((dir / "gone").c_str(), (dir / "tree/dangling").c_str()), 0);

    // A link named as the directory itself is not emptied either.
    ASSERT_EQ(symlink((dir / "outside").c_str(), (dir / "link").c_str()), 0);
    EXPECT_FALSE(RemoveDirectory(U(dir / "link"), true));

    EXPECT_TRUE(RemoveDirectory(U(dir / "tree"), true));
    EXPECT_EQ(PathKind(U(dir / "tree")), PATH_NONE);
    EXPECT_EQ(ReadFileBytes(dir / "outside/keep/precious"), Bytes{9});
    EXPECT_EQ(ReadFileBytes(dir / "outside/file"), Bytes{8});
}

TEST(FileListings, NamesWithAndWithoutDots) {
    TempDir dir;
    WriteFileBytes(dir / "b", {});
    WriteFileBytes(dir / "\xC3\xA4", {});  // UTF-8 name
    ASSERT_TRUE(MakeDirectory(U(dir / "c"), false));
    EXPECT_EQ(Sorted(ListDirectoryNames(U(dir.path()), true)),
              (std::vector<String>{u"b", u"c", u"\u00e4"}));
    EXPECT_EQ(Sorted(ListDirectoryNames(U(dir.path() + "/"), false)),
              (std::vector<String>{u".", u"..", u"b", u"c", u"\u00e4"}));
    EXPECT_TRUE(ListDirectoryNames(U(dir / "missing"), false).empty());

    auto listing = OpenDirectoryListing(U(dir / "c"));
    ASSERT_TRUE(listing);
    std::vector<String> names;
    for (String name = NextDirectoryEntry(*listing); !name.empty();
         name = NextDirectoryEntry(*listing)) {
        names.push_back(name);
    }
    EXPECT_EQ(Sorted(names), (std::vector<String>{u".", u".."}));
    CloseDirectoryListing(listing);
    EXPECT_FALSE(listing);
    EXPECT_FALSE(OpenDirectoryListing(U(dir / "b")));
}

TEST(FileCopies, DuplicateFileCopiesBytesAndReportsFailures) {
    TempDir dir;
    Bytes bytes(10000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + i / 256);
    WriteFileBytes(dir / "from", bytes);
    EXPECT_TRUE(DuplicateFile(U(dir / "from"), U(dir / "to")));
    EXPECT_EQ(ReadFileBytes(dir / "to"), bytes);
    EXPECT_FALSE(DuplicateFile(U(dir / "missing"), U(dir / "to2")));
    EXPECT_EQ(PathKind(U(dir / "to2")), PATH_NONE);
    EXPECT_FALSE(DuplicateFile(U(dir / "from"), U(dir / "no/dir/to")));
    if (access("/dev/full", W_OK) == 0) {  // every write fails with "no space left"
        EXPECT_FALSE(DuplicateFile(U(dir / "from"), u"/dev/full"));
    }
}

TEST(FileCopies, DuplicateDirectoryCopiesATreeByteForByte) {
    TempDir dir;
    ASSERT_TRUE(MakeDirectory(U(dir / "src/sub/deeper"), true));
    ASSERT_TRUE(MakeDirectory(U(dir / "src/empty"), true));
    WriteFileBytes(dir / "src/a", {1, 2, 3});
    WriteFileBytes(dir / "src/sub/b", Bytes(5000, 0xAB));
    WriteFileBytes(dir / "src/sub/deeper/c", {});
    EXPECT_TRUE(DuplicateDirectory(U(dir / "src"), U(dir / "copy")));
    EXPECT_EQ(ReadFileBytes(dir / "copy/a"), (Bytes{1, 2, 3}));
    EXPECT_EQ(ReadFileBytes(dir / "copy/sub/b"), Bytes(5000, 0xAB));
    EXPECT_EQ(PathByteSize(U(dir / "copy/sub/deeper/c")), 0);
    EXPECT_EQ(PathKind(U(dir / "copy/empty")), PATH_DIRECTORY);
    EXPECT_EQ(Sorted(ListDirectoryNames(U(dir / "copy"), true)),
              (std::vector<String>{u"a", u"empty", u"sub"}));

    EXPECT_FALSE(DuplicateDirectory(U(dir / "src/a"), U(dir / "copy2")));
    EXPECT_FALSE(DuplicateDirectory(U(dir / "missing"), U(dir / "copy2")));
    WriteFileBytes(dir / "file", {});
    EXPECT_FALSE(DuplicateDirectory(U(dir / "src"), U(dir / "file")));
}

TEST(FileCopies, DuplicateDirectoryIntoItselfAndThroughLinkLoopsEnds) {
    TempDir dir;
    ASSERT_TRUE(MakeDirectory(U(dir / "src/sub"), true));
    WriteFileBytes(dir / "src/a", {1});
    WriteFileBytes(dir / "src/sub/b", {2});
    EXPECT_TRUE(DuplicateDirectory(U(dir / "src"), U(dir / "src/sub/backup")));
    EXPECT_EQ(ReadFileBytes(dir / "src/sub/backup/a"), Bytes{1});
    EXPECT_EQ(ReadFileBytes(dir / "src/sub/backup/sub/b"), Bytes{2});
    EXPECT_EQ(PathKind(U(dir / "src/sub/backup/sub/backup")), PATH_NONE);

    ASSERT_TRUE(MakeDirectory(U(dir / "loop/inner"), true));
    ASSERT_EQ(symlink((dir / "loop").c_str(), (dir / "loop/inner/up").c_str()), 0);
    EXPECT_TRUE(DuplicateDirectory(U(dir / "loop"), U(dir / "loopcopy")));
    EXPECT_EQ(PathKind(U(dir / "loopcopy/inner")), PATH_DIRECTORY);
    EXPECT_EQ(PathKind(U(dir / "loopcopy/inner/up")), PATH_NONE);
}

// A stream that cannot seek: Pos() stays -1, bytes come three at a time.
class TrickleStream : public TStream {
  public:
    explicit TrickleStream(Bytes bytes) : bytes_(std::move(bytes)) {}
    bool Eof() override { return next_ == bytes_.size(); }
    int64_t Read(void* buffer, int64_t count) override {
        const size_t n = std::min<size_t>({static_cast<size_t>(count), 3, bytes_.size() - next_});
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(next_), n,
                    static_cast<uint8_t*>(buffer));
        next_ += n;
        return static_cast<int64_t>(n);
    }
    int Close() override {
        closed = true;
        return 0;
    }
    bool closed = false;

  private:
    Bytes bytes_;
    size_t next_ = 0;
};

TEST(SeekableStreams, UnseekableStreamsAreReadIntoMemory) {
    Bytes bytes(2500);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    auto trickle = std::make_shared<TrickleStream>(bytes);
    auto seekable = OpenSeekableRead(trickle);
    ASSERT_TRUE(seekable);
    // Only the wrapper that opening a stream url makes is closed; the caller's stream is not.
    EXPECT_FALSE(trickle->closed);
    EXPECT_TRUE(trickle->Eof());
    EXPECT_EQ(seekable->Size(), 2500);
    EXPECT_EQ(seekable->Seek(2000), 2000);
    EXPECT_EQ(seekable->ReadByte(), 2000 % 256);
    EXPECT_EQ(seekable->Seek(1), 1);
    EXPECT_EQ(seekable->ReadByte(), 1);

    TempDir dir;
    WriteFileBytes(dir / "f", {5, 6});
    auto file = OpenSeekableRead(U(dir / "f"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Pos(), 0);
    EXPECT_EQ(file->ReadByte(), 5);
    StreamClose(*file);
    EXPECT_EQ(OpenSeekableRead(U(dir / "missing")), nullptr);
    auto written = OpenSeekableWrite(U(dir / "w"));
    ASSERT_TRUE(written);
    written->WriteByte(42);
    StreamClose(*written);
    EXPECT_EQ(ReadFileBytes(dir / "w"), Bytes{42});
}

}  // namespace
}  // namespace vexel
