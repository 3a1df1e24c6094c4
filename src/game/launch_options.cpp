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
    "  -h, --help    show this help and exit\n"
    "  --version     show the version and exit\n";

// How the game's messages about its command line and environment begin.
constexpr const char* MESSAGE_START = "morvelle: ";

LaunchRequest Refuse(const std::string& message) {
    LaunchRequest request;
    request.stop = true;
    request.status = 2;
    request.text = MESSAGE_START + message + " (see morvelle --help)\n";
    return request;
}

// --help (or -h) or --version, whichever comes first: what they print is wanted even when
// another argument is wrong.
bool FindInfoRequest(const std::vector<std::string>& arguments, LaunchRequest& request) {
    for (const std::string& argument : arguments) {
        const bool help = argument == "--help" || argument == "-h";
        if (help || argument == "--version") {
            request.stop = true;
            request.status = 0;
            request.text = help ? HELP_TEXT : "Morvelle " MORVELLE_VERSION "\n";
            return true;
        }
    }
    return false;
}

// "1" to "4", else 0.
int32_t ScaleValue(const std::string& text) {
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '0' + LARGEST_SCALE) return text[0] - '0';
    return 0;
}

}  // namespace

LaunchRequest ParseLaunchArguments(const std::vector<std::string>& arguments) {
    LaunchRequest request;
    if (FindInfoRequest(arguments, request)) return request;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
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

std::string ScaleVariableMessage(const std::string& value) {
    if (value.empty() || ScaleValue(value) != 0) return {};
    return MESSAGE_START + std::string("VEXEL_SCALE needs a number from 1 to 4, not '") + value +
           "'; it is ignored\n";
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
    return MESSAGE_START + std::string("--scale ") + std::to_string(scale) + " makes the window " +
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
    const std::string variable = vexel::ToUtf8(vexel::GetEnvVar(u"VEXEL_SCALE"));
    if (ScaleValue(variable) != 0) return;
    std::fputs(ScaleVariableMessage(variable).c_str(), stderr);
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
