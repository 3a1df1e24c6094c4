// Where the tests find the generated Data folder, and small helpers for reading its pictures.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/image.h"
#include "runtime/string.h"

namespace morvelle_assets {

// A path under the build tree's Data folder, e.g. DataPath("gfx/Sky.png").
inline vexel::String DataPath(const std::string& relative) {
    return vexel::FromUtf8(std::string(MORVELLE_DATA_DIR) + "/" + relative);
}

// The four channels of a packed ARGB pixel of a frame's pixmap.
struct Rgba {
    int32_t r, g, b, a;
};

inline Rgba PixelAt(const vexel::TImage& image, int32_t frame, int32_t x, int32_t y) {
    const uint32_t argb = static_cast<uint32_t>(image.pixmaps[frame]->ReadPixel(x, y));
    return {static_cast<int32_t>((argb >> 16) & 0xFF), static_cast<int32_t>((argb >> 8) & 0xFF),
            static_cast<int32_t>(argb & 0xFF), static_cast<int32_t>(argb >> 24)};
}

}  // namespace morvelle_assets
