#pragma once

// The native window layer of the OpenGL driver as programs see it: a window record is an
// opaque handle to a window or full-screen window of the platform with its GL context, made,
// selected, swapped and closed by the functions below. The platform's details live behind
// platform/window.h. Main thread only.

#include <cstdint>
#include <memory>

#include "platform/display.h"

namespace vexel {

struct GLWindowRecord;

// Records are shared: the graphics context owns one, the layer remembers the current and
// the shared one. Closing releases the X and GL resources at once; the memory goes with
// the last reference.
using GLWindowPtr = std::shared_ptr<GLWindowRecord>;

// 0 when the platform can make windows with GL contexts, -1 when not (asked again on the next
// call).
int EnsureGLReady();
// A window (depth 0) or full-screen window (depth non-zero), or the hidden shared-context
// window when width and height are 0. A window's surface is `scale` × width × height (its
// size hints fix it there); full screen and the hidden window ignore `scale`. Null when it
// cannot be made.
GLWindowPtr CreateGLWindow(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                           int32_t flags, int32_t scale = 1);
// A record drawing into someone else's window (a native window id); its context is made on
// first selection.
GLWindowPtr AttachGLWindow(uintptr_t window, int32_t flags);
// Makes the record's context current; null leaves the current context as it is.
void SelectGLWindow(const GLWindowPtr& record);
// Swaps the current record's buffers with swap interval 0 or 1 (sent to the platform only when
// it changes), then pumps the desktop's events.
void SwapGLWindow(int32_t sync);
// The record's size, depth (0 for a window), refresh rate and flags.
void GLWindowSettings(const GLWindowPtr& record, int32_t& width, int32_t& height, int32_t& depth,
                      int32_t& hertz, int32_t& flags);
// The record's surface in pixels (an attached window's current size); zeros without one.
void GLWindowSurface(const GLWindowPtr& record, int32_t& width, int32_t& height);
// Makes our own window cover its monitor (on) or go back to its size and place (off),
// through the window manager's full-screen state, or as an override-redirect window when no
// window manager runs. The window, its GL context and textures stay. True when the window
// is in the asked state afterwards.
bool SetGLWindowDesktopFullScreen(const GLWindowPtr& record, bool on);
// Whether the record covers its monitor through SetGLWindowDesktopFullScreen.
bool GLWindowDesktopFullScreen(const GLWindowPtr& record);
// The size of the monitor a new window opens on (the primary one), or of the whole screen
// without monitor information; zeros without a display.
void DesktopMonitorSize(int32_t& width, int32_t& height);

// Releases the window, context and video mode of the record; harmless on a closed record.
void CloseGLWindow(const GLWindowPtr& record);
// Exit handler: closes the current and the shared record.
void CloseAllGLWindows();
// Makes the hidden context whose GL objects every later context shares, once.
void EnsureSharedGLContext();
// The record made current last, or null.
GLWindowPtr CurrentGLWindow();

// Up to `capacity` modes of the display, in the platform's order; the count written.
int32_t ListVideoModes(VideoMode* modes, int32_t capacity);

// The address of an OpenGL function by name from the platform's GL, or null.
void* GLProcAddress(const char* name);

}  // namespace vexel
