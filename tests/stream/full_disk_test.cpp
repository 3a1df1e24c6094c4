// What every way of saving reports when the file system is full. stdio keeps small writes
// in its buffer and meets the full disk only when it empties the buffer, at a flush or at
// the close, so these cases pass only when that late failure reaches the caller. Then what
// every way of saving does with a target another user prepared.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <tuple>

#include "runtime/error.h"
#include "stream/c_stream.h"
#include "stream/durable_save.h"
#include "stream/file_copy.h"
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

// The write-fault matrix: every way of saving a whole file, on a file system that is full,
// nearly full (the new bytes do not fit), or read-only. A save there must report failure and
// leave the previous file byte for byte, with nothing beside it.
enum class Fault { Full, NearlyFull, ReadOnly };

struct Saver {
    const char* name;
    // Saves `payload` to `path`; whether the saver reported success.
    std::function<bool(const String& path, const std::vector<uint8_t>& payload)> save;
};

void PrintTo(const Saver& saver, std::ostream* out) {
    *out << saver.name;
}

String Latin1(const std::vector<uint8_t>& bytes) {
    return String(bytes.begin(), bytes.end());
}

template <typename Save>
bool Reported(Save save) {
    try {
        return save();
    } catch (const TStreamException&) {
        return false;
    } catch (const StringException&) {
        return false;
    }
}

const Saver kSavers[] = {
    {"SaveBytesTo",
     [](const String& path, const std::vector<uint8_t>& payload) {
         return Reported([&] { return SaveBytesTo(payload, path), true; });
     }},
    {"SaveByteString",
     [](const String& path, const std::vector<uint8_t>& payload) {
         return Reported([&] { return SaveByteString(Latin1(payload), path), true; });
     }},
    {"SaveObjectTo",  // a file stream cannot write objects: the save fails after opening
     [](const String& path, const std::vector<uint8_t>&) {
         return Reported([&] { return SaveObjectTo(nullptr, path), true; });
     }},
    {"SaveTextFileLatin1",
     [](const String& path, const std::vector<uint8_t>& payload) {
         return Reported([&] { return SaveTextFile(Latin1(payload), path); });
     }},
    {"SaveTextFileUtf16",
     [](const String& path, const std::vector<uint8_t>& payload) {
         return Reported([&] { return SaveTextFile(u"\u20ac" + Latin1(payload), path); });
     }},
    {"DuplicateFile",
     [](const String& path, const std::vector<uint8_t>& payload) {
         TempDir dir;
         WriteFileBytes(dir / "from", payload);
         return DuplicateFile(U(dir / "from"), path);
     }},
    {"OpenFileWriteThenClose",
     [](const String& path, const std::vector<uint8_t>& payload) {
         return Reported([&] {
             const auto stream = OpenFileWrite(path);
             if (!stream) return false;
             stream->WriteBytes(payload.data(), static_cast<int64_t>(payload.size()));
             return stream->Close() == 0;
         });
     }},
    {"TextStreamUrl",
     [](const String& path, const std::vector<uint8_t>& payload) {
         return Reported([&] {
             const auto stream = OpenFileWrite(u"utf8::" + path);
             if (!stream) return false;
             stream->WriteString(Latin1(payload));
             return stream->Close() == 0;
         });
     }},
    {"ReplaceFileWith",
     [](const String& path, const std::vector<uint8_t>& payload) {
         return ReplaceFileWith(path,
                                [&](TStream& stream) {
                                    stream.WriteBytes(payload.data(),
                                                      static_cast<int64_t>(payload.size()));
                                    return true;
                                })
             .Ok();
     }},
};

class WriteFaults : public ::testing::TestWithParam<std::tuple<Saver, Fault>> {};

TEST_P(WriteFaults, AFailedSaveIsReportedAndKeepsTheOldFile) {
    const auto& [saver, fault] = GetParam();
    SmallFileSystem fs;
    if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    std::vector<uint8_t> old(3000);
    for (size_t i = 0; i < old.size(); ++i)
        old[i] = static_cast<uint8_t>(i * 13 + 1);
    WriteFileBytes(fs / "saved", old);
    const std::vector<uint8_t> payload(20000, 'n');
    switch (fault) {
        case Fault::Full:
            fs.Fill(0);
            break;
        case Fault::NearlyFull:
            fs.Fill(8192);
            break;
        case Fault::ReadOnly:
            fs.MakeReadOnly();
            break;
    }

    EXPECT_FALSE(saver.save(U(fs / "saved"), payload));
    EXPECT_EQ(ReadFileBytes(fs / "saved"), old);
    std::vector<String> names = ListDirectoryNames(U(fs / ""), true);
    std::sort(names.begin(), names.end());
    const std::vector<String> only_filler_and_old = fault == Fault::ReadOnly
                                                        ? std::vector<String>{u"saved"}
                                                        : std::vector<String>{u"filler", u"saved"};
    EXPECT_EQ(names, only_filler_and_old);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<Saver, Fault>>& info) {
    static constexpr const char* kFaults[] = {"Full", "NearlyFull", "ReadOnly"};
    return std::string(std::get<0>(info.param).name) +
           kFaults[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(EverySaver, WriteFaults,
                         ::testing::Combine(::testing::ValuesIn(kSavers),
                                            ::testing::Values(Fault::Full, Fault::NearlyFull,
                                                              Fault::ReadOnly)),
                         CaseName);

// The hostile-target matrix: every way of saving, aimed at a path in a sticky folder that
// everyone may write (as /tmp) where another user left a FIFO that nobody reads, a link that
// leads to a file of the saver's, or a link that names nothing. Each save must fail within a
// second, leave the file a link names as it was, and create nothing.
enum class Hostile { FifoWithoutReader, PlantedLink, DanglingLink };

// Opens the FIFO for reading after two seconds unless `done` is set first, and drains it: a
// save that waits for a reader ends then, late, instead of never.
class LateReader {
  public:
    explicit LateReader(std::string fifo)
        : thread_([this, fifo = std::move(fifo)] {
              const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
              while (!done_ && std::chrono::steady_clock::now() < give_up)
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              if (done_) return;
              const int fd = open(fifo.c_str(), O_RDONLY | O_CLOEXEC);
              char buffer[4096];
              while (fd >= 0 && read(fd, buffer, sizeof buffer) > 0) {
              }
              if (fd >= 0) close(fd);
          }) {}
    ~LateReader() {
        done_ = true;
        thread_.join();
    }
    LateReader(const LateReader&) = delete;
    LateReader& operator=(const LateReader&) = delete;

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

class HostileTargets : public ::testing::TestWithParam<std::tuple<Saver, Hostile>> {};

TEST_P(HostileTargets, TheSaveIsRefusedAtOnceAndChangesNothing) {
    const auto& [saver, hostile] = GetParam();
    TempDir dir;
    const std::string shared = dir / "shared";
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const std::vector<uint8_t> old(3000, 'o');
    WriteFileBytes(dir / "victim", old);
    const std::string target = shared + "/saved";
    switch (hostile) {
        case Hostile::FifoWithoutReader:
            ASSERT_EQ(mkfifo(target.c_str(), 0666), 0);
            break;
        case Hostile::PlantedLink:
            if (geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
            ASSERT_EQ(symlink((dir / "victim").c_str(), target.c_str()), 0);
            ASSERT_EQ(lchown(target.c_str(), 65534, 65534), 0);  // nobody's
            break;
        case Hostile::DanglingLink:
            ASSERT_EQ(symlink((dir / "made").c_str(), target.c_str()), 0);
            break;
    }

    const std::vector<uint8_t> payload(20000, 'n');
    bool saved = true;
    std::chrono::steady_clock::duration took{};
    {
        const LateReader reader(target);
        const auto start = std::chrono::steady_clock::now();
        saved = saver.save(U(target), payload);
        took = std::chrono::steady_clock::now() - start;
    }
    EXPECT_FALSE(saved);
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_EQ(ReadFileBytes(dir / "victim"), old);
    std::vector<String> names = ListDirectoryNames(U(dir.path()), true);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<String>{u"shared", u"victim"}));
    EXPECT_EQ(ListDirectoryNames(U(shared), true), std::vector<String>{u"saved"});
}

std::string HostileCaseName(const ::testing::TestParamInfo<std::tuple<Saver, Hostile>>& info) {
    static constexpr const char* kTargets[] = {"FifoWithoutReader", "PlantedLink", "DanglingLink"};
    return std::string(std::get<0>(info.param).name) +
           kTargets[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(EverySaver, HostileTargets,
                         ::testing::Combine(::testing::ValuesIn(kSavers),
                                            ::testing::Values(Hostile::FifoWithoutReader,
                                                              Hostile::PlantedLink,
                                                              Hostile::DanglingLink)),
                         HostileCaseName);

TEST(FullDisk, WhatFitsIsSavedWholeOverTheOldFile) {
    SmallFileSystem fs;
    if (!fs.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    WriteFileBytes(fs / "saved", std::vector<uint8_t>(3000, 1));
    fs.Fill(8192);
    // The old file's pages come free only after the rename, so the new file must fit beside
    // it.
    const std::vector<uint8_t> small(5000, 7);
    SaveBytesTo(small, U(fs / "saved"));
    EXPECT_EQ(ReadFileBytes(fs / "saved"), small);
    // The new file's two pages are taken, the old file's one page is free again.
    EXPECT_EQ(fs.FreeBytes(), 8192 - 2 * 4096 + 4096);
}

}  // namespace
}  // namespace vexel
