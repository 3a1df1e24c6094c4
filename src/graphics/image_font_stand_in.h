#pragma once

// Stand-in for the image font while fonts are being written on their own branch: a font with
// no glyphs that draws nothing and measures 0. It has exactly the operations the drawing layer
// calls, so swapping in the real TImageFont is a change of include.

#include <cstdint>
#include <memory>

#include "runtime/object.h"
#include "runtime/string.h"

namespace vexel {

class TImageGlyph : public Object {
  public:
    float Advance() const { return 0; }
};

class TImageFont : public Object {
  public:
    int32_t Height() const { return 0; }
    int32_t CharToGlyph(int32_t) const { return -1; }
    std::shared_ptr<TImageGlyph> LoadGlyph(int32_t) { return std::make_shared<TImageGlyph>(); }
    void Draw(const String&, float, float, float, float, float, float) {}
    static std::shared_ptr<TImageFont> CreateDefault() { return std::make_shared<TImageFont>(); }
};

}  // namespace vexel
