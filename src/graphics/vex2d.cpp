#include "graphics/vex2d.h"

#include <cmath>
#include <numbers>

#include "graphics/image_font.h"
#include "graphics/internal/drawing_context.h"
#include "graphics/internal/truncate.h"
#include "runtime/last_error.h"
#include "system/polled_input.h"
#include "system/system_driver.h"

namespace vexel {

namespace {

// The detached state stands in for the current context until one is made current, so the
// module functions never need to ask; the base driver draws nothing.
struct Vex2DModule {
    Vex2DModule() {
        detached->_driver = silent_driver;
        current = detached;
        driver = silent_driver;
    }

    std::shared_ptr<TVex2DDriver> silent_driver = std::make_shared<TVex2DDriver>();
    std::shared_ptr<TVex2DGraphics> detached = std::make_shared<TVex2DGraphics>();
    std::shared_ptr<TVex2DGraphics> current;
    std::shared_ptr<TVex2DDriver> driver;
    std::shared_ptr<TImageFont> default_font;
};

// Never destroyed: the exit handler that closes the opened window deselects the drawing
// context after static destructors may already have run.
Vex2DModule& Module() {
    static Vex2DModule* const module = new Vex2DModule;
    return *module;
}

TVex2DGraphics& State() {
    return *Module().current;
}

// The matrix in single precision from an angle in degrees: the sine and cosine come from
// double, then every product is a float, so that positions land on the same pixels on every
// machine.
void ComputeMatrix(TVex2DGraphics& g) {
    const double radians = static_cast<double>(g.tform_rot) * std::numbers::pi / 180.0;
    const auto c = static_cast<float>(std::cos(radians));
    const auto s = static_cast<float>(std::sin(radians));
    g.tform_ix = c * g.tform_scale_x;
    g.tform_iy = -s * g.tform_scale_y;
    g.tform_jx = s * g.tform_scale_x;
    g.tform_jy = c * g.tform_scale_y;
    CurrentVex2DDriver().SetTransform(g.tform_ix, g.tform_iy, g.tform_jx, g.tform_jy);
}

}  // namespace

std::shared_ptr<TGraphicsDriver> TVex2DGraphics::Driver() {
    return _driver;
}

void TVex2DGraphics::GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                                 int32_t& flags) {
    width = height = depth = hertz = flags = 0;
    if (_graphics) _graphics->GetSettings(width, height, depth, hertz, flags);
}

void TVex2DGraphics::Close() {
    if (!_graphics) return;
    _graphics->Close();
    _graphics = nullptr;
    _driver = nullptr;
}

void TVex2DGraphics::GetSurface(int32_t& width, int32_t& height) {
    width = height = 0;
    if (_graphics) _graphics->GetSurface(width, height);
}

int32_t TVex2DGraphics::SetDesktopFullScreen(int32_t on) {
    return _graphics ? _graphics->SetDesktopFullScreen(on) : 0;
}

int32_t TVex2DGraphics::DesktopFullScreen() {
    return _graphics ? _graphics->DesktopFullScreen() : 0;
}

void TVex2DGraphics::Validate() {
    int32_t width = 0, height = 0, depth, hertz, flags;
    GetSettings(width, height, depth, hertz, flags);
    if (width != g_width || height != g_height) {
        g_width = width;
        g_height = height;
        vres_width = static_cast<float>(width);
        vres_height = static_cast<float>(height);
        vres_mousexscale = vres_mouseyscale = 1.0f;
    }
    SetVirtualSize(vres_width, vres_height);
    SetDrawBlend(blend_mode);
    SetDrawColor(color_red, color_green, color_blue);
    SetDrawAlpha(color_alpha);
    SetClearColor(clscolor_red, clscolor_green, clscolor_blue);
    SetDrawLineWidth(line_width);
    SetDrawRotation(tform_rot);
    SetDrawScale(tform_scale_x, tform_scale_y);
    SetDrawViewport(viewport_x, viewport_y, viewport_w, viewport_h);
    SetDrawOrigin(origin_x, origin_y);
    SetDrawHandle(-handle_x, -handle_y);
    SetDrawFont(image_font);
}

void TVex2DGraphics::MakeCurrent() {
    auto& module = Module();
    module.current = std::static_pointer_cast<TVex2DGraphics>(shared_from_this());
    module.driver = _driver ? _driver : module.silent_driver;
    Validate();
    if (_setup == 0) {
        ClearScreen();
        FlipBlankFrame(0);
        ClearScreen();
        FlipBlankFrame(0);
        _setup = 1;
    }
}

void TVex2DGraphics::ClearCurrent() {
    auto& module = Module();
    module.current = module.detached;
    module.driver = module.silent_driver;
}

std::shared_ptr<TVex2DGraphics> TVex2DGraphics::Current() {
    auto& module = Module();
    return module.current == module.detached ? nullptr : module.current;
}

std::shared_ptr<TVex2DGraphics> TVex2DGraphics::Create(GraphicsPtr graphics,
                                                       std::shared_ptr<TVex2DDriver> driver) {
    auto& module = Module();
    int32_t width = 0, height = 0, depth, hertz, flags;
    graphics->GetSettings(width, height, depth, hertz, flags);
    if (!module.default_font) module.default_font = TImageFont::CreateDefault();
    auto g = std::make_shared<TVex2DGraphics>();
    g->viewport_w = width;
    g->viewport_h = height;
    g->image_font = module.default_font;
    g->vres_width = static_cast<float>(width);
    g->vres_height = static_cast<float>(height);
    g->g_width = width;
    g->g_height = height;
    g->_graphics = std::move(graphics);
    g->_driver = std::move(driver);
    return g;
}

bool DrawingContextOpen(std::u16string_view call) {
    if (TVex2DGraphics::Current()) return true;
    RecordFailure(call, u"", u"no graphics context is open (call OpenGraphics)");
    return false;
}

TVex2DDriver& CurrentVex2DDriver() {
    return *Module().driver;
}

void ClearScreen() {
    DrawingContextOpen(u"ClearScreen");
    CurrentVex2DDriver().Cls();
}

void SetClearColor(int32_t red, int32_t green, int32_t blue) {
    auto& g = State();
    g.clscolor_red = red;
    g.clscolor_green = green;
    g.clscolor_blue = blue;
    CurrentVex2DDriver().SetClsColor(red, green, blue);
}

void GetClearColor(int32_t& red, int32_t& green, int32_t& blue) {
    const auto& g = State();
    red = g.clscolor_red;
    green = g.clscolor_green;
    blue = g.clscolor_blue;
}

void SetDrawColor(int32_t red, int32_t green, int32_t blue) {
    auto& g = State();
    g.color_red = red;
    g.color_green = green;
    g.color_blue = blue;
    CurrentVex2DDriver().SetColor(red, green, blue);
}

void GetDrawColor(int32_t& red, int32_t& green, int32_t& blue) {
    const auto& g = State();
    red = g.color_red;
    green = g.color_green;
    blue = g.color_blue;
}

void SetDrawBlend(int32_t blend) {
    State().blend_mode = blend;
    CurrentVex2DDriver().SetBlend(blend);
}

int32_t GetDrawBlend() {
    return State().blend_mode;
}

void SetDrawAlpha(float alpha) {
    State().color_alpha = alpha;
    CurrentVex2DDriver().SetAlpha(alpha);
}

float GetDrawAlpha() {
    return State().color_alpha;
}

void SetDrawLineWidth(float width) {
    State().line_width = width;
    CurrentVex2DDriver().SetLineWidth(width);
}

float GetDrawLineWidth() {
    return State().line_width;
}

void SetDrawRotation(float degrees) {
    State().tform_rot = degrees;
    ComputeMatrix(State());
}

float GetDrawRotation() {
    return State().tform_rot;
}

void SetDrawScale(float sx, float sy) {
    State().tform_scale_x = sx;
    State().tform_scale_y = sy;
    ComputeMatrix(State());
}

void GetDrawScale(float& sx, float& sy) {
    sx = State().tform_scale_x;
    sy = State().tform_scale_y;
}

void SetDrawTransform(float degrees, float sx, float sy) {
    auto& g = State();
    g.tform_rot = degrees;
    g.tform_scale_x = sx;
    g.tform_scale_y = sy;
    ComputeMatrix(g);
}

void SetDrawOrigin(float x, float y) {
    State().origin_x = x;
    State().origin_y = y;
}

void GetDrawOrigin(float& x, float& y) {
    x = State().origin_x;
    y = State().origin_y;
}

void SetDrawHandle(float x, float y) {
    State().handle_x = -x;
    State().handle_y = -y;
}

void GetDrawHandle(float& x, float& y) {
    x = -State().handle_x;
    y = -State().handle_y;
}

void SetDrawViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    auto& g = State();
    g.viewport_x = x;
    g.viewport_y = y;
    g.viewport_w = width;
    g.viewport_h = height;
    const auto to_window = [](int32_t v, float scale) {
        return TruncateCoordinate(std::floor(static_cast<float>(v) / scale));
    };
    const int32_t x0 = to_window(x, g.vres_mousexscale);
    const int32_t y0 = to_window(y, g.vres_mouseyscale);
    const int32_t x1 = to_window(x + width, g.vres_mousexscale);
    const int32_t y1 = to_window(y + height, g.vres_mouseyscale);
    CurrentVex2DDriver().SetViewport(x0, y0, x1 - x0, y1 - y0);
}

void GetDrawViewport(int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
    const auto& g = State();
    x = g.viewport_x;
    y = g.viewport_y;
    width = g.viewport_w;
    height = g.viewport_h;
}

void SetVirtualSize(float width, float height) {
    auto& g = State();
    g.vres_width = width;
    g.vres_height = height;
    // Without a window there is nothing to scale against; keep one unit per pixel.
    const int32_t window_width = CurrentGraphicsWidth();
    const int32_t window_height = CurrentGraphicsHeight();
    g.vres_mousexscale = window_width > 0 ? width / static_cast<float>(window_width) : 1.0f;
    g.vres_mouseyscale = window_height > 0 ? height / static_cast<float>(window_height) : 1.0f;
    CurrentVex2DDriver().SetResolution(width, height);
}

float VirtualSizeWidth() {
    return State().vres_width;
}
float VirtualSizeHeight() {
    return State().vres_height;
}

float VirtualMouseXPos() {
    return static_cast<float>(MouseXPos()) * State().vres_mousexscale;
}
float VirtualMouseYPos() {
    return static_cast<float>(MouseYPos()) * State().vres_mouseyscale;
}
float VirtualMouseXDelta() {
    return static_cast<float>(MouseXDelta()) * State().vres_mousexscale;
}
float VirtualMouseYDelta() {
    return static_cast<float>(MouseYDelta()) * State().vres_mouseyscale;
}

void MoveVirtualMousePointer(float x, float y) {
    const auto& g = State();
    MoveMousePointer(TruncateCoordinate(x / g.vres_mousexscale),
                     TruncateCoordinate(y / g.vres_mouseyscale));
}

void PlotPoint(float x, float y) {
    DrawingContextOpen(u"PlotPoint");
    const auto& g = State();
    CurrentVex2DDriver().Plot(x + g.origin_x, y + g.origin_y);
}

void DrawLineSegment(float x, float y, float x2, float y2, int32_t draw_last_pixel) {
    DrawingContextOpen(u"DrawLineSegment");
    const auto& g = State();
    const float px = g.handle_x + x2 - x;
    const float py = g.handle_y + y2 - y;
    CurrentVex2DDriver().DrawLine(g.handle_x, g.handle_y, px, py, x + g.origin_x, y + g.origin_y);
    if (draw_last_pixel != 0) {
        CurrentVex2DDriver().Plot(x + px * g.tform_ix + py * g.tform_iy + g.origin_x,
                                  y + px * g.tform_jx + py * g.tform_jy + g.origin_y);
    }
}

void DrawRectangle(float x, float y, float width, float height) {
    DrawingContextOpen(u"DrawRectangle");
    const auto& g = State();
    CurrentVex2DDriver().DrawRect(g.handle_x, g.handle_y, g.handle_x + width, g.handle_y + height,
                                  x + g.origin_x, y + g.origin_y);
}

void DrawEllipse(float x, float y, float width, float height) {
    DrawingContextOpen(u"DrawEllipse");
    const auto& g = State();
    CurrentVex2DDriver().DrawOval(g.handle_x, g.handle_y, g.handle_x + width, g.handle_y + height,
                                  x + g.origin_x, y + g.origin_y);
}

void DrawPolygon(std::span<const float> xy) {
    DrawingContextOpen(u"DrawPolygon");
    const auto& g = State();
    CurrentVex2DDriver().DrawPoly(xy, g.handle_x, g.handle_y, g.origin_x, g.origin_y);
}

void DrawString(const String& text, float x, float y) {
    DrawingContextOpen(u"DrawString");
    const auto& g = State();
    const float pen_x = x + g.origin_x + g.handle_x * g.tform_ix + g.handle_y * g.tform_iy;
    const float pen_y = y + g.origin_y + g.handle_x * g.tform_jx + g.handle_y * g.tform_jy;
    if (g.text_outline > 0) {
        GetDrawFont()->DrawOutlined(text, pen_x, pen_y, g.tform_ix, g.tform_iy, g.tform_jx,
                                    g.tform_jy, g.text_outline);
    } else {
        GetDrawFont()->Draw(text, pen_x, pen_y, g.tform_ix, g.tform_iy, g.tform_jx, g.tform_jy);
    }
}

void SetTextOutline(float width) {
    State().text_outline = width;
}

float GetTextOutline() {
    return State().text_outline;
}

void SetDrawFont(std::shared_ptr<TImageFont> font) {
    auto& module = Module();
    if (!font) {
        if (!module.default_font) module.default_font = TImageFont::CreateDefault();
        font = module.default_font;
    }
    State().image_font = std::move(font);
}

std::shared_ptr<TImageFont> GetDrawFont() {
    auto& g = State();
    if (!g.image_font) SetDrawFont(nullptr);
    return g.image_font;
}

int32_t TextWidthOf(const String& text) {
    const auto font = GetDrawFont();
    int32_t width = 0;
    for (const char16_t unit : text) {
        const int32_t index = font->CharToGlyph(unit);
        if (index < 0) continue;
        const auto glyph = font->LoadGlyph(index);
        if (!glyph) continue;
        width = TruncateCoordinate(static_cast<float>(width) + glyph->Advance());
    }
    return width;
}

int32_t TextHeightOf(const String&) {
    return GetDrawFont()->Height();
}

void DrawPixmapAt(const std::shared_ptr<TPixmap>& pixmap, int32_t x, int32_t y) {
    if (!pixmap) {
        RecordFailure(u"DrawPixmapAt", u"", u"the pixmap is null");
        return;
    }
    DrawingContextOpen(u"DrawPixmapAt");
    CurrentVex2DDriver().DrawPixmap(pixmap, x, y);
}

std::shared_ptr<TPixmap> GrabPixmapRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    DrawingContextOpen(u"GrabPixmapRect");
    return CurrentVex2DDriver().GrabPixmap(x, y, width, height);
}

DrawMatrix CurrentDrawMatrix() {
    const auto& g = State();
    return {g.tform_ix, g.tform_iy, g.tform_jx, g.tform_jy};
}

void RefreshDrawMatrix() {
    ComputeMatrix(State());
}

}  // namespace vexel
