#include "graphics/gl/internal/gl_state_cache.h"

#include <GL/gl.h>

#include <algorithm>

#include "graphics/gl/internal/gl_check.h"
#include "graphics/vex2d.h"

namespace vexel {
namespace {

void SetFilter(GLint filter) {
    VEXEL_GL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter));
    VEXEL_GL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter));
}

}  // namespace

bool ModeBlends(int32_t blend) {
    return blend == BlendAlpha || blend == BlendLight || blend == BlendShade;
}

void GLStateCache::Reset(int32_t view_left, int32_t view_bottom) {
    blend_ = 0;
    blending_ = false;
    color_known_ = false;
    scissor_ = false;
    bound_texture_ = 0;
    texturing_ = false;
    view_left_ = view_left;
    view_bottom_ = view_bottom;
    VEXEL_GL(glDisable(GL_TEXTURE_2D));
}

void GLStateCache::BindTexture(uint32_t name) {
    if (bound_texture_ != name) {
        VEXEL_GL(glBindTexture(GL_TEXTURE_2D, name));
        bound_texture_ = name;
    }
    if (!texturing_) {
        VEXEL_GL(glEnable(GL_TEXTURE_2D));
        texturing_ = true;
    }
}

void GLStateCache::DisableTexturing() {
    if (texturing_) {
        VEXEL_GL(glDisable(GL_TEXTURE_2D));
        texturing_ = false;
    }
}

void GLStateCache::SetBlending(bool on) {
    if (on) {
        VEXEL_GL(glEnable(GL_BLEND));
    } else {
        VEXEL_GL(glDisable(GL_BLEND));
    }
    blending_ = on;
}

void GLStateCache::UseBlending(bool on) {
    if (blending_ != on) SetBlending(on);
}

void GLStateCache::SendBlendMode(int32_t blend) {
    if (blend == blend_) return UseBlending(ModeBlends(blend));
    SetBlending(ModeBlends(blend));
    blend_ = blend;
    switch (blend) {
        case BlendMask:
            VEXEL_GL(glEnable(GL_ALPHA_TEST));
            VEXEL_GL(glAlphaFunc(GL_GEQUAL, 0.5f));
            break;
        case BlendAlpha:
            VEXEL_GL(glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA));
            VEXEL_GL(glDisable(GL_ALPHA_TEST));
            break;
        case BlendLight:
            VEXEL_GL(glBlendFunc(GL_SRC_ALPHA, GL_ONE));
            VEXEL_GL(glDisable(GL_ALPHA_TEST));
            break;
        case BlendShade:
            VEXEL_GL(glBlendFunc(GL_DST_COLOR, GL_ZERO));
            VEXEL_GL(glDisable(GL_ALPHA_TEST));
            break;
        default:  // BlendSolid and anything unknown
            VEXEL_GL(glDisable(GL_ALPHA_TEST));
            break;
    }
}

void GLStateCache::SendColor(const uint8_t color[4]) {
    if (!color_known_ || !std::equal(color, color + 4, color_)) SetColor(color);
}

void GLStateCache::SetColor(const uint8_t color[4]) {
    VEXEL_GL(glColor4ubv(color));
    std::copy_n(color, 4, color_);
    color_known_ = true;
}

void GLStateCache::RestoreColor(const uint8_t color[4]) {
    if (color_known_ && !std::equal(color, color + 4, color_)) SetColor(color);
}

void GLStateCache::ScissorInView(const int32_t box[4]) const {
    VEXEL_GL(glScissor(box[0] + view_left_, box[1] + view_bottom_, box[2], box[3]));
}

void GLStateCache::SendScissor(bool on, const int32_t box[4]) {
    if (on && (!scissor_ || !std::equal(box, box + 4, scissor_box_))) {
        ScissorInView(box);
        std::copy_n(box, 4, scissor_box_);
    }
    if (on != scissor_) {
        if (on) {
            VEXEL_GL(glEnable(GL_SCISSOR_TEST));
        } else {
            VEXEL_GL(glDisable(GL_SCISSOR_TEST));
        }
        scissor_ = on;
    }
}

void GLStateCache::SetScissor(bool on, const int32_t box[4]) {
    if (on) {
        ScissorInView(box);
        std::copy_n(box, 4, scissor_box_);
        VEXEL_GL(glEnable(GL_SCISSOR_TEST));
    } else {
        VEXEL_GL(glDisable(GL_SCISSOR_TEST));
    }
    scissor_ = on;
}

void GLStateCache::ResendScissorBox() {
    ScissorInView(scissor_box_);
}

void GLStateCache::FilterNearest(uint32_t name, bool nearest) {
    const auto found = std::find(nearest_textures_.begin(), nearest_textures_.end(), name);
    if ((found != nearest_textures_.end()) == nearest) return;
    SetFilter(nearest ? GL_NEAREST : GL_LINEAR);
    if (nearest) {
        nearest_textures_.push_back(name);
    } else {
        nearest_textures_.erase(found);
    }
}

void GLStateCache::RestoreFilters() {
    for (const uint32_t name : nearest_textures_) {
        BindTexture(name);
        SetFilter(GL_LINEAR);
    }
    nearest_textures_.clear();
}

}  // namespace vexel
