// A frame presented on Wayland against the same frame on X11, interleaved in one process: the
// same OpenGL drawing (llvmpipe both ways) into a 1024×512 window of each platform, presented
// and followed by a pump of the desktop's events, which is all the platform adds to a frame.
// Needs DISPLAY and WAYLAND_DISPLAY; scripts/bench starts an Xvfb and a headless Sway.

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glx.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench_support.h"
#include "platform/input.h"
#include "platform/wayland/wayland_platform.h"
#include "platform/window.h"
#include "platform/x11/x11_platform.h"

namespace {

using namespace vexel;

constexpr int32_t kWidth = 1024, kHeight = 512;

// One platform's window with a texture of 256×256 pixels in its context.
struct Side {
    std::unique_ptr<Platform> platform;
    std::unique_ptr<PlatformWindow> window;
    GLuint texture = 0;
};

void Ignore(InputEvent, int32_t, int32_t, int32_t) {}

Side Open(std::unique_ptr<Platform> platform) {
    Side side;
    side.platform = std::move(platform);
    if (!side.platform || !side.platform->Windows().Ready()) return side;
    WindowRequest request;
    request.width = kWidth;
    request.height = kHeight;
    request.flags = 2;  // double-buffered, as the 2-D driver asks
    int32_t width = 0, height = 0;
    side.window = side.platform->Windows().Create(request, width, height);
    if (!side.window) return side;
    std::vector<uint32_t> pixels(256 * 256);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = 0x80000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    glGenTextures(1, &side.texture);
    glBindTexture(GL_TEXTURE_2D, side.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, kWidth, kHeight, 0, -1, 1);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return side;
}

// GLVND lets one API's context be current on a thread at a time: each side lets go of its
// context after its frame.
void Release(const Side& side) {
    if (side.platform->Kind() == PlatformKind::X11) {
        glXMakeCurrent(glXGetCurrentDisplay(), None, nullptr);
    } else {
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
}

// A background and 48 blended sprites, presented, then the events pumped.
void DrawFrame(Side& side, int frame) {
    side.window->Select(nullptr, false);
    glClearColor(0.1f, 0.2f, 0.3f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    for (int i = 0; i < 48; ++i) {
        const float x = static_cast<float>((i * 97 + frame * 7) % (kWidth - 128));
        const float y = static_cast<float>((i * 53 + frame * 3) % (kHeight - 128));
        glTexCoord2f(0, 0), glVertex2f(x, y);
        glTexCoord2f(1, 0), glVertex2f(x + 128, y);
        glTexCoord2f(1, 1), glVertex2f(x + 128, y + 128);
        glTexCoord2f(0, 1), glVertex2f(x, y + 128);
    }
    glEnd();
    side.window->Swap();
    side.platform->Input().Pump(Ignore);
    Release(side);
}

Side& X11Side() {
    static Side side = Open(OpenX11Platform());
    return side;
}

Side& WaylandSide() {
    static Side side = Open(OpenWaylandPlatform());
    return side;
}

void Run(benchmark::State& state, Side& side) {
    if (!side.window) return state.SkipWithError("no window on this platform");
    int frame = 0;
    for (auto _ : state)
        DrawFrame(side, frame++);
}

void Frame_Wayland(benchmark::State& state) {
    Run(state, WaylandSide());
}
void Frame_X11(benchmark::State& state) {
    Run(state, X11Side());
}

BENCHMARK(Frame_Wayland)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(Frame_X11)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
const bool compared = vexel::bench::CompareWith("Frame_Wayland", "Frame_X11");

}  // namespace
