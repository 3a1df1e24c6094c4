#include "graphics/gl/gl_graphics.h"

#include <vector>

namespace vexel {

namespace {

// Enough for any display; the extension lists a few dozen at most.
constexpr int32_t kModeCapacity = 1024;

}  // namespace

std::vector<GraphicsModePtr> TGLGraphicsDriver::GraphicsModes() {
    std::vector<VideoMode> modes(kModeCapacity);
    const int32_t count = ListVideoModes(modes.data(), kModeCapacity);
    std::vector<GraphicsModePtr> result;
    for (int32_t i = 0; i < count; ++i) {
        result.push_back(
            TGraphicsMode::Create(modes[i].width, modes[i].height, modes[i].depth, modes[i].hertz));
    }
    return result;
}

GraphicsPtr TGLGraphicsDriver::AttachGraphics(uintptr_t widget, int32_t flags) {
    return std::make_shared<TGLGraphics>(AttachGLWindow(widget, flags));
}

GraphicsPtr TGLGraphicsDriver::CreateGraphics(int32_t width, int32_t height, int32_t depth,
                                              int32_t hertz, int32_t flags) {
    // A context without a window would answer every query with zeros and draw nowhere;
    // callers are better told at once.
    GLWindowPtr record = CreateGLWindow(width, height, depth, hertz, flags, GraphicsScale());
    if (!record) return nullptr;
    return std::make_shared<TGLGraphics>(std::move(record));
}

void TGLGraphicsDriver::SetGraphics(const GraphicsPtr& graphics) {
    const auto gl = std::dynamic_pointer_cast<TGLGraphics>(graphics);
    SelectGLWindow(gl ? gl->_context : nullptr);
}

void TGLGraphicsDriver::Flip(int32_t sync) {
    SwapGLWindow(sync);
}

void TGLGraphicsDriver::DesktopSize(int32_t& width, int32_t& height) {
    DesktopMonitorSize(width, height);
}

TGLGraphics::~TGLGraphics() {
    Close();
}

GraphicsDriverPtr TGLGraphics::Driver() {
    return TheGLGraphicsDriver();
}

void TGLGraphics::GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                              int32_t& flags) {
    GLWindowSettings(_context, width, height, depth, hertz, flags);
}

void TGLGraphics::Close() {
    if (!_context) return;
    CloseGLWindow(_context);
    _context = nullptr;
}

void TGLGraphics::GetSurface(int32_t& width, int32_t& height) {
    GLWindowSurface(_context, width, height);
}

int32_t TGLGraphics::SetDesktopFullScreen(int32_t on) {
    return SetGLWindowDesktopFullScreen(_context, on != 0) ? 1 : 0;
}

int32_t TGLGraphics::DesktopFullScreen() {
    return GLWindowDesktopFullScreen(_context) ? 1 : 0;
}

std::shared_ptr<TGLGraphicsDriver> TheGLGraphicsDriver() {
    static const auto driver = std::make_shared<TGLGraphicsDriver>();
    return driver;
}

GraphicsPtr OpenGLGraphics(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                           int32_t flags) {
    SelectGraphicsDriver(TheGLGraphicsDriver(), GfxFlagBackBuffer);
    return OpenGraphics(width, height, depth, hertz, flags);
}

}  // namespace vexel
