// The window example as a user runs it: it must show its titled 1024x512 window, draw into
// it, and end with status 0 on Escape and on a close request.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "x_test_support.h"

namespace vexel {
namespace {

using testing::XInjector;

class ExampleWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::HaveDisplay()) GTEST_SKIP() << "no X display (set DISPLAY)";
        injector = std::make_unique<XInjector>();
        injector->InternDesktopAtoms();
        child = fork();
        if (child == 0) {
            execl(EXAMPLE_WINDOW, EXAMPLE_WINDOW, static_cast<char*>(nullptr));
            _exit(127);
        }
        window = FindWindow("Vexel – Fenster");
    }
    void TearDown() override {
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }

    Window FindWindow(const std::string& title) {
        Display* display = injector->display();
        for (int attempt = 0; attempt < 200; ++attempt) {
            Window root, parent, *children = nullptr;
            unsigned int count = 0;
            XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
            Window found = 0;
            for (unsigned int i = 0; i < count && !found; ++i) {
                if (injector->Property(children[i], "_NET_WM_NAME") == title) found = children[i];
            }
            if (children) XFree(children);
            if (found) return found;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 0;
    }

    // The exit status, or -1 when the program did not end within ten seconds.
    int ExitStatus() {
        for (int attempt = 0; attempt < 200; ++attempt) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                child = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

    std::unique_ptr<XInjector> injector;
    pid_t child = -1;
    Window window = 0;
};

TEST_F(ExampleWindow, ShowsItsWindowAndEndsOnEscape) {
    ASSERT_NE(window, 0u) << "no window titled \"Vexel – Fenster\" appeared";
    XWindowAttributes attributes;
    XGetWindowAttributes(injector->display(), window, &attributes);
    EXPECT_EQ(attributes.width, 1024);
    EXPECT_EQ(attributes.height, 512);
    // Cleared to a colour, not left black. Give it a few frames.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    XImage* image = XGetImage(injector->display(), window, 512, 256, 1, 1, AllPlanes, ZPixmap);
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
    XDestroyImage(image);
    EXPECT_NE(pixel, 0ul);
    EXPECT_EQ((pixel >> 8) & 0xff, 0x4cul);  // green is fixed at 0.3

    XSetInputFocus(injector->display(), window, RevertToParent, CurrentTime);
    injector->Tap(XK_Escape);
    XSync(injector->display(), False);
    EXPECT_EQ(ExitStatus(), 0);
}

TEST_F(ExampleWindow, EndsWhenTheWindowIsClosed) {
    ASSERT_NE(window, 0u);
    injector->RequestClose(window);
    EXPECT_EQ(ExitStatus(), 0);
}

}  // namespace
}  // namespace vexel
