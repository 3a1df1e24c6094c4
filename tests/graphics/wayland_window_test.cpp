// Windows on Wayland under the headless Sway the test command starts (VEXEL_WAYLAND_SOCKET and
// VEXEL_SWAYSOCK; the tests skip without them): the toplevel as the compositor sees it, the
// frame on screen against the same frame on X11, the compositor's scale with the sharper
// pictures, the pointer and the keyboard, full screen, the close request, and the timers of a
// window nobody sees.

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "reference_frame.h"
#include "runtime/startup.h"
#include "support/test_support.h"
#include "system/polled_input.h"
#include "system/system_driver.h"
#include "system/timer.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace vexel {
namespace {

const char* Socket() {
    return std::getenv("VEXEL_WAYLAND_SOCKET");
}
const char* SwaySocket() {
    return std::getenv("VEXEL_SWAYSOCK");
}

// A shell command's standard output without the final line end.
std::string Shell(const std::string& command) {
    const testing::ProcessResult result = testing::RunProcess({"/bin/sh", "-c", command});
    std::string out = result.out;
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

std::string Sway(const std::string& command) {
    return Shell("swaymsg -s '" + std::string(SwaySocket()) + "' '" + command + "'");
}

// A jq filter over our window's node in Sway's tree.
std::string Node(const std::string& filter) {
    return Shell("swaymsg -s '" + std::string(SwaySocket()) +
                 "' -t get_tree | jq -r '.. | select(.app_id? == \"wayland_window_test\") | " +
                 filter + "'");
}

// Pumps for `millis` milliseconds, so that what the compositor sent arrives.
void PumpFor(int millis) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
    while (std::chrono::steady_clock::now() < end) {
        PumpSystem();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The window's content rectangle in Sway's layout: "x y width height".
std::string ContentRect() {
    return Node(
        "\"\\(.rect.x + .window_rect.x) \\(.rect.y + .window_rect.y) "
        "\\(.window_rect.width) \\(.window_rect.height)\"");
}

// What grim captures of the logical rectangle, at the output's scale, as 0xFFRRGGBB rows.
testing::Frame Capture(const std::string& rect) {
    int x = 0, y = 0, width = 0, height = 0;
    std::sscanf(rect.c_str(), "%d %d %d %d", &x, &y, &width, &height);
    testing::TempDir folder;
    const std::string file = folder.path() + "/shot.ppm";
    Shell("WAYLAND_DISPLAY='" + std::string(Socket()) + "' grim -t ppm -g '" + std::to_string(x) +
          "," + std::to_string(y) + " " + std::to_string(width) + "x" + std::to_string(height) +
          "' '" + file + "'");
    return testing::ReadPpm(file);
}

// A pointer device of our own on Sway's seat, which has none headless: with it the seat has a
// pointer, and swaymsg's cursor commands reach the window under it.
class VirtualPointer {
  public:
    VirtualPointer() {
        display_ = wl_display_connect(Socket());
        if (!display_) return;
        wl_registry* registry = wl_display_get_registry(display_);
        wl_registry_add_listener(registry, &kListener, this);
        wl_display_roundtrip(display_);
        if (manager_ && seat_) {
            zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager_, seat_);
            wl_display_roundtrip(display_);
        }
    }
    ~VirtualPointer() {
        if (display_) wl_display_disconnect(display_);
    }
    VirtualPointer(const VirtualPointer&) = delete;
    VirtualPointer& operator=(const VirtualPointer&) = delete;

  private:
    static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t) {
        auto* self = static_cast<VirtualPointer*>(data);
        const std::string kind = interface;
        if (kind == zwlr_virtual_pointer_manager_v1_interface.name) {
            self->manager_ = static_cast<zwlr_virtual_pointer_manager_v1*>(
                wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
        } else if (kind == wl_seat_interface.name && !self->seat_) {
            self->seat_ =
                static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        }
    }
    static void GlobalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener kListener = {Global, GlobalRemove};

    wl_display* display_ = nullptr;
    zwlr_virtual_pointer_manager_v1* manager_ = nullptr;
    wl_seat* seat_ = nullptr;
};

class WaylandWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!Socket() || !SwaySocket()) return;
        // Chosen before the first use of the platform, which keeps its choice.
        setenv("WAYLAND_DISPLAY", Socket(), 1);
        setenv("VEXEL_PLATFORM", "wayland", 1);
        // The executable's name becomes the app id, as "morvelle" does for the game.
        char name[] = "wayland_window_test";
        char* argv[] = {name, nullptr};
        StartProcess(1, argv);
    }
    void SetUp() override {
        if (!Socket() || !SwaySocket()) GTEST_SKIP() << "no headless Sway (VEXEL_WAYLAND_SOCKET)";
        Sway("output * scale 1");
        SetAppTitle(u"Wayland Fenster \u00FC");
    }
    void TearDown() override {
        CloseOpenedGraphics();
        Sway("output * scale 1");
    }
};

TEST_F(WaylandWindow, IsANativeToplevelWithTheTitleAndAppIdAtItsFixedSize) {
    EXPECT_EQ(DesktopPlatform(), u"wayland");
    ASSERT_NE(OpenGraphics(320, 200, 0, 60, 0), nullptr);
    PumpFor(100);
    EXPECT_EQ(Node("\"\\(.name)|\\(.shell)|\\(.window_rect.width)x\\(.window_rect.height)\""),
              "Wayland Fenster \u00FC|xdg_shell|320x200");
}

TEST_F(WaylandWindow, FrameAtScaleOneIsTheX11FrameOnScreenPixelForPixel) {
    ASSERT_NE(OpenGraphics(320, 200, 0, 60, 0), nullptr);
    testing::DrawReferenceFrame();
    const testing::Frame drawn = testing::ReadBackBuffer();
    FlipGraphics(0);
    PumpFor(200);
    const testing::Frame shown = Capture(ContentRect());
    ASSERT_EQ(shown.width, 320);
    ASSERT_EQ(shown.height, 200);
    EXPECT_TRUE(shown.pixels == drawn.pixels) << "the compositor shows the buffer 1:1";
    // The same frame drawn on X11 by the probe (the test command's Xvfb).
    testing::TempDir folder;
    const std::string file = folder.path() + "/x11.ppm";
    const testing::ProcessResult x11 =
        testing::RunProcess({"/usr/bin/env", "-u", "WAYLAND_DISPLAY", "VEXEL_PLATFORM=x11",
                             REFERENCE_FRAME_PROBE, file});
    ASSERT_EQ(x11.status, 0) << x11.err;
    EXPECT_EQ(x11.out, "x11");
    EXPECT_TRUE(testing::ReadPpm(file).pixels == drawn.pixels);
}

TEST_F(WaylandWindow, ACompositorIsPreferredAndAnAskedPlatformMustBeThere) {
    testing::TempDir folder;
    const std::string file = folder.path() + "/frame.ppm";
    const auto run = [&](std::vector<std::string> environment) {
        environment.insert(environment.begin(), {"/usr/bin/env", "-u", "VEXEL_PLATFORM"});
        environment.insert(environment.end(), {REFERENCE_FRAME_PROBE, file});
        return testing::RunProcess(environment);
    };
    // WAYLAND_DISPLAY names Sway's socket here, DISPLAY the test command's Xvfb.
    EXPECT_EQ(run({}).out, "wayland");
    EXPECT_EQ(run({"-u", "WAYLAND_DISPLAY"}).out, "x11");
    const testing::ProcessResult missing =
        run({"WAYLAND_DISPLAY=/nonexistent", "VEXEL_PLATFORM=wayland"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "VEXEL_PLATFORM=wayland: no Wayland compositor answers on "
              "WAYLAND_DISPLAY\n");
    EXPECT_EQ(run({"VEXEL_PLATFORM=x11", "DISPLAY=:1999"}).err,
              "VEXEL_PLATFORM=x11: no X server answers on DISPLAY\n");
}

TEST_F(WaylandWindow, AtScalesOneAndAHalfAndTwoTheSharperPicturesDraw) {
    testing::TempDir folder;
    testing::WriteCheckeredPictures(folder.path() + "/Pic");
    for (const char* scale : {"2", "1.5"}) {
        Sway(std::string("output * scale ") + scale);
        ASSERT_NE(OpenGraphics(320, 200, 0, 60, 0), nullptr) << scale;
        int32_t width = 0, height = 0;
        CurrentGraphics()->GetSurface(width, height);
        // Without fractional scales the compositor asks for 2 at 1.5 and shrinks the buffer.
        EXPECT_EQ(width, 640) << scale;
        EXPECT_EQ(height, 400) << scale;
        EXPECT_EQ(GraphicsDetailScale(), 2) << scale;
        const auto image = LoadImageFrom(FromUtf8(folder.path() + "/Pic.tga"), 0);
        ASSERT_NE(image, nullptr);
        SetClearColor(0, 0, 0);
        ClearScreen();
        DrawImageFrame(*image, 10, 10, 0);
        const testing::Frame drawn = testing::ReadBackBuffer();
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x)
                ASSERT_EQ(drawn.At(20 + x, 20 + y), testing::CheckerAt(x, y)) << x << ',' << y;
        FlipGraphics(0);
        PumpFor(200);
        if (std::string(scale) == "2") {
            const testing::Frame shown = Capture(ContentRect());
            ASSERT_EQ(shown.width, 640);
            EXPECT_TRUE(shown.pixels == drawn.pixels) << "at 2 the buffer shows 1:1";
        }
        CloseOpenedGraphics();
    }
}

TEST_F(WaylandWindow, ClickAndTypingArriveInLogicalUnitsAndCharacters) {
    const VirtualPointer device;
    ASSERT_NE(OpenGraphics(320, 200, 0, 60, 0), nullptr);
    FlipGraphics(0);
    PumpFor(100);
    int x = 0, y = 0, width = 0, height = 0;
    std::sscanf(ContentRect().c_str(), "%d %d %d %d", &x, &y, &width, &height);
    // From outside the window (where an earlier test may have left it) to a point inside.
    Sway("seat - cursor set 0 0");
    Sway("seat - cursor set " + std::to_string(x + 100) + " " + std::to_string(y + 50));
    Sway("seat - cursor press button1");
    Sway("seat - cursor release button1");
    PumpFor(100);
    EXPECT_EQ(MouseWasHit(1), 1);
    EXPECT_EQ(MouseXPos(), 100);
    EXPECT_EQ(MouseYPos(), 50);

    // wtype's keyboard joins the seat when it starts; the pause lets the keyboard object
    // follow before the keys come.
    FlushInput();
    Shell("WAYLAND_DISPLAY='" + std::string(Socket()) +
          "' wtype -s 300 'J\u00FCrgen' >/dev/null 2>&1 &");
    PumpFor(1000);
    std::u16string typed;
    while (const int32_t c = NextTypedChar())
        typed.push_back(static_cast<char16_t>(c));
    EXPECT_EQ(typed, u"J\u00FCrgen");
}

TEST_F(WaylandWindow, FullScreenCoversTheOutputAndComesBack) {
    ASSERT_NE(OpenGraphics(320, 200, 0, 60, 0), nullptr);
    FlipGraphics(0);
    ASSERT_EQ(SetGraphicsFullScreen(1), 1);
    int32_t width = 0, height = 0;
    CurrentGraphics()->GetSurface(width, height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1080);
    PumpFor(100);
    EXPECT_EQ(Node(".fullscreen_mode"), "1");
    ASSERT_EQ(SetGraphicsFullScreen(0), 1);
    CurrentGraphics()->GetSurface(width, height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 200);
    PumpFor(100);
    EXPECT_EQ(Node(".fullscreen_mode"), "0");
}

TEST_F(WaylandWindow, TheCompositorsCloseRequestIsReportedOnce) {
    ASSERT_NE(OpenGraphics(320, 200, 0, 60, 0), nullptr);
    FlipGraphics(0);
    PumpFor(100);
    AppTerminateRequested();
    Sway("[app_id=wayland_window_test] kill");
    PumpFor(100);
    EXPECT_EQ(AppTerminateRequested(), 1);
    EXPECT_EQ(AppTerminateRequested(), 0);
}

TEST_F(WaylandWindow, AHiddenWindowKeepsItsTimersAndNeverBlocksInFlip) {
    ASSERT_NE(OpenGraphics(320, 200, 0, 60, 0), nullptr);
    FlipGraphics(1);
    Sway("[app_id=wayland_window_test] move to scratchpad");
    PumpFor(100);
    ASSERT_EQ(Node(".visible"), "false");
    const TimerPtr timer = TTimer::Create(50, nullptr);
    const auto start = std::chrono::steady_clock::now();
    int32_t ticks = 0;
    while (ticks < 25) {
        ticks += timer->Wait();
        ClearScreen();
        FlipGraphics(1);
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    timer->Stop();
    // 25 ticks at 50 a second take half a second; a swap waiting for the compositor to show
    // the window would never come back.
    EXPECT_GE(elapsed, 440);
    EXPECT_LT(elapsed, 1500);
}

}  // namespace
}  // namespace vexel
