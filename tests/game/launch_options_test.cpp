// The command line and the window's scale chosen from the monitor.
#include "game/launch_options.h"

#include <gtest/gtest.h>

namespace morvelle {
namespace {

TEST(LaunchOptions, ScaleAndFullScreenAreTakenAndAnythingElseIsRefusedWithStatusTwo) {
    LaunchRequest request = ParseLaunchArguments({"--scale", "3", "--fullscreen"});
    EXPECT_FALSE(request.stop);
    EXPECT_EQ(request.options.scale, 3);
    EXPECT_TRUE(request.options.full_screen);
    EXPECT_EQ(ParseLaunchArguments({"--scale=2"}).options.scale, 2);
    EXPECT_EQ(ParseLaunchArguments({}).options.scale, 0);
    EXPECT_FALSE(ParseLaunchArguments({}).options.full_screen);

    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"--scale", "5"},
                                               {"--scale", "0"},
                                               {"--scale", "2x"},
                                               {"--scale"},
                                               {"--scale="},
                                               {"-f"},
                                               {"Data"}}) {
        request = ParseLaunchArguments(wrong);
        EXPECT_TRUE(request.stop) << wrong[0];
        EXPECT_EQ(request.status, 2) << wrong[0];
        EXPECT_EQ(request.text.rfind("morvelle: ", 0), 0u) << request.text;
        EXPECT_EQ(request.text.find('\n'), request.text.size() - 1) << "one line: " << request.text;
    }
    EXPECT_EQ(ParseLaunchArguments({"Data"}).text,
              "morvelle: unknown argument 'Data' (see morvelle --help)\n");

    request = ParseLaunchArguments({"--fullscreen", "--version"});
    EXPECT_TRUE(request.stop);
    EXPECT_EQ(request.status, 0);
    EXPECT_EQ(request.text, "Morvelle " MORVELLE_VERSION "\n");
    request = ParseLaunchArguments({"--help"});
    EXPECT_EQ(request.status, 0);
    for (const char* option : {"--scale N", "--fullscreen", "F11", "VEXEL_SCALE", "--version"})
        EXPECT_NE(request.text.find(option), std::string::npos) << option;
    // Help is read before a wrong argument is refused.
    for (const std::vector<std::string>& with_help : std::vector<std::vector<std::string>>{
             {"--scale", "9", "--help"}, {"Data", "--help"}, {"-h"}, {"-h", "--version"}}) {
        EXPECT_EQ(ParseLaunchArguments(with_help).status, 0) << with_help[0];
        EXPECT_EQ(ParseLaunchArguments(with_help).text, request.text) << with_help[0];
    }

    // VEXEL_SCALE is not refused (the game starts at the fitting scale), but a value that
    // is ignored is named in one line.
    EXPECT_EQ(ScaleVariableMessage("9"),
              "morvelle: VEXEL_SCALE needs a number from 1 to 4, not '9'; it is ignored\n");
    EXPECT_EQ(ScaleVariableMessage("abc"),
              "morvelle: VEXEL_SCALE needs a number from 1 to 4, not 'abc'; it is ignored\n");
    EXPECT_EQ(ScaleVariableMessage("3"), "");
    EXPECT_EQ(ScaleVariableMessage(""), "");
}

TEST(LaunchOptions, TheScaleIsTheLargestThatKeepsTheWindowWithinNinetyPercentOfTheScreen) {
    EXPECT_EQ(FittingScale(1280, 1024, 1024, 512), 1);
    EXPECT_EQ(FittingScale(1920, 1080, 1024, 512), 1);
    EXPECT_EQ(FittingScale(2560, 1440, 1024, 512), 2);
    EXPECT_EQ(FittingScale(3840, 2160, 1024, 512), 3);
    EXPECT_EQ(FittingScale(5120, 2880, 1024, 512), 4);
    EXPECT_EQ(FittingScale(7680, 4320, 1024, 512), 4);
    // 2 × 1024 = 2048 is exactly 90 % of 2276 (rounded up), and one pixel less is too small.
    EXPECT_EQ(FittingScale(2276, 2000, 1024, 512), 2);
    EXPECT_EQ(FittingScale(2275, 2000, 1024, 512), 1);
    EXPECT_EQ(FittingScale(0, 0, 1024, 512), 1);

    // A scale asked for is kept when the window outgrows the screen, with one line saying so.
    EXPECT_EQ(OversizedWindowNote(3, 1920, 1080, 1024, 512),
              "morvelle: --scale 3 makes the window 3072x1536, larger than the screen "
              "(1920x1080); it is opened all the same\n");
    EXPECT_EQ(OversizedWindowNote(2, 2048, 1023, 1024, 512),
              "morvelle: --scale 2 makes the window 2048x1024, larger than the screen "
              "(2048x1023); it is opened all the same\n");
    EXPECT_EQ(OversizedWindowNote(2, 2048, 1024, 1024, 512), "");
    EXPECT_EQ(OversizedWindowNote(4, 0, 0, 1024, 512), "");
}

// Started full-screen, the pictures are made for the full-screen view: its scale rounded up.
TEST(LaunchOptions, FullScreenPicturesAreMadeForTheFullScreenViewsScaleRoundedUp) {
    EXPECT_EQ(FullScreenDetailScale(1024, 768, 1024, 512), 1);
    EXPECT_EQ(FullScreenDetailScale(1280, 1024, 1024, 512), 2);  // 1.25
    EXPECT_EQ(FullScreenDetailScale(1920, 1080, 1024, 512), 2);  // 1.875
    EXPECT_EQ(FullScreenDetailScale(2050, 1026, 1024, 512), 2);  // a hair above 2
    EXPECT_EQ(FullScreenDetailScale(2560, 1440, 1024, 512), 3);  // 2.5
    EXPECT_EQ(FullScreenDetailScale(3840, 2160, 1024, 512), 4);  // 3.75
    EXPECT_EQ(FullScreenDetailScale(7680, 4320, 1024, 512), 4);  // 7.5, the largest there is
    EXPECT_EQ(FullScreenDetailScale(0, 0, 1024, 512), 0);
}

}  // namespace
}  // namespace morvelle
