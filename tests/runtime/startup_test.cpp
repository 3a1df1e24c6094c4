#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/startup.h"
#include "support/test_support.h"

namespace vexel {
namespace {

using testing::RunProcess;

TEST(ExitPath, EndProgramRunsHandlersInReverseOrderWithStatusZero) {
    const auto result = RunProcess({EXIT_PROBE, "end"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "third\nsecond\nfirst\n");
    EXPECT_EQ(result.err, "");
}

TEST(ExitPath, StdExitRunsHandlersWhileTheStateTheyReadIsAlive) {
    // Module state made after the first handler, then a handler that reads it: std::exit
    // destroys statics and runs atexit functions newest first, and the handlers must come
    // before that state's destruction.
    const auto result = RunProcess({EXIT_PROBE, "stdexit"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "late\nfirst\n");
}

TEST(ExitPath, UncaughtExceptionPrintsTextWithoutLineEndAndExits255) {
    const auto result = RunProcess({EXIT_PROBE, "throw"});
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.err,
              "Kaputt: \xc3\xbc"
              "bel");
    // Only the handlers registered before the throw ran, newest first.
    EXPECT_EQ(result.out, "second\nfirst\n");
}

TEST(ExitPath, ReturningFromTheBodyEndsWithStatusZeroThroughTheHandlers) {
    const auto result = RunProcess({EXIT_PROBE, "return"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "second\nfirst\n");
}

TEST(ExitPath, CaughtTerminationSignalsEndThroughTheHandlers) {
    for (const char* name : {"TERM", "INT", "HUP"}) {
        const auto result = RunProcess({EXIT_PROBE, "signal", name});
        EXPECT_EQ(result.status, 0) << name;
        EXPECT_EQ(result.out, "saved\n") << name;
    }
    // A second signal while the handlers run ends the process at once, killed by it.
    const auto twice = RunProcess({EXIT_PROBE, "signal-twice"});
    EXPECT_EQ(twice.status, -1);
    EXPECT_EQ(twice.out, "ending\n");
}

TEST(ProcessStartup, MovesTheWorkingDirectoryToTheExecutablesDirectory) {
    testing::TempDir elsewhere;
    const auto result = RunProcess({EXIT_PROBE, "where"}, elsewhere.path());
    ASSERT_EQ(result.status, 0);
    const std::string app_dir = std::filesystem::path(EXIT_PROBE).parent_path().string();
    const std::string launch = std::filesystem::canonical(elsewhere.path()).string();
    // The executable's own path, whatever directory it was started from.
    const std::string file = std::filesystem::canonical(EXIT_PROBE).string();
    EXPECT_EQ(result.out, "launch=" + launch + "\nfile=" + file + "\napp=" + app_dir +
                              "\ncwd=" + app_dir + "\ntitle=Vexel Application\nname=exit_probe\n");
}

TEST(Clock, ElapsedMillisCountsSinceBootAndNeverGoesBack) {
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const int64_t expected = static_cast<int64_t>(boot.tv_sec) * 1000 + boot.tv_nsec / 1000000;
    const int32_t first = ElapsedMillis();
    EXPECT_LE(std::abs(static_cast<int32_t>(static_cast<uint32_t>(expected)) - first), 50);
    int32_t previous = first;
    for (int i = 0; i < 1000; ++i) {
        const int32_t now = ElapsedMillis();
        EXPECT_GE(now - previous, 0);
        previous = now;
    }
}

TEST(Environment, GetEnvVarReadsUtf8AndGivesEmptyWhenUnset) {
    setenv("VEXEL_TEST_NAME", "J\xc3\xbcrgen", 1);
    EXPECT_EQ(GetEnvVar(u"VEXEL_TEST_NAME"), u"J\u00fcrgen");
    unsetenv("VEXEL_TEST_NAME");
    EXPECT_EQ(GetEnvVar(u"VEXEL_TEST_NAME"), u"");
}

}  // namespace
}  // namespace vexel
