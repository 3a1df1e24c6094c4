#pragma once

#include "runtime/cxx_standard.h"

// The graphics driver layer: display modes, graphics contexts and drivers, and the module
// functions through which a program opens a window and presents its frames. Main thread
// only.

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/object.h"

namespace vexel {

// Graphics flags, OR-ed into every create or attach request.
constexpr int32_t GfxFlagBackBuffer = 2;
constexpr int32_t GfxFlagAlphaBuffer = 4;
constexpr int32_t GfxFlagDepthBuffer = 8;
constexpr int32_t GfxFlagStencilBuffer = 16;
constexpr int32_t GfxFlagAccumBuffer = 32;

// A display mode: size in pixels, colour depth in bits, refresh rate.
class TGraphicsMode : public Object {
  public:
    // A mode with these values.
    static std::shared_ptr<TGraphicsMode> Create(int32_t width, int32_t height, int32_t depth,
                                                 int32_t hertz);
    // "1024,768,24 60Hz"
    String ToString() const override;

    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;
    int32_t hertz = 0;
};

using GraphicsModePtr = std::shared_ptr<TGraphicsMode>;

class TGraphicsDriver;

// A graphics context: a window or display that drawing goes to.
class TGraphics : public Object {
  public:
    // Slot filler of the virtual-operation order; 0.
    virtual int32_t _pad() { return 0; }
    // The driver that made this context.
    virtual std::shared_ptr<TGraphicsDriver> Driver() = 0;
    // The context's size, depth (0 for a window), refresh rate and flags.
    virtual void GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                             int32_t& flags) = 0;
    // Releases the window and context; afterwards the object is inert.
    virtual void Close() = 0;

    // The surface: the window's own pixels, which show the logical frame of GetSettings
    // scaled uniformly and centred (see FitGraphicsView). The base's surface is its logical
    // size.
    virtual void GetSurface(int32_t& width, int32_t& height);
    // Makes the window cover its monitor without a video-mode switch (1) or gives it back its
    // own size (0), keeping its GL context and textures. 1 when the window is in the asked
    // state afterwards; the base has no window and answers 0.
    virtual int32_t SetDesktopFullScreen(int32_t) { return 0; }
    // 1 while the window covers its monitor that way.
    virtual int32_t DesktopFullScreen() { return 0; }
};

using GraphicsPtr = std::shared_ptr<TGraphics>;

// A graphics driver. The base answers as a driver without any display would: no modes, no
// contexts, nothing to present.
class TGraphicsDriver : public Object {
  public:
    // The full-screen modes the display offers.
    virtual std::vector<GraphicsModePtr> GraphicsModes() { return {}; }
    // A context drawing into an existing native window.
    virtual GraphicsPtr AttachGraphics(uintptr_t, int32_t) { return nullptr; }
    // A new window (depth 0) or full-screen display (depth non-zero). Wayland switches no
    // video modes: there a full-screen display is a window covering its output.
    virtual GraphicsPtr CreateGraphics(int32_t, int32_t, int32_t, int32_t, int32_t) {
        return nullptr;
    }
    // Makes `graphics` the context drawing goes to; null deselects.
    virtual void SetGraphics(const GraphicsPtr&) {}
    // Presents the back buffer; sync non-zero waits for the vertical retrace.
    virtual void Flip(int32_t) {}
    // The size in pixels of the monitor a new window opens on; zeros when unknown.
    virtual void DesktopSize(int32_t& width, int32_t& height) { width = height = 0; }
};

using GraphicsDriverPtr = std::shared_ptr<TGraphicsDriver>;

// Makes `driver` current with the given default flags and deselects the current context
// (without closing the opened one). Bumps the generation.
void SelectGraphicsDriver(const GraphicsDriverPtr& driver, int32_t default_flags);
// The current driver, and the default flags it was selected with.
// @{
GraphicsDriverPtr CurrentGraphicsDriver();
int32_t DriverDefaultFlags();
// @}

// The current driver's modes, asked once and cached until the driver changes.
// @{
std::vector<GraphicsModePtr> ListGraphicsModes();
int32_t GraphicsModeCount();
void GraphicsModeAt(int32_t index, int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz);
// @}
// 1 when a listed mode matches every non-zero argument.
int32_t HasGraphicsMode(int32_t width, int32_t height, int32_t depth, int32_t hertz);

// The current driver's context with the default flags added; null when it fails (also when
// it throws), with the reason (no X server, no OpenGL, no such video mode) in LastError.
GraphicsPtr CreateGraphicsContext(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                                  int32_t flags);
// The current driver's context over an existing native window, flags as above.
GraphicsPtr AttachGraphicsContext(uintptr_t widget, int32_t flags);
// Deselects `graphics` if current, forgets it if opened, and closes it. A null context does
// nothing and is recorded as a misuse (LastError).
void CloseGraphicsContext(const GraphicsPtr& graphics);

// Makes `graphics` (or nothing) the context drawing goes to, switching to its driver and
// copying its settings.
void SelectGraphics(const GraphicsPtr& graphics);
// The selected context (null when none) and its settings.
// @{
GraphicsPtr CurrentGraphics();
int32_t CurrentGraphicsWidth();
int32_t CurrentGraphicsHeight();
int32_t CurrentGraphicsDepth();
int32_t CurrentGraphicsHertz();
int32_t CurrentGraphicsFlags();
// @}

// Closes the previously opened context, creates and selects a new one, chooses the frame
// pacing (a window paced in software at `hertz`, full screen synced to the retrace when
// `hertz` is non-zero) and starts input polling. Null when no context could be made;
// LastError then says why.
GraphicsPtr OpenGraphics(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                         int32_t flags);
// The context made by the last OpenGraphics, until it is closed.
GraphicsPtr OpenedGraphics();
// Runs the before-flip hooks and presents. sync -1 uses the pacing chosen at open: sleeping
// until the next frame is due for a window, waiting for the retrace in full screen. With no
// context selected the hooks still run and the misuse is recorded (LastError).
void FlipGraphics(int32_t sync);
// Closes the context made by the last OpenGraphics, if it is still open.
void CloseOpenedGraphics();

// Where a logical frame is shown on a surface: the rectangle of surface pixels (y from the
// top) and the surface pixels per logical unit.
struct GraphicsView {
    int32_t x = 0, y = 0, width = 0, height = 0;
    float scale = 1;
};
// The logical frame scaled uniformly to the largest size that fits the surface and centred;
// what is left over on two sides are the black bars.
GraphicsView FitGraphicsView(int32_t logical_width, int32_t logical_height, int32_t surface_width,
                             int32_t surface_height);
// The view of the current context; scale 1 over the logical size when none is current.
GraphicsView CurrentGraphicsView();

// The scale a new window opens at: its surface is scale × the asked size. Set with
// SetGraphicsScale (1 to 4; 0 forgets the call); without a call the environment variable
// VEXEL_SCALE (1 to 4) decides, and without that it is 1. Full-screen requests (a non-zero
// depth) always open at their own size.
// @{
void SetGraphicsScale(int32_t scale);
int32_t GraphicsScale();
// @}
// The whole scale pictures and text are made for: the current context's view scale rounded
// up, or while no context is current the scale set with SetGraphicsDetailScale, else
// GraphicsScale(); 1 to 4.
int32_t GraphicsDetailScale();
// The scale pictures and text load for while no context is current (1 to 4; 0 forgets the
// call), for a program whose first frames show at another scale than its window opens at
// (one that starts full screen). The window's own scale stays as it is.
void SetGraphicsDetailScale(int32_t scale);
// The whole scale pictures and text shown at `view_scale` are made for: rounded up, where a
// hair above a whole scale (the rounding of the bars) still counts as that scale; 1 to 4.
int32_t DetailScaleFor(float view_scale);

// The current context covers its monitor (1) or goes back to its window (0); its textures
// and GL context stay, only the view and the mouse mapping follow the new surface. 1 when
// the context is in the asked state afterwards.
int32_t SetGraphicsFullScreen(int32_t on);
// 1 while the current context covers its monitor that way.
int32_t GraphicsFullScreen();
// The size of the monitor a window opens on, from the current driver; zeros when unknown.
void GetDesktopSize(int32_t& width, int32_t& height);

// Counter of GPU-resource epochs: bumped whenever textures and other GPU objects may have
// been lost (a driver change, a new or closed window). Starts at 1, never 0.
int32_t GraphicsGeneration();
// Hook id run with null data before every present.
int BeforeFlipHook();
// Hook id run after every present, with null data after a frame of the program and with
// BlankFrameMark() after a blank frame a new context presents before the program draws.
int AfterFlipHook();
// The data AfterFlipHook gets after a blank frame.
const ObjectPtr& BlankFrameMark();
// Presents like FlipGraphics(sync), as a blank frame of a new context (see AfterFlipHook).
void FlipBlankFrame(int32_t sync);

}  // namespace vexel
