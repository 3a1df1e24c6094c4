// gtest first: Xlib defines None as a macro, which gtest uses as a type name.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <vector>

#include "graphics/gl/gl_graphics.h"
#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/gl_texture.h"
#include "graphics/gl/internal/gl_window.h"
#include "graphics/graphics.h"
#include "platform/x11/glx_window.h"
#include "platform/x11/x11_connection.h"
#include "runtime/error.h"
#include "runtime/startup.h"
#include "system/polled_input.h"
#include "x_test_support.h"

namespace vexel {
namespace {

using testing::XInjector;

std::vector<int> intervals_sent;
int CountInterval(int interval) {
    intervals_sent.push_back(interval);
    return 0;
}

class GLWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testing::HaveDisplay()) GTEST_SKIP() << "no X display (set DISPLAY)";
        injector = std::make_unique<XInjector>();
        injector->InternDesktopAtoms();
        SelectGraphicsDriver(TheGLGraphicsDriver(), GfxFlagBackBuffer);
    }
    void TearDown() override {
        CloseOpenedGraphics();
        injector.reset();
    }

    Window WindowOf(const GraphicsPtr& g) {
        return AsGlxWindow(*std::static_pointer_cast<TGLGraphics>(g)->_context->window).XWindow();
    }

    bool IsTopLevel(Window window) {
        const std::vector<Window> windows = TopLevelWindows();
        return std::find(windows.begin(), windows.end(), window) != windows.end();
    }

    std::vector<Window> TopLevelWindows() {
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(injector->display(), DefaultRootWindow(injector->display()), &root, &parent,
                   &children, &count);
        std::vector<Window> windows(children, children + count);
        if (children) XFree(children);
        return windows;
    }

    // The colour of a window pixel as 0xRRGGBB, read from the server by the second
    // connection.
    unsigned long PixelAt(Window window, int x, int y) {
        XImage* image = XGetImage(injector->display(), window, x, y, 1, 1, AllPlanes, ZPixmap);
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
        XDestroyImage(image);
        return pixel;
    }

    std::unique_ptr<XInjector> injector;
};

TEST_F(GLWindow, HasTheTitleAFixedSizeAndTheCloseProtocol) {
    SetAppTitle(u"Hühnerbrühe – Fenster");
    const GraphicsPtr g = OpenGraphics(1024, 512, 0, 60, 0);
    ASSERT_TRUE(g);
    const Window window = WindowOf(g);
    // The second connection sees the window's properties once the server has handled
    // everything the program's connection sent.
    injector->Sync();
    EXPECT_EQ(injector->Property(window, "_NET_WM_NAME"), "Hühnerbrühe – Fenster");
    // The plain WM_NAME too, for window managers without the extended hints: a title beyond
    // Latin-1 goes out as UTF-8.
    XTextProperty plain{};
    ASSERT_TRUE(XGetWMName(injector->display(), window, &plain));
    EXPECT_EQ(plain.encoding, XInternAtom(injector->display(), "UTF8_STRING", False));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(plain.value), plain.nitems),
              "Hühnerbrühe – Fenster");
    XFree(plain.value);

    // The class desktops match with a desktop entry: the program's file name, capitalised
    // (the game's test sees "morvelle"), or "vexel" when start-up did not learn the file.
    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(injector->display(), window, &hint));
    EXPECT_STREQ(hint.res_name, "vexel");
    EXPECT_STREQ(hint.res_class, "Vexel");
    XFree(hint.res_name);
    XFree(hint.res_class);

    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(injector->display(), window, &hints, &supplied));
    EXPECT_EQ(hints.flags & (PMinSize | PMaxSize), PMinSize | PMaxSize);
    EXPECT_EQ(
        (std::vector<int>{hints.min_width, hints.min_height, hints.max_width, hints.max_height}),
        (std::vector<int>{1024, 512, 1024, 512}));

    Atom* protocols = nullptr;
    int count = 0;
    ASSERT_TRUE(XGetWMProtocols(injector->display(), window, &protocols, &count));
    ASSERT_EQ(count, 1);
    EXPECT_EQ(protocols[0], XInternAtom(injector->display(), "WM_DELETE_WINDOW", False));
    XFree(protocols);

    XWindowAttributes attributes;
    XGetWindowAttributes(injector->display(), window, &attributes);
    EXPECT_EQ(attributes.width, 1024);
    EXPECT_EQ(attributes.height, 512);
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_FALSE(attributes.override_redirect);

    EXPECT_EQ(CurrentGraphicsWidth(), 1024);
    EXPECT_EQ(CurrentGraphicsHeight(), 512);
    EXPECT_EQ(CurrentGraphicsDepth(), 24);
    EXPECT_EQ(CurrentGraphicsHertz(), 60);
    EXPECT_EQ(CurrentGraphicsFlags(), GfxFlagBackBuffer);
    EXPECT_EQ(InputWindow(), window);
    SetAppTitle(u"Vexel Application");
}

TEST_F(GLWindow, CloseRequestFromTheWindowManagerIsReportedOnce) {
    const GraphicsPtr g = OpenGraphics(320, 200, 0, 60, 0);
    ASSERT_TRUE(g);
    injector->RequestClose(WindowOf(g));
    injector->Sync();
    EXPECT_EQ(AppTerminateRequested(), 1);
    EXPECT_EQ(AppTerminateRequested(), 0);
}

TEST_F(GLWindow, OpeningAgainClosesTheFirstWindow) {
    const GraphicsPtr first = OpenGraphics(320, 200, 0, 60, 0);
    ASSERT_TRUE(first);
    const Window first_window = WindowOf(first);
    const int32_t generation = GraphicsGeneration();
    const GraphicsPtr second = OpenGraphics(400, 300, 0, 60, 0);
    ASSERT_TRUE(second);
    const Window second_window = WindowOf(second);
    XSync(SystemDisplay(), False);
    EXPECT_EQ(GraphicsGeneration(), generation + 2);
    EXPECT_FALSE(IsTopLevel(first_window));
    EXPECT_TRUE(IsTopLevel(second_window));
    EXPECT_EQ(std::static_pointer_cast<TGLGraphics>(first)->_context, nullptr);
    EXPECT_EQ(CurrentGraphicsWidth(), 400);
    CloseOpenedGraphics();
    XSync(SystemDisplay(), False);
    EXPECT_FALSE(IsTopLevel(second_window));
}

TEST_F(GLWindow, ClearedFramesReachTheScreen) {
    const GraphicsPtr g = OpenGraphics(320, 200, 0, 60, 0);
    ASSERT_TRUE(g);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    FlipGraphics(0);
    glFinish();
    EXPECT_EQ(PixelAt(WindowOf(g), 10, 10), 0xff0000ul);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    FlipGraphics(0);
    glFinish();
    EXPECT_EQ(PixelAt(WindowOf(g), 319, 199), 0x0000fful);
}

TEST_F(GLWindow, MakingASecondContextLeavesTheSelectedOneToDrawInto) {
    const GraphicsPtr first = OpenGraphics(320, 200, 0, 60, 0);
    ASSERT_TRUE(first);
    const GLXContext context =
        AsGlxWindow(*std::static_pointer_cast<TGLGraphics>(first)->_context->window).Context();
    // Clears the selected context, presents it and reads the first window at (x, y).
    auto present = [&](float red, float green, float blue, int x, int y) {
        glClearColor(red, green, blue, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        FlipGraphics(0);
        glFinish();
        return PixelAt(WindowOf(first), x, y);
    };
    const GraphicsPtr second = CreateGraphicsContext(160, 100, 0, 0, 0);
    ASSERT_TRUE(second);
    SelectGraphics(first);
    EXPECT_EQ(glXGetCurrentContext(), context);
    // The second window covers the top left corner of the first.
    EXPECT_EQ(present(0, 1, 0, 300, 150), 0x00ff00ul);
    // Closing the other context leaves the selected one current.
    CloseGraphicsContext(second);
    EXPECT_EQ(glXGetCurrentContext(), context);
    EXPECT_EQ(present(0, 0, 1, 10, 10), 0x0000fful);
}

TEST_F(GLWindow, DrawGLRectFillsExactlyItsPixels) {
    ASSERT_TRUE(OpenGraphics(320, 200, 0, 60, 0));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3ub(0, 255, 0);
    DrawGLRect(100, 50, 20, 10);
    glFinish();
    auto green_at = [](int x, int y) {
        GLubyte rgba[4];
        glReadPixels(x, 199 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return rgba[1] == 255 && rgba[0] == 0;
    };
    EXPECT_TRUE(green_at(100, 50));
    EXPECT_TRUE(green_at(119, 59));
    EXPECT_FALSE(green_at(99, 50));
    EXPECT_FALSE(green_at(120, 50));
    EXPECT_FALSE(green_at(100, 49));
    EXPECT_FALSE(green_at(100, 60));
}

TEST_F(GLWindow, DrawGLPixmapPutsRowZeroAtTheBottomAsGLStoresRows) {
    ASSERT_TRUE(OpenGraphics(320, 200, 0, 60, 0));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    auto pixmap = NewPixmap(4, 3, PIXEL_RGB24, 4);
    pixmap->ClearPixels(static_cast<int32_t>(0xFFFF0000u));       // red
    pixmap->WritePixel(0, 0, static_cast<int32_t>(0xFF0000FFu));  // blue
    pixmap->WritePixel(3, 2, static_cast<int32_t>(0xFF00FF00u));  // green
    DrawGLPixmap(pixmap, 100, 50);
    glFinish();
    auto rgb_at = [](int x, int y) {
        GLubyte rgba[4];
        glReadPixels(x, 199 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return std::vector<int>{rgba[0], rgba[1], rgba[2]};
    };
    // The pixmap covers (100, 50)-(103, 52) with its row 0 at the bottom.
    EXPECT_EQ(rgb_at(100, 52), (std::vector<int>{0, 0, 255}));
    EXPECT_EQ(rgb_at(103, 50), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(rgb_at(101, 51), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(rgb_at(104, 50), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(rgb_at(100, 53), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(rgb_at(100, 49), (std::vector<int>{0, 0, 0}));
}

TEST_F(GLWindow, GL2DStateIsRestoredAfterwards) {
    ASSERT_TRUE(OpenGraphics(320, 200, 0, 60, 0));
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(3.0f, 4.0f, 5.0f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    GLdouble before[16], inside[16], after[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, before);
    PushGL2DState();
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    glGetDoublev(GL_PROJECTION_MATRIX, inside);
    // glOrtho(0, 320, 200, 0, -1, 1): x scaled by 2/320, y by -2/200.
    EXPECT_FLOAT_EQ(static_cast<float>(inside[0]), 2.0f / 320);
    EXPECT_FLOAT_EQ(static_cast<float>(inside[5]), -2.0f / 200);
    PopGL2DState();
    glGetDoublev(GL_MODELVIEW_MATRIX, after);
    EXPECT_TRUE(std::equal(before, before + 16, after));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
}

TEST_F(GLWindow, TextureSizesAreFittedToPowersOfTwoTheGLAccepts) {
    ASSERT_TRUE(OpenGraphics(320, 200, 0, 60, 0));
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    ASSERT_GE(largest, 4096);
    int32_t width = 3000, height = 10;
    FitGLTextureSize(width, height);
    EXPECT_EQ(width, 4096);
    EXPECT_EQ(height, 16);
    // Too wide: both sides are halved together until the width fits.
    width = largest * 2;
    height = 64;
    FitGLTextureSize(width, height);
    EXPECT_EQ(width, largest);
    EXPECT_EQ(height, 32);
}

TEST_F(GLWindow, SwapIntervalIsSentOnlyWhenItChanges) {
    ASSERT_TRUE(OpenGraphics(320, 200, 0, 0, 0));
    intervals_sent.clear();
    const SwapIntervalFunction real = ReplaceSwapIntervalFunction(CountInterval);
    FlipGraphics(1);
    FlipGraphics(1);
    FlipGraphics(0);
    FlipGraphics(-1);  // a window opened without a rate swaps with interval 0
    FlipGraphics(1);
    SelectGraphics(nullptr);
    FlipGraphics(-1);  // the opened context is not current: interval 1
    ReplaceSwapIntervalFunction(real);
    EXPECT_EQ(intervals_sent, (std::vector<int>{1, 0, 1}));
}

TEST_F(GLWindow, DeselectingLeavesTheGLContextCurrent) {
    ASSERT_TRUE(OpenGraphics(320, 200, 0, 60, 0));
    const GLXContext context = glXGetCurrentContext();
    ASSERT_NE(context, nullptr);
    SelectGraphics(nullptr);
    EXPECT_EQ(glXGetCurrentContext(), context);
    EXPECT_EQ(CurrentGraphics(), nullptr);
    EXPECT_EQ(CurrentGraphicsDepth(), 0);
}

TEST_F(GLWindow, AttachedWindowsFollowTheirSizeAndAreNeverDestroyed) {
    Display* display = injector->display();
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    ASSERT_NE(visual, nullptr);
    XSetWindowAttributes set{};
    set.colormap = XCreateColormap(display, DefaultRootWindow(display), visual->visual, AllocNone);
    const Window foreign =
        XCreateWindow(display, DefaultRootWindow(display), 0, 0, 300, 150, 0, visual->depth,
                      InputOutput, visual->visual, CWColormap, &set);
    XFree(visual);
    XMapWindow(display, foreign);
    XSync(display, False);

    const GraphicsPtr g = AttachGraphicsContext(foreign, 0);
    ASSERT_TRUE(g);
    SelectGraphics(g);
    EXPECT_EQ(CurrentGraphicsWidth(), 300);
    EXPECT_EQ(CurrentGraphicsHeight(), 150);
    EXPECT_EQ(CurrentGraphicsDepth(), 0);
    EXPECT_EQ(CurrentGraphicsFlags(), GfxFlagBackBuffer);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    FlipGraphics(0);
    glFinish();
    EXPECT_EQ(PixelAt(foreign, 5, 5), 0x00ff00ul);

    XResizeWindow(display, foreign, 320, 160);
    XSync(display, False);
    int32_t width, height, depth, hertz, flags;
    g->GetSettings(width, height, depth, hertz, flags);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 160);

    CloseGraphicsContext(g);
    XSync(SystemDisplay(), False);
    EXPECT_TRUE(IsTopLevel(foreign));
    XDestroyWindow(display, foreign);
    XFreeColormap(display, set.colormap);
}

// Whether a texture made in `maker`'s context is a texture in `user`'s context too.
bool TextureIsShared(const GLWindowPtr& maker, const GLWindowPtr& user) {
    SelectGLWindow(maker);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const GLubyte pixels[2 * 2 * 4] = {};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glFinish();
    SelectGLWindow(user);
    const bool shared = glIsTexture(texture);
    SelectGLWindow(maker);
    glDeleteTextures(1, &texture);
    return shared;
}

TEST_F(GLWindow, ContextsMadeAfterTheSharedContextShareTheirObjects) {
    Display* display = injector->display();
    const GLWindowPtr a = CreateGLWindow(64, 64, 0, 0, GfxFlagBackBuffer);
    const GLWindowPtr b = CreateGLWindow(64, 64, 0, 0, GfxFlagBackBuffer);
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(TextureIsShared(a, b));
    const Window input = InputWindow();
    const GLXContext current = glXGetCurrentContext();
    XSync(SystemDisplay(), False);
    const std::vector<Window> before = TopLevelWindows();

    EnsureSharedGLContext();
    EnsureSharedGLContext();
    XSync(SystemDisplay(), False);
    // One hidden 100x100 window, never mapped; the current context and the input window
    // stay as they were.
    const std::vector<Window> after = TopLevelWindows();
    std::vector<Window> added;
    for (const Window window : after) {
        if (std::find(before.begin(), before.end(), window) == before.end())
            added.push_back(window);
    }
    ASSERT_EQ(added.size(), 1u);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, added[0], &attributes);
    EXPECT_EQ(attributes.width, 100);
    EXPECT_EQ(attributes.height, 100);
    EXPECT_EQ(attributes.map_state, IsUnmapped);
    EXPECT_EQ(glXGetCurrentContext(), current);
    EXPECT_EQ(InputWindow(), input);

    // Contexts made before it share nothing; those made after share with each other.
    EXPECT_FALSE(TextureIsShared(a, b));
    const GLWindowPtr c = CreateGLWindow(64, 64, 0, 0, GfxFlagBackBuffer);
    const GLWindowPtr d = CreateGLWindow(64, 64, 0, 0, GfxFlagBackBuffer | GfxFlagDepthBuffer);
    ASSERT_TRUE(c && d);
    EXPECT_TRUE(TextureIsShared(c, d));
    EXPECT_TRUE(TextureIsShared(d, c));
    for (const GLWindowPtr& record : {a, b, c, d})
        CloseGLWindow(record);

    // The exit handler closes the hidden window too.
    CloseAllGLWindows();
    XSync(SystemDisplay(), False);
    EXPECT_FALSE(IsTopLevel(added[0]));
}

}  // namespace
}  // namespace vexel
