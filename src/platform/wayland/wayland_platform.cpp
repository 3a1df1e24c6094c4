#include "platform/wayland/wayland_platform.h"

#include "platform/display.h"
#include "platform/wayland/egl_window.h"
#include "platform/wayland/wayland_connection.h"

namespace vexel {

namespace {

class WaylandDisplay : public PlatformDisplay {
  public:
    // The first output's size in surface units.
    void DesktopMonitorSize(int32_t& width, int32_t& height) override {
        width = height = 0;
        const auto& outputs = Wayland().outputs;
        if (outputs.empty() || outputs[0].scale <= 0) return;
        width = outputs[0].width / outputs[0].scale;
        height = outputs[0].height / outputs[0].scale;
    }
    // A Wayland client cannot switch video modes.
    int32_t ListVideoModes(VideoMode*, int32_t) override { return 0; }
};

class WaylandPlatform : public Platform {
  public:
    PlatformKind Kind() const override { return PlatformKind::Wayland; }
    PlatformInput& Input() override { return input_; }
    PlatformWindows& Windows() override { return windows_; }
    PlatformDisplay& Display() override { return display_; }

  private:
    WaylandInput input_;
    WaylandWindows windows_;
    WaylandDisplay display_;
};

}  // namespace

std::unique_ptr<Platform> OpenWaylandPlatform() {
    if (!WaylandCompositorAnswers()) return nullptr;
    return std::make_unique<WaylandPlatform>();
}

}  // namespace vexel
