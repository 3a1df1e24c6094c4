#pragma once

// The game's command line, the scale its window opens at and the one its pictures are made for.

#include <cstdint>
#include <string>
#include <vector>

namespace morvelle {

struct LaunchOptions {
    int32_t scale = 0;  // from --scale; 0 when not given
    bool full_screen = false;
};

// What the command line asks for: run with options, or stop at once after printing `text`
// to standard output (--help, --version, status 0) or standard error (anything else, a
// one-line message, status 2).
struct LaunchRequest {
    LaunchOptions options;
    bool stop = false;
    int status = 0;
    std::string text;
};

// The arguments after the program's name: --scale N (or --scale=N, N from 1 to 4),
// --fullscreen, --help, --version. The first --help or --version wins over every other
// argument, even a wrong one.
LaunchRequest ParseLaunchArguments(const std::vector<std::string>& arguments);

// The one line said when the environment variable VEXEL_SCALE holds `value`, which is
// ignored unless it is a scale from 1 to 4; empty for such a scale or an empty value.
std::string ScaleVariableMessage(const std::string& value);

// The largest whole scale from 1 to 4 at which a window of the logical size stays within
// 90 % of the screen's width and height; 1 when even that does not fit or the screen is
// unknown.
int32_t FittingScale(int32_t screen_width, int32_t screen_height, int32_t width, int32_t height);

// The line said when --scale `scale` makes the window of the logical size larger than the
// screen in either direction: the window is opened all the same, as asked. Empty when it
// fits or the screen's size is unknown.
std::string OversizedWindowNote(int32_t scale, int32_t screen_width, int32_t screen_height,
                                int32_t width, int32_t height);

// Chooses the window's scale before anything is loaded: --scale (with OversizedWindowNote on
// standard error when there is one), else VEXEL_SCALE, else the fitting scale for the
// monitor. A VEXEL_SCALE that is consulted and ignored is named on standard error
// (ScaleVariableMessage).
void ApplyWindowScale(const LaunchOptions& options, int32_t width, int32_t height);

// The scale pictures and text are made for when the game starts full-screen: that of the
// logical size shown as large as fits on the screen (1.875 on 1920×1080 makes 2); 0 when the
// screen's size is unknown.
int32_t FullScreenDetailScale(int32_t screen_width, int32_t screen_height, int32_t width,
                              int32_t height);

// Sets that scale for the monitor as the one pictures and text load for; the window's own
// scale is left alone, and so is everything when the monitor is unknown.
void ApplyFullScreenDetailScale(int32_t width, int32_t height);

}  // namespace morvelle
