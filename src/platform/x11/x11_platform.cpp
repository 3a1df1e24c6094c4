#include "platform/x11/x11_platform.h"

#include "platform/display.h"
#include "platform/x11/glx_window.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_desktop_full_screen.h"
#include "platform/x11/x11_video_modes.h"

namespace vexel {

namespace {

class X11Display : public PlatformDisplay {
  public:
    void DesktopMonitorSize(int32_t& width, int32_t& height) override {
        width = height = 0;
        if (!GlxReady()) return;
        const MonitorRect monitor = MonitorAt(GlxDisplay(), 0, 0, false);
        width = monitor.width;
        height = monitor.height;
    }
    int32_t ListVideoModes(VideoMode* modes, int32_t capacity) override {
        if (!GlxReady()) return 0;
        return ListXVideoModes(modes, capacity);
    }
};

class X11Platform : public Platform {
  public:
    PlatformKind Kind() const override { return PlatformKind::X11; }
    PlatformInput& Input() override { return input_; }
    PlatformWindows& Windows() override { return windows_; }
    PlatformDisplay& Display() override { return display_; }

  private:
    X11Input input_;
    X11Windows windows_;
    X11Display display_;
};

}  // namespace

bool X11ServerAnswers() {
    return SystemDisplay() != nullptr;
}

std::unique_ptr<Platform> OpenX11Platform() {
    OpenXGlue();
    return std::make_unique<X11Platform>();
}

}  // namespace vexel
