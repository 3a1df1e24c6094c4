#include "support/recording_vex2d.h"

#include <cmath>
#include <sstream>
#include <utility>

namespace vexel::testing {
namespace {

std::string Numbers(std::initializer_list<float> values) {
    std::ostringstream out;
    for (float v : values)
        out << ' ' << v;
    return out.str();
}

class RecordedFrame : public TImageFrame {
  public:
    RecordedFrame(RecordingDriver& driver, PixmapPtr pixmap)
        : driver_(driver), pixmap_(std::move(pixmap)) {}
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty, float sx, float sy,
              float sw, float sh) override {
        driver_.calls.push_back("Frame" + Numbers({x0, y0, x1, y1, tx, ty, sx, sy, sw, sh}));
        driver_.frame_draws.push_back({pixmap_.get(), x0, y0, x1, y1, tx, ty, sx, sy, sw, sh});
    }

  private:
    RecordingDriver& driver_;
    PixmapPtr pixmap_;
};

}  // namespace

void FakeWindow::GetSettings(int32_t& w, int32_t& h, int32_t& d, int32_t& hz, int32_t& f) {
    w = width;
    h = height;
    d = 24;
    hz = 0;
    f = 2;
}

void RecordingDriver::SetGraphics(const GraphicsPtr& g) {
    calls.push_back(g ? "SetGraphics" : "SetGraphics null");
    if (auto context = std::dynamic_pointer_cast<TVex2DGraphics>(g)) {
        context->MakeCurrent();
    } else {
        TVex2DGraphics::ClearCurrent();
    }
}

void RecordingDriver::Flip(int32_t sync) {
    calls.push_back("Flip" + Numbers({float(sync)}));
}

std::shared_ptr<TImageFrame> RecordingDriver::CreateFrameFromPixmap(const PixmapPtr& pixmap,
                                                                    int32_t) {
    ++frames_made;
    return std::make_shared<RecordedFrame>(*this, pixmap);
}

void RecordingDriver::SetBlend(int32_t blend) {
    calls.push_back("Blend" + Numbers({float(blend)}));
}
void RecordingDriver::SetAlpha(float a) {
    calls.push_back("Alpha" + Numbers({a}));
}
void RecordingDriver::SetColor(int32_t r, int32_t g, int32_t b) {
    calls.push_back("Color" + Numbers({float(r), float(g), float(b)}));
}
void RecordingDriver::SetClsColor(int32_t r, int32_t g, int32_t b) {
    calls.push_back("ClsColor" + Numbers({float(r), float(g), float(b)}));
}
void RecordingDriver::SetViewport(int32_t x, int32_t y, int32_t w, int32_t h) {
    calls.push_back("Viewport" + Numbers({float(x), float(y), float(w), float(h)}));
}
void RecordingDriver::SetTransform(float ix, float iy, float jx, float jy) {
    calls.push_back("Transform" + Numbers({Round(ix), Round(iy), Round(jx), Round(jy)}));
}
void RecordingDriver::SetLineWidth(float w) {
    calls.push_back("LineWidth" + Numbers({w}));
}
void RecordingDriver::Cls() {
    calls.push_back("Cls");
}
void RecordingDriver::Plot(float x, float y) {
    calls.push_back("Plot" + Numbers({x, y}));
}
void RecordingDriver::DrawLine(float a, float b, float c, float d, float tx, float ty) {
    calls.push_back("Line" + Numbers({a, b, c, d, tx, ty}));
}
void RecordingDriver::DrawRect(float a, float b, float c, float d, float tx, float ty) {
    calls.push_back("Rect" + Numbers({a, b, c, d, tx, ty}));
}
void RecordingDriver::DrawOval(float a, float b, float c, float d, float tx, float ty) {
    calls.push_back("Oval" + Numbers({a, b, c, d, tx, ty}));
}
void RecordingDriver::DrawPoly(std::span<const float> xy, float hx, float hy, float tx, float ty) {
    calls.push_back("Poly " + std::to_string(xy.size()) + Numbers({hx, hy, tx, ty}));
}
void RecordingDriver::SetResolution(float w, float h) {
    calls.push_back("Resolution" + Numbers({w, h}));
}

float RecordingDriver::Round(float v) {
    const float r = std::round(v * 1e6f) / 1e6f;
    return r == 0 ? 0.0f : r;
}

std::vector<std::string> RecordingDriver::TakeCalls() {
    frame_draws.clear();
    return std::exchange(calls, {});
}

std::shared_ptr<RecordingDriver> OpenRecordingGraphics(int32_t width, int32_t height) {
    auto driver = std::make_shared<RecordingDriver>();
    SelectGraphicsDriver(driver, 2);
    SelectGraphics(TVex2DGraphics::Create(std::make_shared<FakeWindow>(width, height), driver));
    driver->TakeCalls();
    return driver;
}

void CloseRecordingGraphics() {
    SelectGraphics(nullptr);
}

}  // namespace vexel::testing
