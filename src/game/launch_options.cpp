#include "game/launch_options.h"

#include <cstdio>
#include <string>

#include "graphics/graphics.h"
#include "runtime/startup.h"

namespace morvelle {

namespace {

constexpr int32_t LARGEST_SCALE = 4;

constexpr const char* HELP_TEXT =
    "Usage: morvelle [--scale N] [--fullscreen]\n"
    "  --scale N     draw the game N times larger, N from 1 to 4 (default: the largest\n"
    "                that fits the screen; the environment variable VEXEL_SCALE=N also\n"
    "                sets it)\n"
    "  --fullscreen  start full-screen; F11 switches between full screen and the window\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n";

LaunchRequest Refuse(const std::string& message) {
    LaunchRequest request;
    request.stop = true;
    request.status = 2;
    request.text = "morvelle: " + message + " (see morvelle --help)\n";
    return request;
}

// "1" to "4", else 0.
int32_t ScaleValue(const std::string& text) {
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '0' + LARGEST_SCALE) return text[0] - '0';
    return 0;
}

}  // namespace

LaunchRequest ParseLaunchArguments(const std::vector<std::string>& arguments) {
    LaunchRequest request;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "--version") {
            request.stop = true;
            request.status = 0;
            request.text = argument == "--help" ? HELP_TEXT : "Morvelle " MORVELLE_VERSION "\n";
            return request;
        }
        if (argument == "--fullscreen") {
            request.options.full_screen = true;
        } else if (argument == "--scale" || argument.starts_with("--scale=")) {
            std::string value;
            if (argument == "--scale") {
                if (i + 1 == arguments.size()) return Refuse("--scale needs a number from 1 to 4");
                value = arguments[++i];
            } else {
                value = argument.substr(8);
            }
            request.options.scale = ScaleValue(value);
            if (request.options.scale == 0) {
                return Refuse("--scale needs a number from 1 to 4, not '" + value + "'");
            }
        } else {
            return Refuse("unknown argument '" + argument + "'");
        }
    }
    return request;
}

int32_t FittingScale(int32_t screen_width, int32_t screen_height, int32_t width, int32_t height) {
    int32_t scale = 1;
    // Whole pixels: k × size ≤ 0.9 × screen, as 10 × k × size ≤ 9 × screen.
    while (scale < LARGEST_SCALE &&
           10 * static_cast<int64_t>(scale + 1) * width <= 9 * static_cast<int64_t>(screen_width) &&
           10 * static_cast<int64_t>(scale + 1) * height <=
               9 * static_cast<int64_t>(screen_height)) {
        ++scale;
    }
    return scale;
}

std::string OversizedWindowNote(int32_t scale, int32_t screen_width, int32_t screen_height,
                                int32_t width, int32_t height) {
    if (screen_width <= 0 || screen_height <= 0) return {};
    const int64_t window_width = int64_t{scale} * width, window_height = int64_t{scale} * height;
    if (window_width <= screen_width && window_height <= screen_height) return {};
    return "morvelle: --scale " + std::to_string(scale) + " makes the window " +
           std::to_string(window_width) + "x" + std::to_string(window_height) +
           ", larger than the screen (" + std::to_string(screen_width) + "x" +
           std::to_string(screen_height) + "); it is opened all the same\n";
}

void ApplyWindowScale(const LaunchOptions& options, int32_t width, int32_t height) {
    int32_t screen_width = 0, screen_height = 0;
    if (options.scale != 0) {
        vexel::GetDesktopSize(screen_width, screen_height);
        const std::string note =
            OversizedWindowNote(options.scale, screen_width, screen_height, width, height);
        if (!note.empty()) std::fputs(note.c_str(), stderr);
        vexel::SetGraphicsScale(options.scale);
        return;
    }
    // The framework reads VEXEL_SCALE itself when the program sets no scale.
    if (ScaleValue(vexel::ToUtf8(vexel::GetEnvVar(u"VEXEL_SCALE"))) != 0) return;
    vexel::GetDesktopSize(screen_width, screen_height);
    vexel::SetGraphicsScale(FittingScale(screen_width, screen_height, width, height));
}

int32_t FullScreenDetailScale(int32_t screen_width, int32_t screen_height, int32_t width,
                              int32_t height) {
    if (screen_width <= 0 || screen_height <= 0) return 0;
    return vexel::DetailScaleFor(
        vexel::FitGraphicsView(width, height, screen_width, screen_height).scale);
}

void ApplyFullScreenDetailScale(int32_t width, int32_t height) {
    int32_t screen_width = 0, screen_height = 0;
    vexel::GetDesktopSize(screen_width, screen_height);
    if (const int32_t scale = FullScreenDetailScale(screen_width, screen_height, width, height))
        vexel::SetGraphicsDetailScale(scale);
}

}  // namespace morvelle
