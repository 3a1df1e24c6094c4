#include "system/system_driver.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/input.h"
#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/startup.h"
#include "system/internal/event_pump.h"

namespace vexel {

namespace {

bool pump_in_progress = false;

void Write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

// One line of standard input without its line end.
String ReadLine() {
    std::string line;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.push_back(static_cast<char>(c));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return FromUtf8(line);
}

char16_t FirstLower(const String& answer) {
    return answer.empty() ? u'\0' : ToLower(answer.substr(0, 1))[0];
}

String FormatNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[256];
    const size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return FromUtf8(std::string(buffer, length));
}

// `text` in double quotes for the shell, with the four characters the shell still reads
// inside double quotes escaped, so that the text arrives as one argument byte for byte and
// never runs a command of its own.
std::string DoubleQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\' || c == '$' || c == '`') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

template <typename Step>
void Guarded(Step step) {
    if (pump_in_progress) return;
    pump_in_progress = true;
    try {
        step(CurrentSystemDriver());
    } catch (...) {
        pump_in_progress = false;
        throw;
    }
    pump_in_progress = false;
}

}  // namespace

TLinuxSystemDriver::TLinuxSystemDriver() {
    OpenEventPump();
}

void TLinuxSystemDriver::Poll() {
    PumpEvents();
}
void TLinuxSystemDriver::Wait() {
    WaitEvents();
}
void TLinuxSystemDriver::MoveMouse(int32_t x, int32_t y) {
    CurrentPlatform().Input().WarpPointer(x, y);
}
void TLinuxSystemDriver::SetMouseVisible(int32_t visible) {
    CurrentPlatform().Input().SetCursorVisible(visible != 0);
}

void TLinuxSystemDriver::Notify(const String& text, int32_t) {
    Write(ToUtf8(text) + "\r\n");
}

int32_t TLinuxSystemDriver::Confirm(const String& text, int32_t) {
    Write(ToUtf8(text) + " (Yes/No)?");
    return FirstLower(ReadLine()) == u'y' ? 1 : 0;
}

int32_t TLinuxSystemDriver::Proceed(const String& text, int32_t) {
    Write(ToUtf8(text) + " (Yes/No/Cancel)?");
    switch (FirstLower(ReadLine())) {
        case u'y':
            return 1;
        case u'n':
            return 0;
        default:
            return -1;
    }
}

String TLinuxSystemDriver::RequestFile(const String&, const String&, int32_t, const String&) {
    Write("Enter a filename:");
    return ReadLine();
}

String TLinuxSystemDriver::RequestDir(const String&, const String&) {
    Write("Enter a directory name:");
    return ReadLine();
}

int32_t TLinuxSystemDriver::OpenURL(const String& url) {
    std::string command;
    if (!GetEnvVar(u"KDE_FULL_DESKTOP").empty()) {
        command = "kfmclient exec " + DoubleQuoted(ToUtf8(url));
    } else if (!GetEnvVar(u"GNOME_DESKTOP_SESSION_ID").empty()) {
        command = "gnome-open " + DoubleQuoted(ToUtf8(url));
    }
    if (!command.empty()) {
        const int ignored = std::system(command.c_str());
        (void)ignored;
    }
    return 0;
}

void TLinuxSystemDriver::Emit() {
    throw RuntimeError(u"Emit is not supported by this driver");
}

TSystemDriver& CurrentSystemDriver() {
    static TLinuxSystemDriver* const driver = new TLinuxSystemDriver;
    return *driver;
}

void PumpSystem() {
    Guarded([](TSystemDriver& driver) { driver.Poll(); });
}

void AwaitSystem() {
    Guarded([](TSystemDriver& driver) { driver.Wait(); });
}

void MoveMousePointer(int32_t x, int32_t y) {
    CurrentSystemDriver().MoveMouse(x, y);
}
void HideMousePointer() {
    CurrentSystemDriver().SetMouseVisible(0);
}
void ShowMousePointer() {
    CurrentSystemDriver().SetMouseVisible(1);
}

String DesktopPlatform() {
    OpenEventPump();
    return CurrentPlatform().Kind() == PlatformKind::Wayland ? u"wayland" : u"x11";
}

String CurrentDateText() {
    return FormatNow("%d %b %Y");
}
String CurrentTimeText() {
    return FormatNow("%H:%M:%S");
}

}  // namespace vexel
