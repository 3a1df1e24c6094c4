// Saving survives failures: a full disk, a kill in the middle of a save, a read-only "Data".
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <random>
#include <thread>

#include "game/highscore.h"
#include "game/options.h"
#include "game/saved_files.h"
#include "game_test_support.h"
#include "stream/durable_save.h"
#include "stream/file_system.h"
#include "stream/stream_exception.h"
#include "support/game_file_bytes.h"
#include "support/small_file_system.h"

namespace morvelle::testing {
namespace {

using vexel::testing::ReadFileBytes;
using vexel::testing::WriteFileBytes;
using Bytes = std::vector<uint8_t>;

// Runs `body` in a child process and returns its exit status (-1 when it did not exit).
template <typename Body>
int InChild(Body body) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    for (const String& name : vexel::ListDirectoryNames(vexel::FromUtf8(path), true))
        names.push_back(vexel::ToUtf8(name));
    std::sort(names.begin(), names.end());
    return names;
}

using Saves = GameFolderTest;

TEST_F(Saves, FailedWritesLeaveThePreviousFileIntact) {
    const Bytes previous = OptionsBytes("alt", 1);
    WriteFileBytes(DataPath("Options"), previous);

    // A file system that runs out of room after 64 bytes: the write fails at the flush.
    Game().PlayerName = String(300, u'n');
    const int status = InChild([] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &limit);
        return vexel::ReplaceFileWith(u"Data/Options", WriteOptions).Ok() ? 0 : 1;
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ReadFileBytes(DataPath("Options")), previous);

    // A writer that gives up, or one whose stream throws, changes nothing either.
    EXPECT_FALSE(vexel::ReplaceFileWith(u"Data/Options", [](vexel::TStream& stream) {
                     stream.WriteLine(u"half");
                     return false;
                 }).Ok());
    EXPECT_FALSE(vexel::ReplaceFileWith(u"Data/Options", [](vexel::TStream&) -> bool {
                     throw vexel::TStreamWriteException();
                 }).Ok());
    EXPECT_EQ(ReadFileBytes(DataPath("Options")), previous);
    EXPECT_EQ(FolderEntries(folder_ / "Data"), std::vector<std::string>{"Options"});

    // Without a folder to write into nothing is saved, and nothing is thrown.
    EXPECT_EQ(vexel::ReplaceFileWith(u"Missing/Options", WriteOptions).error, ENOENT);
}

TEST_F(Saves, FullFileSystemLeavesThePreviousFileIntact) {
    vexel::testing::SmallFileSystem disk;
    if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const Bytes previous = OptionsBytes("alt", 1);
    WriteFileBytes(disk / "Options", previous);
    // Room for the new file's name but not for its bytes.
    disk.Fill(0);
    Game().PlayerName = u"neu";
    const std::string target = disk / "Options";
    Game().SaveFolder = vexel::FromUtf8(target.substr(0, target.rfind('/')));
    ::testing::internal::CaptureStderr();
    SaveOptions();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "morvelle: could not save " + target + ": No space left on device\n");
    EXPECT_EQ(ReadFileBytes(disk / "Options"), previous);
    const auto entries = FolderEntries(disk / "");
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [](const std::string& name) { return name.starts_with(".Options"); }),
              0);
}

TEST_F(Saves, KillingTheProcessMidSaveNeverLeavesADamagedFile) {
    const std::string first(4000, 'a'), second(9000, 'b');
    const Bytes initial = OptionsBytes("start", 1);
    const Bytes first_bytes = OptionsBytes(first, 1), second_bytes = OptionsBytes(second, 0);
    WriteFileBytes(DataPath("Options"), initial);
    std::mt19937 random(7);
    int killed_mid_save = 0;
    for (int round = 0; round < 60; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            GameState& game = Game();
            for (;;) {
                game.PlayerName = vexel::FromBytes(first);
                game.SoundOn = 1;
                SaveOptions();
                game.PlayerName = vexel::FromBytes(second);
                game.SoundOn = 0;
                SaveOptions();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 4000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const Bytes now = ReadFileBytes(DataPath("Options"));
        ASSERT_TRUE(now == initial || now == first_bytes || now == second_bytes)
            << "round " << round << ": " << now.size() << " bytes";
        // A new file beside it means this kill came between its creation and the rename.
        if (FolderEntries(folder_ / "Data").size() > 1) ++killed_mid_save;
    }
    // Most kills land inside a save: a save is almost all the child does.
    EXPECT_GT(killed_mid_save, 0);
    // The next save clears away what the killed saves left behind.
    SaveOptions();
    EXPECT_EQ(FolderEntries(folder_ / "Data"), std::vector<std::string>{"Options"});
}

// Runs `body` as an unprivileged user when the tests run as root, for whom nothing is
// read-only.
template <typename Body>
int AsUnprivilegedChild(Body body) {
    return InChild([&] {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 99;
        return body();
    });
}

TEST_F(Saves, ReadOnlyDataMovesTheFilesToTheUserDataFolder) {
    ASSERT_EQ(chmod(folder_.path().c_str(), 0777), 0);
    // The game ships a table; the user's folder holds none yet.
    WriteFileBytes(DataPath("High.Score"), {'S', 0x0D, 0x0A, 5, 0, 0, 0});
    ASSERT_EQ(chmod(DataPath("").c_str(), 0555), 0);
    setenv("XDG_DATA_HOME", (folder_ / "xdg").c_str(), 1);
    const int status = AsUnprivilegedChild([] {
        ChooseSaveFolder();
        THighscore::Load();
        if (Game().HighscoreList.Count() != 1) return 2;  // the shipped table was read
        THighscore::Add(u"Neu", 9);
        THighscore::Save();
        Game().PlayerName = u"Ute";
        SaveOptions();
        return 0;
    });
    unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ReadFileBytes(folder_ / "xdg/morvelle/Options"), OptionsBytes("Ute", 1));
    EXPECT_EQ(ReadFileBytes(folder_ / "xdg/morvelle/High.Score"),
              (Bytes{'N', 'e', 'u', 0x0D, 0x0A, 9, 0, 0, 0, 'S', 0x0D, 0x0A, 5, 0, 0, 0}));
    EXPECT_EQ(FolderEntries(DataPath("")), std::vector<std::string>{"High.Score"});

    // Next time both files are read from there.
    setenv("XDG_DATA_HOME", (folder_ / "xdg").c_str(), 1);
    const int second = AsUnprivilegedChild([] {
        ChooseSaveFolder();
        LoadOptions();
        THighscore::Load();
        return Game().PlayerName == u"Ute" && Game().HighscoreList.Count() == 2 ? 0 : 3;
    });
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(second, 0);

    // Without XDG_DATA_HOME the folder is made under HOME.
    const char* previous_home = getenv("HOME");
    const std::string saved_home = previous_home ? previous_home : "";
    setenv("HOME", (folder_ / "home").c_str(), 1);
    const int third = AsUnprivilegedChild([] {
        ChooseSaveFolder();
        SaveOptions();
        return 0;
    });
    setenv("HOME", saved_home.c_str(), 1);
    EXPECT_EQ(third, 0);
    EXPECT_EQ(ReadFileBytes(folder_ / "home/.local/share/morvelle/Options"), OptionsBytes("", 1));
    // Folders the game makes there are the player's alone.
    for (const char* made : {"home/.local", "home/.local/share", "home/.local/share/morvelle"}) {
        struct stat info {};
        ASSERT_EQ(stat((folder_ / made).c_str(), &info), 0) << made;
        EXPECT_EQ(info.st_mode & 07777, 0700u) << made;
    }
    chmod(DataPath("").c_str(), 0755);
}

TEST_F(Saves, WritableDataKeepsTheFilesThereUnlessTheBuildIsPackaged) {
    setenv("XDG_DATA_HOME", (folder_ / "xdg").c_str(), 1);
    ChooseSaveFolder(false);
    EXPECT_EQ(Game().SaveFolder, u"Data");
    SaveOptions();
    EXPECT_EQ(FolderEntries(folder_.path()), std::vector<std::string>{"Data"});

    // A packaged game leaves even a writable Data folder as shipped (run as root).
    ChooseSaveFolder(true);
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(Game().SaveFolder, vexel::FromUtf8(folder_ / "xdg/morvelle"));
    SaveOptions();
    EXPECT_EQ(FolderEntries(folder_ / "xdg/morvelle"), std::vector<std::string>{"Options"});
    EXPECT_EQ(FolderEntries(DataPath("")), std::vector<std::string>{"Options"});
}

TEST_F(Saves, SavedFilesThatCannotBeReadAreNamedAndLeftAsTheyAre) {
    ASSERT_EQ(chmod(folder_.path().c_str(), 0755), 0);
    // A FIFO without a writer would hold up a plain open for ever; a table nobody may read.
    ASSERT_EQ(mkfifo(DataPath("Options").c_str(), 0666), 0);
    const Bytes table = {'S', 0x0D, 0x0A, 5, 0, 0, 0};
    WriteFileBytes(DataPath("High.Score"), table);
    ASSERT_EQ(chmod(DataPath("High.Score").c_str(), 0), 0);
    const std::string messages = folder_ / "stderr";
    const int err = open(messages.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(err, 0);
    const int status = AsUnprivilegedChild([&] {
        if (dup2(err, 2) < 0) return 98;
        alarm(20);  // a hang fails the test instead of holding up the suite
        LoadOptions();
        THighscore::Load();
        // The game plays on with the defaults...
        if (Game().HighscoreList.Count() != 10 || !Game().PlayerName.empty()) return 2;
        // ...and its exit leaves both files as they were.
        THighscore::Add(u"Neu", 99);
        SaveOptions();
        THighscore::Save();
        return 0;
    });
    close(err);
    EXPECT_EQ(status, 0);
    const Bytes said = ReadFileBytes(messages);
    EXPECT_EQ(std::string(said.begin(), said.end()),
              "morvelle: cannot read Data/Options (not a regular file); it is kept as it is and "
              "not saved\n"
              "morvelle: cannot read Data/High.Score (Permission denied); it is kept as it is and "
              "not saved\n");
    struct stat info {};
    ASSERT_EQ(lstat(DataPath("Options").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(stat(DataPath("High.Score").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0u);
    chmod(DataPath("High.Score").c_str(), 0600);
    EXPECT_EQ(ReadFileBytes(DataPath("High.Score")), table);
    EXPECT_EQ(FolderEntries(DataPath("")), (std::vector<std::string>{"High.Score", "Options"}));
}

}  // namespace
}  // namespace morvelle::testing
