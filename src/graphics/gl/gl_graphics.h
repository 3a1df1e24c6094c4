#pragma once

// The OpenGL graphics driver over the platform's windows (GLX on X11, EGL on Wayland), and
// helpers for programs that draw with raw
// OpenGL between the 2-D layer's frames. Main thread only.

#include <memory>

#include "graphics/gl/native_window.h"
#include "graphics/graphics.h"

namespace vexel {

// The OpenGL graphics driver: windows for drawing with OpenGL directly.
class TGLGraphicsDriver : public TGraphicsDriver {
  public:
    std::vector<GraphicsModePtr> GraphicsModes() override;
    GraphicsPtr AttachGraphics(uintptr_t widget, int32_t flags) override;
    // Null when the window cannot be made (no display, no GLX, no such video mode).
    GraphicsPtr CreateGraphics(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                               int32_t flags) override;
    void SetGraphics(const GraphicsPtr& graphics) override;
    void Flip(int32_t sync) override;
    void DesktopSize(int32_t& width, int32_t& height) override;
};

// A context of the OpenGL graphics driver over one native window record.
class TGLGraphics : public TGraphics {
  public:
    // A context over the window record `context`.
    explicit TGLGraphics(GLWindowPtr context) : _context(std::move(context)) {}
    ~TGLGraphics() override;

    GraphicsDriverPtr Driver() override;
    void GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                     int32_t& flags) override;
    void Close() override;
    void GetSurface(int32_t& width, int32_t& height) override;
    int32_t SetDesktopFullScreen(int32_t on) override;
    // 1 while the window covers its monitor without a video-mode switch.
    int32_t DesktopFullScreen() override;

    // The native window record; null after Close.
    GLWindowPtr _context;
};

// The one OpenGL graphics driver, made on first call.
std::shared_ptr<TGLGraphicsDriver> TheGLGraphicsDriver();

// Selects the OpenGL driver with a back buffer, then OpenGraphics.
GraphicsPtr OpenGLGraphics(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                           int32_t flags);

}  // namespace vexel
