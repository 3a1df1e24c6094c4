#include "graphics/gl/gl_texture.h"

#include <GL/gl.h>

#include "graphics/gl/gl_helpers.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/gl/internal/gl_check.h"
#include "graphics/gl/internal/texture_upload.h"
#include "graphics/graphics.h"

namespace vexel {

PixmapPtr AsRGBA(const PixmapPtr& pixmap) {
    return pixmap->format == PIXEL_RGBA32 ? pixmap : ReformatPixmap(*pixmap, PIXEL_RGBA32);
}

void AllocateTextureLevels(int32_t width, int32_t height, bool mipmap) {
    for (GLint level = 0, w = width, h = height;; ++level) {
        VEXEL_GL(glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                              nullptr));
        if (!mipmap || (w == 1 && h == 1)) break;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
}

void UploadTextureLevels(const TPixmap& pixmap, bool mipmap) {
    PixmapPtr level_pixmap;
    const TPixmap* current = &pixmap;
    for (GLint level = 0;; ++level) {
        VEXEL_GL(glPixelStorei(GL_UNPACK_ROW_LENGTH, current->pitch / 4));
        VEXEL_GL(glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, current->width, current->height,
                                 GL_RGBA, GL_UNSIGNED_BYTE, current->pixels));
        if (!mipmap || (current->width == 1 && current->height == 1)) break;
        level_pixmap = ScalePixmap(*current, current->width > 1 ? current->width / 2 : 1,
                                   current->height > 1 ? current->height / 2 : 1);
        if (!level_pixmap) break;
        current = level_pixmap.get();
    }
    VEXEL_GL(glPixelStorei(GL_UNPACK_ROW_LENGTH, 0));
}

uint32_t TextureFromPixmap(const PixmapPtr& pixmap, int32_t mipmap) {
    SubmitGLVex2DDrawing();  // the binding changes
    PixmapPtr rgba = AsRGBA(pixmap);
    int32_t width = rgba->width;
    int32_t height = rgba->height;
    FitGLTextureSize(width, height);
    if (width != rgba->width || height != rgba->height) {
        rgba = ScalePixmap(*rgba, width, height);
    }
    GLint previous_binding = 0;
    GLint previous_row_length = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous_binding);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &previous_row_length);
    GLuint name = 0;
    VEXEL_GL(glGenTextures(1, &name));
    VEXEL_GL(glBindTexture(GL_TEXTURE_2D, name));
    // Without levels the default minification filter would leave the texture incomplete.
    VEXEL_GL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                             mipmap ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR));
    AllocateTextureLevels(width, height, mipmap != 0);
    UploadTextureLevels(*rgba, mipmap != 0);
    VEXEL_GL(glPixelStorei(GL_UNPACK_ROW_LENGTH, previous_row_length));
    VEXEL_GL(glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous_binding)));
    return name;
}

void DrawGLPixmap(const PixmapPtr& pixmap, int32_t x, int32_t y) {
    SubmitGLVex2DDrawing();
    const PixmapPtr rgba = AsRGBA(pixmap);
    PushGL2DState();
    // On a scaled window each logical pixel covers `scale` window pixels.
    const float scale = CurrentGraphicsView().scale;
    if (scale != 1) glPixelZoom(scale, scale);
    glRasterPos2i(0, 0);
    glBitmap(0, 0, 0, 0, static_cast<GLfloat>(x) * scale,
             static_cast<GLfloat>(-y - rgba->height) * scale, nullptr);
    VEXEL_GL(glPixelStorei(GL_UNPACK_ROW_LENGTH, rgba->pitch / 4));
    VEXEL_GL(glDrawPixels(rgba->width, rgba->height, GL_RGBA, GL_UNSIGNED_BYTE, rgba->pixels));
    VEXEL_GL(glPixelStorei(GL_UNPACK_ROW_LENGTH, 0));
    if (scale != 1) glPixelZoom(1, 1);
    PopGL2DState();
}

}  // namespace vexel
