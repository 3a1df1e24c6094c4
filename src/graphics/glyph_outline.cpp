#include "graphics/internal/glyph_outline.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "pixmap/pixel_format.h"

namespace vexel {
namespace {

// How much of the pixel (dx, dy) away from an ink pixel the ring of `width` around that ink
// pixel's square covers, 0..1: the distance from the pixel's centre to the square, against
// the width plus half a pixel. Beside the square that is exact; diagonally it is within a
// few hundredths of the true area.
struct RingStep {
    int32_t dx, dy;
    float coverage;
};
std::vector<RingStep> RingSteps(float width, int32_t margin) {
    std::vector<RingStep> steps;
    for (int32_t dy = -margin; dy <= margin; ++dy) {
        for (int32_t dx = -margin; dx <= margin; ++dx) {
            const float gap_x = std::max(0.0f, static_cast<float>(std::abs(dx)) - 0.5f);
            const float gap_y = std::max(0.0f, static_cast<float>(std::abs(dy)) - 0.5f);
            const float coverage =
                std::clamp(width + 0.5f - std::sqrt(gap_x * gap_x + gap_y * gap_y), 0.0f, 1.0f);
            if (coverage > 0) steps.push_back({dx, dy, coverage});
        }
    }
    return steps;
}

}  // namespace

OutlinedGlyph OutlineGlyph(const TPixmap& glyph, float width) {
    const float ring = std::max(width, 0.0f);
    const auto margin = static_cast<int32_t>(std::ceil(ring));
    const int32_t w = glyph.width + 2 * margin, h = glyph.height + 2 * margin;
    std::vector<float> ink(static_cast<size_t>(w) * static_cast<size_t>(h), 0.0f);
    std::vector<float> outline(ink.size(), 0.0f);
    const auto at = [w](int32_t x, int32_t y) {
        return static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
    };
    const std::vector<RingStep> steps = RingSteps(ring, margin);
    for (int32_t y = 0; y < glyph.height; ++y) {
        for (int32_t x = 0; x < glyph.width; ++x) {
            const auto alpha = static_cast<uint32_t>(glyph.ReadPixel(x, y)) >> 24;
            if (alpha == 0) continue;
            const float coverage = static_cast<float>(alpha) / 255.0f;
            ink[at(x + margin, y + margin)] = coverage;
            for (const RingStep& step : steps) {
                float& o = outline[at(x + margin + step.dx, y + margin + step.dy)];
                o = std::max(o, coverage * step.coverage);
            }
        }
    }
    OutlinedGlyph result{NewPixmap(w, h, PIXEL_RGBA32, 4), margin};
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const float f = ink[at(x, y)];
            const auto alpha =
                static_cast<uint32_t>(std::lround((f + outline[at(x, y)] * (1 - f)) * 255));
            result.pixmap->WritePixel(x, y, static_cast<int32_t>(alpha << 24));
        }
    }
    return result;
}

}  // namespace vexel
