#include "graphics/gl/internal/frame_content.h"

#include <algorithm>

namespace vexel {

FrameContent MeasureContent(const TPixmap& rgba, int32_t w, int32_t h) {
    FrameContent frame;
    frame.image_width = w;
    frame.image_height = h;
    const auto columns = static_cast<size_t>(w);
    frame.column_top.assign(columns, h);
    frame.column_bottom.assign(columns, 0);
    frame.core_top.assign(columns, 0);
    frame.core_bottom.assign(columns, 0);
    std::vector<int32_t> run_start(columns, 0);  // where each column's current opaque run began
    bool opaque = true;
    for (int32_t y = 0; y <= h; ++y) {
        const uint8_t* row = y < h ? rgba.PixelPtr(0, y) : nullptr;
        uint32_t all = 0xFFu;
        for (size_t x = 0; x < columns; ++x) {
            const uint8_t alpha = row ? row[4 * x + 3] : 0;  // a clear row below the last
            all &= alpha;
            if (alpha != 0) {
                frame.column_top[x] = std::min(frame.column_top[x], y);
                frame.column_bottom[x] = y + 1;
            }
            if (alpha != 0xFF) {
                if (y - run_start[x] > frame.core_bottom[x] - frame.core_top[x]) {
                    frame.core_top[x] = run_start[x];
                    frame.core_bottom[x] = y;
                }
                run_start[x] = y + 1;
            }
        }
        if (row) opaque = opaque && all == 0xFFu;
    }
    int32_t x0 = w, y0 = h, x1 = 0, y1 = 0;
    for (int32_t x = 0; x < w; ++x) {
        const int32_t top = frame.column_top[static_cast<size_t>(x)];
        const int32_t bottom = frame.column_bottom[static_cast<size_t>(x)];
        if (top >= bottom) continue;
        x0 = std::min(x0, x);
        x1 = x + 1;
        y0 = std::min(y0, top);
        y1 = std::max(y1, bottom);
    }
    frame.opaque = opaque;
    if (x0 >= x1) x0 = x1 = y0 = y1 = 0;
    frame.content_x0 = x0;
    frame.content_y0 = y0;
    frame.content_x1 = x1;
    frame.content_y1 = y1;
    return frame;
}

}  // namespace vexel
