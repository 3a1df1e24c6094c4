// Full screen needs the XFree86 video-mode extension, which Xvfb lacks: these tests run on
// the Xorg dummy server that scripts/test starts and names in VEXEL_FULLSCREEN_DISPLAY.
// Its configuration (scripts/lib/xorg-dummy.conf) starts the desktop at 800x600 and has
// 1024x512 only at 60 Hz.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/gl/gl_graphics.h"
#include "graphics/gl/internal/gl_window.h"
#include "graphics/graphics.h"
#include "platform/x11/glx_window.h"
#include "platform/x11/x11_connection.h"
#include "support/test_support.h"
#include "x_test_support.h"

namespace vexel {
namespace {

// Before main, so that the system driver opens the dummy server's display.
const bool have_fullscreen_display = [] {
    const char* display = getenv("VEXEL_FULLSCREEN_DISPLAY");
    if (!display || !*display) return false;
    setenv("DISPLAY", display, 1);
    return true;
}();

std::vector<int> intervals_sent;
int CountInterval(int interval) {
    intervals_sent.push_back(interval);
    return 0;
}

class FullScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!have_fullscreen_display) {
            GTEST_SKIP() << "VEXEL_FULLSCREEN_DISPLAY is not set: no X server with the "
                            "video-mode extension (scripts/test starts one)";
        }
        ASSERT_TRUE(testing::HaveDisplay());
        injector = std::make_unique<testing::XInjector>();
        SelectGraphicsDriver(TheGLGraphicsDriver(), GfxFlagBackBuffer);
        ASSERT_EQ(ModeSize(), "800x600") << "the dummy server does not start at 800x600";
    }
    void TearDown() override {
        CloseOpenedGraphics();
        injector.reset();
    }

    // The size of the mode the server's first active CRTC shows, asked through RandR by the
    // second connection (the dummy driver updates the video-mode extension's idea of the
    // current mode late).
    std::string ModeSize() {
        Display* display = injector->display();
        XRRScreenResources* resources =
            XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
        std::string size = "none";
        for (int c = 0; c < resources->ncrtc && size == "none"; ++c) {
            XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
            if (crtc->noutput > 0) {
                size = std::to_string(crtc->width) + "x" + std::to_string(crtc->height);
            }
            XRRFreeCrtcInfo(crtc);
        }
        XRRFreeScreenResources(resources);
        return size;
    }

    bool KeyboardGrabbedByOthers() {
        Display* display = injector->display();
        const int result = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                                         GrabModeAsync, CurrentTime);
        if (result == GrabSuccess) XUngrabKeyboard(display, CurrentTime);
        XSync(display, False);
        return result == AlreadyGrabbed;
    }

    bool PointerGrabbedByOthers() {
        Display* display = injector->display();
        const int result = XGrabPointer(display, DefaultRootWindow(display), False, ButtonPressMask,
                                        GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (result == GrabSuccess) XUngrabPointer(display, CurrentTime);
        XSync(display, False);
        return result == AlreadyGrabbed;
    }

    std::unique_ptr<testing::XInjector> injector;
};

TEST_F(FullScreen, TheDisplaysModesAreListedWithTheirRates) {
    // The server adds standard modes that fit the screen to the configured ones.
    std::vector<std::string> modes;
    for (const GraphicsModePtr& mode : ListGraphicsModes()) {
        modes.push_back(ToUtf8(mode->ToString()));
    }
    ASSERT_FALSE(modes.empty());
    EXPECT_EQ(modes[0], "800,600,24 60Hz");  // the mode in use comes first
    EXPECT_EQ(std::count(modes.begin(), modes.end(), "1024,512,24 60Hz"), 1);
    EXPECT_GE(std::count(modes.begin(), modes.end(), "640,480,24 75Hz"), 1);
    EXPECT_EQ(GraphicsModeCount(), static_cast<int32_t>(modes.size()));
    EXPECT_EQ(HasGraphicsMode(0, 0, 0, 0), 1);
    EXPECT_EQ(HasGraphicsMode(1024, 512, 24, 60), 1);
    EXPECT_EQ(HasGraphicsMode(1024, 512, 0, 75), 0);
    EXPECT_EQ(HasGraphicsMode(640, 480, 0, 75), 1);
    EXPECT_EQ(HasGraphicsMode(0, 0, 16, 0), 0);
}

TEST_F(FullScreen, SwitchesToTheModeGrabsInputAndRestoresAtClose) {
    // No 1024x512 mode runs at 75 Hz: the 60 Hz one is used, and the context reports 75.
    const GraphicsPtr g = OpenGraphics(1024, 512, 24, 75, 0);
    ASSERT_TRUE(g);
    XSync(SystemDisplay(), False);
    EXPECT_EQ(ModeSize(), "1024x512");
    EXPECT_EQ(CurrentGraphicsWidth(), 1024);
    EXPECT_EQ(CurrentGraphicsHeight(), 512);
    EXPECT_EQ(CurrentGraphicsDepth(), 24);
    EXPECT_EQ(CurrentGraphicsHertz(), 75);
    EXPECT_TRUE(KeyboardGrabbedByOthers());
    EXPECT_TRUE(PointerGrabbedByOthers());

    const Window window =
        AsGlxWindow(*std::static_pointer_cast<TGLGraphics>(g)->_context->window).XWindow();
    XWindowAttributes attributes;
    XGetWindowAttributes(injector->display(), window, &attributes);
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, 1024);
    EXPECT_EQ(attributes.height, 512);
    // The pointer is centred.
    Window root, child;
    int root_x, root_y, x, y;
    unsigned int mask;
    XQueryPointer(injector->display(), window, &root, &child, &root_x, &root_y, &x, &y, &mask);
    EXPECT_EQ(x, 512);
    EXPECT_EQ(y, 256);

    CloseOpenedGraphics();
    EXPECT_EQ(ModeSize(), "800x600");
    EXPECT_FALSE(KeyboardGrabbedByOthers());
    EXPECT_FALSE(PointerGrabbedByOthers());
}

TEST_F(FullScreen, ASizeWithoutAModeFailsWithoutSwitching) {
    EXPECT_EQ(OpenGraphics(1000, 500, 24, 60, 0), nullptr);
    EXPECT_EQ(ModeSize(), "800x600");
    EXPECT_EQ(OpenedGraphics(), nullptr);
}

TEST_F(FullScreen, PacedFlipsWaitForTheRetraceOnlyWithARate) {
    intervals_sent.clear();
    const SwapIntervalFunction real = ReplaceSwapIntervalFunction(CountInterval);
    ASSERT_TRUE(OpenGraphics(640, 480, 24, 60, 0));
    FlipGraphics(-1);
    FlipGraphics(-1);
    ASSERT_TRUE(OpenGraphics(640, 480, 24, 0, 0));
    FlipGraphics(-1);
    ReplaceSwapIntervalFunction(real);
    EXPECT_EQ(intervals_sent, (std::vector<int>{1, 0}));
}

TEST_F(FullScreen, EndProgramRestoresTheDesktopMode) {
    const auto result = testing::RunProcess({FULLSCREEN_PROBE});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "1024x512");
    EXPECT_EQ(ModeSize(), "800x600");
}

}  // namespace
}  // namespace vexel
