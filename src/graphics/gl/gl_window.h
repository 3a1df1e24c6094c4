#pragma once

// The native window layer of the OpenGL driver: GLX visuals and contexts, windows on the
// system display, full-screen video-mode switching through the XFree86 video-mode
// extension (restored at close and at exit), the swap interval and buffer swaps. Main
// thread only.

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/extensions/xf86vmode.h>

#include <cstdint>
#include <memory>

namespace vexel {

enum class GLWindowKind : int32_t {
    Closed = 0,
    Attached = 1,    // a foreign window; never destroyed here
    OwnWindow = 2,   // our own window
    FullScreen = 3,  // our own override-redirect window in a switched video mode
};

struct GLWindowRecord {
    GLWindowKind kind = GLWindowKind::Closed;
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;  // 24 for our own windows whatever was asked, 0 when attached
    int32_t hertz = 0;  // as requested, not the rate of the chosen mode
    int32_t flags = 0;
    int32_t sync = -1;  // the swap interval last set on it
    Window window = 0;
    Colormap colormap = 0;
    GLXContext context = nullptr;
};

// Records are shared: the graphics context owns one, the layer remembers the current and
// the shared one. Closing releases the X and GL resources at once; the memory goes with
// the last reference.
using GLWindowPtr = std::shared_ptr<GLWindowRecord>;

// 0 when the display has GLX, -1 when not (asked again on the next call).
int EnsureGLXReady();
// The visual for the graphics flags, or null; free with XFree.
XVisualInfo* ChooseGLXVisual(int32_t flags);
// A window (depth 0) or full-screen window (depth non-zero), or the hidden shared-context
// window when width and height are 0. Null when it cannot be made.
GLWindowPtr CreateGLWindow(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                           int32_t flags);
// A record drawing into someone else's window; its context is made on first selection.
GLWindowPtr AttachGLWindow(Window window, int32_t flags);
// Makes the record's context current; null leaves the current context as it is.
void SelectGLWindow(const GLWindowPtr& record);
// Swaps the current record's buffers with swap interval 0 or 1 (sent to GLX only when it
// changes), then pumps X events.
void SwapGLWindow(int32_t sync);
void GLWindowSettings(const GLWindowPtr& record, int32_t& width, int32_t& height, int32_t& depth,
                      int32_t& hertz, int32_t& flags);
// Releases the window, context and video mode of the record; harmless on a closed record.
void CloseGLWindow(const GLWindowPtr& record);
// Exit handler: closes the current and the shared record.
void CloseAllGLWindows();
// Makes the hidden context whose GL objects every later context shares, once.
void EnsureSharedGLContext();

struct VideoMode {
    int32_t width, height, depth, hertz;
};
// Up to `capacity` modes of the display, in the extension's order; the count written.
int32_t ListVideoModes(VideoMode* modes, int32_t capacity);
// Rounded refresh rate of a mode line; doubled when interlaced, halved when double-scanned.
int32_t ModeRefreshRate(const XF86VidModeModeInfo& mode);

// The record made current last, or null.
GLWindowPtr CurrentGLWindow();

// Replaces the swap-interval entry point (null: none) and returns the previous one, so that
// tests can count the intervals sent.
using SwapIntervalFunction = int (*)(int interval);
SwapIntervalFunction ReplaceSwapIntervalFunction(SwapIntervalFunction function);

}  // namespace vexel
