#pragma once

// What the current GL context has of the state the 2-D driver sets: the bound texture and
// texturing, the blend function, alpha test and blending, the colour, the scissor test and
// box, and which textures are switched to nearest filtering. Each Send call issues GL calls
// only where GL's state differs from what is asked. Main thread only, with the context
// current.

#include <cstdint>
#include <vector>

namespace vexel {

// Whether `blend` blends (alpha, light, shade) rather than writes (solid, mask).
bool ModeBlends(int32_t blend);

class GLStateCache {
  public:
    // Forgets GL's state after a context is selected, and turns texturing off. Scissor boxes
    // are given in view pixels; the view's bottom-left corner lies at (view_left,
    // view_bottom) of the surface.
    void Reset(int32_t view_left, int32_t view_bottom);

    // Binds texture `name` and turns texturing on.
    void BindTexture(uint32_t name);
    // Turns texturing off.
    void DisableTexturing();
    uint32_t BoundTexture() const { return bound_texture_; }
    bool Texturing() const { return texturing_; }

    // The blend function and alpha test of `blend`, and blending on as the mode has it.
    void SendBlendMode(int32_t blend);
    // Blending on or off, whatever the mode.
    void UseBlending(bool on);

    // The colour, unless GL is known to have it.
    void SendColor(const uint8_t color[4]);
    // The colour, whatever GL has.
    void SetColor(const uint8_t color[4]);
    // The colour, when GL's is known and differs from it.
    void RestoreColor(const uint8_t color[4]);

    // The scissor test on (with the box) or off.
    void SendScissor(bool on, const int32_t box[4]);
    // The scissor test on (with the box) or off, whatever GL has.
    void SetScissor(bool on, const int32_t box[4]);
    // The cached box again, after GL's box was changed without the cache.
    void ResendScissorBox();
    // glScissor of a box in view pixels (y from the view's bottom).
    void ScissorInView(const int32_t box[4]) const;

    // The bound texture, `name`, filtered nearest when `nearest`, else as it was made (a
    // texture made filtered goes back to linear filtering).
    void FilterNearest(uint32_t name, bool nearest);
    // Every texture switched to nearest filtering goes back to linear filtering.
    void RestoreFilters();

  private:
    void SetBlending(bool on);

    uint32_t bound_texture_ = 0;
    bool texturing_ = false;
    // The blend mode whose blend function and alpha test GL has, and whether GL_BLEND is on.
    int32_t blend_ = 0;
    bool blending_ = false;
    bool color_known_ = false;
    uint8_t color_[4] = {0, 0, 0, 0};
    bool scissor_ = false;
    int32_t scissor_box_[4] = {0, 0, 0, 0};
    int32_t view_left_ = 0, view_bottom_ = 0;
    // Linearly filtered textures switched to nearest filtering.
    std::vector<uint32_t> nearest_textures_;
};

}  // namespace vexel
