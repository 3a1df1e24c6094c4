#include "system/system_driver.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <thread>
#include <vector>

#include "runtime/error.h"
#include "runtime/startup.h"
#include "support/test_support.h"
#include "system/internal/event_pump.h"

namespace vexel {
namespace {

std::vector<intptr_t> ran;
std::thread::id ran_on;

void Record(const ObjectPtr&, void* data) {
    ran.push_back(reinterpret_cast<intptr_t>(data));
    ran_on = std::this_thread::get_id();
}

void AwaitRuns(size_t count) {
    const int32_t start = ElapsedMillis();
    while (ran.size() < count && ElapsedMillis() - start < 20000)
        AwaitSystem();
}

TEST(MainThreadPosts, RunOnTheMainThreadInPostingOrder) {
    ran.clear();
    std::thread poster([] {
        for (intptr_t i = 1; i <= 3; ++i)
            PostToMainThread(Record, nullptr, reinterpret_cast<void*>(i));
    });
    poster.join();
    AwaitRuns(3);
    EXPECT_EQ(ran, (std::vector<intptr_t>{1, 2, 3}));
    EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST(MainThreadPosts, WakeAWaitingMainThread) {
    ran.clear();
    PumpSystem();
    std::thread poster([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostToMainThread(Record, nullptr, reinterpret_cast<void*>(7));
    });
    const int32_t start = ElapsedMillis();
    // Without the wake-up this would sleep the full 10 seconds of the wait.
    while (ran.empty())
        AwaitSystem();
    EXPECT_LT(ElapsedMillis() - start, 5000);
    poster.join();
    EXPECT_EQ(ran, std::vector<intptr_t>{7});
}

TEST(MainThreadPosts, KeepTheirObjectAliveUntilRun) {
    auto object = std::make_shared<Object>();
    std::weak_ptr<Object> watch = object;
    PostToMainThread([](const ObjectPtr&, void*) {}, std::move(object), nullptr);
    EXPECT_FALSE(watch.expired());
    PumpSystem();
    EXPECT_TRUE(watch.expired());
}

TEST(MainThreadPosts, WorkThatPumpsDoesNotStartANestedPump) {
    ran.clear();
    PostToMainThread(
        [](const ObjectPtr&, void*) {
            PostToMainThread(Record, nullptr, reinterpret_cast<void*>(2));
            PumpSystem();  // already pumping: must not run the record above yet
            ran.push_back(1);
        },
        nullptr, nullptr);
    PumpSystem();
    EXPECT_EQ(ran, std::vector<intptr_t>{1});
    PumpSystem();
    EXPECT_EQ(ran, (std::vector<intptr_t>{1, 2}));
}

TEST(DateAndTime, TextsHaveTheirFormats) {
    const std::string date = ToUtf8(CurrentDateText());
    const std::string time = ToUtf8(CurrentTimeText());
    EXPECT_TRUE(std::regex_match(date, std::regex("[0-3][0-9] [A-Z][a-z][a-z] [0-9]{4}"))) << date;
    EXPECT_TRUE(std::regex_match(time, std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]"))) << time;
}

// Runs `ask` with standard input reading `input`; returns what it wrote to standard output.
template <typename Ask>
std::string WithConsole(const std::string& input, Ask ask) {
    testing::TempDir dir;
    testing::WriteFileBytes(dir / "in", std::vector<uint8_t>(input.begin(), input.end()));
    std::fflush(stdout);
    const int saved_out = dup(1);
    const int saved_in = dup(0);
    EXPECT_TRUE(std::freopen((dir / "out").c_str(), "w", stdout));
    EXPECT_TRUE(std::freopen((dir / "in").c_str(), "r", stdin));
    ask();
    std::fflush(stdout);
    dup2(saved_out, 1);
    dup2(saved_in, 0);
    close(saved_out);
    close(saved_in);
    clearerr(stdin);
    const auto bytes = testing::ReadFileBytes(dir / "out");
    return std::string(bytes.begin(), bytes.end());
}

TEST(ConsoleRequesters, AskOnStandardOutputAndReadAnswers) {
    TSystemDriver& driver = CurrentSystemDriver();
    EXPECT_EQ(WithConsole("", [&] { driver.Notify(u"Fertig", 0); }), "Fertig\r\n");
    int32_t answer = -5;
    EXPECT_EQ(WithConsole("Yes\n", [&] { answer = driver.Confirm(u"Nochmal", 0); }),
              "Nochmal (Yes/No)?");
    EXPECT_EQ(answer, 1);
    WithConsole("nein\n", [&] { answer = driver.Confirm(u"Nochmal", 0); });
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(WithConsole("N\n", [&] { answer = driver.Proceed(u"Speichern", 0); }),
              "Speichern (Yes/No/Cancel)?");
    EXPECT_EQ(answer, 0);
    WithConsole("y\n", [&] { answer = driver.Proceed(u"Speichern", 0); });
    EXPECT_EQ(answer, 1);
    WithConsole("\n", [&] { answer = driver.Proceed(u"Speichern", 0); });
    EXPECT_EQ(answer, -1);
    String line;
    EXPECT_EQ(
        WithConsole("Data/High.Score\n", [&] { line = driver.RequestFile(u"", u"", 0, u""); }),
        "Enter a filename:");
    EXPECT_EQ(line, u"Data/High.Score");
    EXPECT_EQ(WithConsole("Data\n", [&] { line = driver.RequestDir(u"", u""); }),
              "Enter a directory name:");
    EXPECT_EQ(line, u"Data");
}

// Sets an environment variable (null: unsets it) for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// Fake "kfmclient" and "gnome-open" first on PATH: each writes its arguments, one a line,
// to <name>.args in the directory and fails, as an opener without a desktop would.
class FakeOpeners {
  public:
    FakeOpeners() : path_("PATH", (dir_.path() + ":" + std::getenv("PATH")).c_str()) {
        for (const char* name : {"kfmclient", "gnome-open"}) {
            const std::string script =
                "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + dir_ / name + ".args'\nexit 3\n";
            testing::WriteFileBytes(dir_ / name,
                                    std::vector<uint8_t>(script.begin(), script.end()));
            chmod((dir_ / name).c_str(), 0755);
        }
    }

    // The arguments `name` was run with, or "not run".
    std::string ArgumentsOf(const std::string& name) const {
        const std::string path = dir_ / (name + ".args");
        if (access(path.c_str(), F_OK) != 0) return "not run";
        const auto bytes = testing::ReadFileBytes(path);
        std::remove(path.c_str());
        return std::string(bytes.begin(), bytes.end());
    }
    const testing::TempDir& dir() const { return dir_; }

  private:
    testing::TempDir dir_;
    ScopedEnv path_;
};

TEST(OpenURL, RunsTheOpenerOfTheDesktopWithTheUrl) {
    FakeOpeners openers;
    TSystemDriver& driver = CurrentSystemDriver();
    const String url = u"http://example.org/a b?x=1&y=2";
    {
        ScopedEnv kde("KDE_FULL_DESKTOP", nullptr), gnome("GNOME_DESKTOP_SESSION_ID", nullptr);
        EXPECT_EQ(driver.OpenURL(url), 0);
    }
    {
        ScopedEnv kde("KDE_FULL_DESKTOP", ""), gnome("GNOME_DESKTOP_SESSION_ID", "");
        EXPECT_EQ(driver.OpenURL(url), 0);
    }
    EXPECT_EQ(openers.ArgumentsOf("kfmclient"), "not run");
    EXPECT_EQ(openers.ArgumentsOf("gnome-open"), "not run");
    {
        ScopedEnv kde("KDE_FULL_DESKTOP", nullptr), gnome("GNOME_DESKTOP_SESSION_ID", "1");
        EXPECT_EQ(driver.OpenURL(url), 0);
    }
    EXPECT_EQ(openers.ArgumentsOf("gnome-open"), "http://example.org/a b?x=1&y=2\n");
    EXPECT_EQ(openers.ArgumentsOf("kfmclient"), "not run");
    {
        ScopedEnv kde("KDE_FULL_DESKTOP", "true"), gnome("GNOME_DESKTOP_SESSION_ID", "1");
        EXPECT_EQ(driver.OpenURL(url), 0);
    }
    EXPECT_EQ(openers.ArgumentsOf("kfmclient"), "exec\nhttp://example.org/a b?x=1&y=2\n");
    EXPECT_EQ(openers.ArgumentsOf("gnome-open"), "not run");
}

TEST(OpenURL, PassesShellCharactersThroughUntouched) {
    FakeOpeners openers;
    ScopedEnv kde("KDE_FULL_DESKTOP", nullptr), gnome("GNOME_DESKTOP_SESSION_ID", "1");
    const std::string marker = openers.dir() / "ran";
    const std::string url = "http://x/\"; touch '" + marker + "'; \"$(touch " + marker +
                            ")`touch " + marker + "`\\$HOME\\";
    EXPECT_EQ(CurrentSystemDriver().OpenURL(FromUtf8(url)), 0);
    EXPECT_EQ(openers.ArgumentsOf("gnome-open"), url + "\n");
    EXPECT_NE(access(marker.c_str(), F_OK), 0) << "the url ran a command";
}

TEST(LinuxSystemDriver, CannotEmit) {
    auto& driver = dynamic_cast<TLinuxSystemDriver&>(CurrentSystemDriver());
    EXPECT_THROW(driver.Emit(), RuntimeError);
}

}  // namespace
}  // namespace vexel
