#include "graphics/gl/gl_text.h"

#include <GL/gl.h>

#include "font/builtin_font.h"
#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/gl_texture.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/graphics.h"
#include "pixmap/pixel_format.h"
#include "stream/incbin.h"

namespace vexel {

namespace {

// 128 cells of 8 pixels make a power-of-two strip; the cells past code 127 stay clear.
constexpr int32_t kStripCells = 128;

PixmapPtr FontStrip() {
    const auto bytes = IncbinData(u"gldrawtextfont.bin");
    const PixmapPtr strip =
        NewPixmap(kStripCells * kBuiltinFontCellWidth, kBuiltinFontCellHeight, PIXEL_RGBA32, 4);
    strip->ClearPixels(0);
    if (bytes.size() != kBuiltinFontBytes) return strip;
    for (int32_t y = 0; y < kBuiltinFontCellHeight; ++y)
        for (int32_t cell = 0; cell < kBuiltinFontGlyphs; ++cell) {
            const uint8_t bits = bytes[static_cast<size_t>(kBuiltinFontGlyphs * y + cell)];
            for (int32_t bit = 0; bit < kBuiltinFontCellWidth; ++bit)
                strip->WritePixel(kBuiltinFontCellWidth * cell + bit, y,
                                  (bits >> bit) & 1 ? -1 : 0);
        }
    return strip;
}

// The texture lives in the GL context it was made in: a window closed and opened again
// (a new graphics generation) gets a texture of its own instead of a stale name.
GLuint FontTexture() {
    static GLuint texture = 0;
    static int32_t made_in = 0;
    if (texture == 0 || made_in != GraphicsGeneration()) {
        texture = static_cast<GLuint>(TextureFromPixmap(FontStrip(), 1));
        made_in = GraphicsGeneration();
    }
    return texture;
}

}  // namespace

void DrawGLText(const String& text, int32_t x, int32_t y) {
    SubmitGLVex2DDrawing();
    const GLuint texture = FontTexture();
    PushGL2DState();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    for (const char16_t code : text) {
        if (code >= kBuiltinFontFirstCode && code < kBuiltinFontFirstCode + kBuiltinFontGlyphs) {
            const float s0 = static_cast<float>(code - kBuiltinFontFirstCode) / kStripCells;
            const float s1 = static_cast<float>(code - kBuiltinFontFirstCode + 1) / kStripCells;
            glTexCoord2f(s0, 0);
            glVertex2i(x, y);
            glTexCoord2f(s1, 0);
            glVertex2i(x + kBuiltinFontCellWidth, y);
            glTexCoord2f(s1, 1);
            glVertex2i(x + kBuiltinFontCellWidth, y + kBuiltinFontCellHeight);
            glTexCoord2f(s0, 1);
            glVertex2i(x, y + kBuiltinFontCellHeight);
        }
        x += kBuiltinFontCellWidth;
    }
    glEnd();
    PopGL2DState();
}

}  // namespace vexel
