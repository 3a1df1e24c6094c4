#pragma once

#include "runtime/cxx_standard.h"

// Text for programs that draw with raw OpenGL, in the built-in 8x16 font. Main thread only,
// with a context current.

#include <cstdint>

#include "runtime/string.h"

namespace vexel {

// Draws `text` with its first cell's top-left corner at window pixel (x, y), one 8x16 cell
// per character in the current GL colour and blend state. Codes 32 to 127 have glyphs;
// every other code leaves its cell empty. The font texture (mipmapped) is made on first use
// and kept while the graphics generation lasts.
void DrawGLText(const String& text, int32_t x, int32_t y);

}  // namespace vexel
