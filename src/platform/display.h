#pragma once

// The display-information concern of a platform: monitors and video modes.

#include <cstdint>

namespace vexel {

struct VideoMode {
    int32_t width, height, depth, hertz;
};

class PlatformDisplay {
  public:
    virtual ~PlatformDisplay() = default;
    /// The size of the monitor a new window opens on; zeros when unknown.
    virtual void DesktopMonitorSize(int32_t& width, int32_t& height) = 0;
    /// Up to `capacity` video modes to switch to, in the platform's order; the count written.
    virtual int32_t ListVideoModes(VideoMode* modes, int32_t capacity) = 0;
};

}  // namespace vexel
