#pragma once

// A 2-D driver that draws nothing and records every call, for testing drawing code without a
// window: each state change or primitive becomes one line of text, and each image frame drawn
// is also kept with the pixmap it came from.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"

namespace vexel::testing {

// A window of a given size that shows nothing.
class FakeWindow : public TGraphics {
  public:
    FakeWindow(int32_t width, int32_t height) : width(width), height(height) {}
    std::shared_ptr<TGraphicsDriver> Driver() override { return nullptr; }
    void GetSettings(int32_t& w, int32_t& h, int32_t& d, int32_t& hz, int32_t& f) override;
    void Close() override { closed = true; }

    int32_t width, height;
    bool closed = false;
};

// One draw of an image frame: the frame's pixmap and the arguments of TImageFrame::Draw.
struct FrameDraw {
    const TPixmap* pixmap;
    float x0, y0, x1, y1, tx, ty, sx, sy, sw, sh;
};

class RecordingDriver : public TVex2DDriver {
  public:
    void SetGraphics(const GraphicsPtr& g) override;
    void Flip(int32_t sync) override;
    std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const PixmapPtr& pixmap,
                                                       int32_t flags) override;
    void SetBlend(int32_t blend) override;
    void SetAlpha(float a) override;
    void SetColor(int32_t r, int32_t g, int32_t b) override;
    void SetClsColor(int32_t r, int32_t g, int32_t b) override;
    void SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) override;
    void SetTransform(float ix, float iy, float jx, float jy) override;
    void SetLineWidth(float w) override;
    void Cls() override;
    void Plot(float x, float y) override;
    void DrawLine(float a, float b, float c, float d, float tx, float ty) override;
    void DrawRect(float a, float b, float c, float d, float tx, float ty) override;
    void DrawOval(float a, float b, float c, float d, float tx, float ty) override;
    void DrawPoly(std::span<const float> xy, float hx, float hy, float tx, float ty) override;
    void SetResolution(float w, float h) override;

    // Matrix entries rounded to 6 places so that cos 90° prints as 0.
    static float Round(float v);

    // The calls since the last take, and forgets them (frames drawn included).
    std::vector<std::string> TakeCalls();

    // Every call as a line: the name, then its numbers as iostreams prints them. A frame
    // draw is "Frame" and the ten numbers of TImageFrame::Draw.
    std::vector<std::string> calls;
    std::vector<FrameDraw> frame_draws;
    int32_t frames_made = 0;
};

// Makes a recording driver current over a fake window of the given size, the way
// OpenGraphics makes a real one current; the recorded calls start empty.
std::shared_ptr<RecordingDriver> OpenRecordingGraphics(int32_t width, int32_t height);

// Deselects the context opened by OpenRecordingGraphics.
void CloseRecordingGraphics();

}  // namespace vexel::testing
