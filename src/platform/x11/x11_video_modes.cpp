#include "platform/x11/x11_video_modes.h"

#include <X11/extensions/Xrandr.h>

#include <algorithm>

#include "platform/x11/x11_connection.h"

namespace vexel {

namespace {

struct VideoModeState {
    Display* display = nullptr;
    int screen = 0;
    bool has_video_modes = false;
    // The desktop's mode, saved when going full screen and switched back to at close.
    XF86VidModeModeInfo saved_mode{};
    XF86VidModeModeInfo** modes = nullptr;
    int mode_count = 0;
    // Set when the server refused the extension's switch and RandR made it: the extension
    // then keeps reporting the old mode, so the desktop is restored through RandR too.
    bool restore_with_randr = false;
    int randr_saved_width = 0, randr_saved_height = 0, randr_saved_rate = 0;
};

VideoModeState& Modes() {
    static VideoModeState state;
    return state;
}

// The rounded refresh rate of a RandR mode.
int RandRRate(const XRRModeInfo& mode) {
    const double total = static_cast<double>(mode.hTotal) * mode.vTotal;
    return total > 0 ? static_cast<int>(static_cast<double>(mode.dotClock) / total + 0.5) : 0;
}

// The mode of that size (at `hertz` when there is one) on the first active CRTC, with the
// screen resized to match, through RandR.
bool SwitchWithRandR(Display* display, int width, int height, int hertz) {
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event_base, &error_base) ||
        !XRRQueryVersion(display, &major, &minor) || major * 100 + minor < 102) {
        return false;
    }
    const Window root = DefaultRootWindow(display);
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources) return false;
    RRMode chosen = None;
    for (int i = 0; i < resources->nmode; ++i) {
        const XRRModeInfo& mode = resources->modes[i];
        if (static_cast<int>(mode.width) != width || static_cast<int>(mode.height) != height) {
            continue;
        }
        if (chosen == None || RandRRate(mode) == hertz) chosen = mode.id;
        if (RandRRate(mode) == hertz) break;
    }
    bool switched = false;
    for (int c = 0; c < resources->ncrtc && chosen != None && !switched; ++c) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
        if (crtc && crtc->noutput > 0) {
            const int screen = DefaultScreen(display);
            const int width_mm = DisplayWidthMM(display, screen) * width /
                                 std::max(1, DisplayWidth(display, screen));
            const int height_mm = DisplayHeightMM(display, screen) * height /
                                  std::max(1, DisplayHeight(display, screen));
            switched = ServerAccepts(display, [&] {
                XGrabServer(display);
                XRRSetCrtcConfig(display, resources, resources->crtcs[c], CurrentTime, 0, 0, None,
                                 RR_Rotate_0, nullptr, 0);
                XRRSetScreenSize(display, root, width, height, std::max(1, width_mm),
                                 std::max(1, height_mm));
                XRRSetCrtcConfig(display, resources, resources->crtcs[c], CurrentTime, 0, 0, chosen,
                                 crtc->rotation, crtc->outputs, crtc->noutput);
                XUngrabServer(display);
            });
        }
        if (crtc) XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    return switched;
}

// The size and rounded rate of the mode on the first active CRTC, through RandR.
bool CurrentRandRMode(Display* display, int& width, int& height, int& rate) {
    XRRScreenResources* resources =
        XRRGetScreenResourcesCurrent(display, DefaultRootWindow(display));
    if (!resources) return false;
    bool found = false;
    for (int c = 0; c < resources->ncrtc && !found; ++c) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[c]);
        if (crtc && crtc->noutput > 0) {
            for (int i = 0; i < resources->nmode && !found; ++i) {
                if (resources->modes[i].id != crtc->mode) continue;
                width = static_cast<int>(resources->modes[i].width);
                height = static_cast<int>(resources->modes[i].height);
                rate = RandRRate(resources->modes[i]);
                found = true;
            }
        }
        if (crtc) XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(resources);
    return found;
}

// Switches to the full-screen `mode` with the video-mode extension. Servers whose drivers
// set modes through RandR (the dummy driver among them) refuse that request; the same size
// and rate is then set through RandR, and the desktop's mode is remembered in its terms.
bool SwitchToMode(VideoModeState& n, XF86VidModeModeInfo& mode) {
    n.restore_with_randr = false;
    if (ServerAccepts(n.display, [&] {
            XF86VidModeSwitchToMode(n.display, n.screen, &mode);
            XF86VidModeSetViewPort(n.display, n.screen, 0, 0);
        })) {
        return true;
    }
    if (!CurrentRandRMode(n.display, n.randr_saved_width, n.randr_saved_height,
                          n.randr_saved_rate)) {
        return false;
    }
    n.restore_with_randr =
        SwitchWithRandR(n.display, mode.hdisplay, mode.vdisplay, ModeRefreshRate(mode));
    return n.restore_with_randr;
}

void FreeModeList(VideoModeState& n) {
    if (n.modes) XFree(n.modes);
    n.modes = nullptr;
    n.mode_count = 0;
}

// Saves the desktop's mode and switches to the first mode of the size at `hertz`, else the
// first of the size at any rate. False (nothing switched) when there is no such mode.
bool SwitchToSize(VideoModeState& n, int32_t width, int32_t height, int32_t hertz) {
    if (!n.has_video_modes) return false;
    int dot_clock = 0;
    XF86VidModeModeLine line{};
    XF86VidModeGetModeLine(n.display, n.screen, &dot_clock, &line);
    if (line.privsize > 0 && line.c_private) XFree(line.c_private);
    n.saved_mode = XF86VidModeModeInfo{static_cast<unsigned int>(dot_clock),
                                       line.hdisplay,
                                       line.hsyncstart,
                                       line.hsyncend,
                                       line.htotal,
                                       line.hskew,
                                       line.vdisplay,
                                       line.vsyncstart,
                                       line.vsyncend,
                                       line.vtotal,
                                       line.flags,
                                       0,
                                       nullptr};
    FreeModeList(n);
    XF86VidModeGetAllModeLines(n.display, n.screen, &n.mode_count, &n.modes);
    if (n.mode_count <= 0 || !n.modes) {
        FreeModeList(n);
        return false;
    }
    XF86VidModeModeInfo* chosen = nullptr;
    auto has_size = [&](const XF86VidModeModeInfo* mode) {
        return mode->hdisplay == width && mode->vdisplay == height;
    };
    for (int i = 0; i < n.mode_count && !chosen; ++i) {
        if (has_size(n.modes[i]) && ModeRefreshRate(*n.modes[i]) == hertz) chosen = n.modes[i];
    }
    for (int i = 0; i < n.mode_count && !chosen; ++i) {
        if (has_size(n.modes[i])) chosen = n.modes[i];
    }
    if (!chosen || !SwitchToMode(n, *chosen)) {
        FreeModeList(n);
        return false;
    }
    return true;
}

void RestoreMode(VideoModeState& n) {
    if (n.restore_with_randr) {
        SwitchWithRandR(n.display, n.randr_saved_width, n.randr_saved_height, n.randr_saved_rate);
        n.restore_with_randr = false;
    } else {
        ServerAccepts(n.display, [&] {
            XF86VidModeSwitchToMode(n.display, n.screen, &n.saved_mode);
            XF86VidModeSetViewPort(n.display, n.screen, 0, 0);
        });
    }
    XFlush(n.display);
    FreeModeList(n);
}

}  // namespace

void InitVideoModes(Display* display) {
    VideoModeState& n = Modes();
    if (n.display == display) return;
    n.display = display;
    n.screen = DefaultScreen(display);
    // Asked first so that a server without the extension (Xvfb) leaves no complaint on
    // standard error.
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    n.has_video_modes = XF86VidModeQueryExtension(display, &event_base, &error_base) &&
                        XF86VidModeQueryVersion(display, &major, &minor);
}

bool SwitchToFullScreenMode(int32_t width, int32_t height, int32_t hertz) {
    return SwitchToSize(Modes(), width, height, hertz);
}

void RestoreDesktopMode() {
    RestoreMode(Modes());
}

int32_t ListXVideoModes(VideoMode* modes, int32_t capacity) {
    VideoModeState& n = Modes();
    if (!n.display || !n.has_video_modes) return 0;
    int count = 0;
    XF86VidModeModeInfo** list = nullptr;
    if (!XF86VidModeGetAllModeLines(n.display, n.screen, &count, &list) || !list) return 0;
    count = std::min(count, capacity);
    for (int i = 0; i < count; ++i) {
        modes[i] = VideoMode{list[i]->hdisplay, list[i]->vdisplay, 24, ModeRefreshRate(*list[i])};
    }
    XFree(list);
    return count;
}

int32_t ModeRefreshRate(const XF86VidModeModeInfo& mode) {
    const double total = static_cast<double>(mode.htotal) * mode.vtotal;
    if (total <= 0) return 0;
    int32_t rate = static_cast<int32_t>(static_cast<double>(mode.dotclock) * 1000.0 / total + 0.5);
    if (mode.flags & 0x10) rate *= 2;
    if (mode.flags & 0x20) rate >>= 1;
    return rate;
}

}  // namespace vexel
