#pragma once

// Stand-in for the graphics driver layer while it is being written on its own branch: only the
// declarations the drawing layer needs. Replaced by the real header when that branch merges.

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/object.h"

namespace vexel {

class TGraphicsDriver;

class TGraphicsMode : public Object {
  public:
    int32_t width = 0, height = 0, depth = 0, hertz = 0;
};

class TGraphics : public Object {
  public:
    virtual int _pad() { return 0; }
    virtual std::shared_ptr<TGraphicsDriver> Driver() = 0;
    virtual void GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                             int32_t& flags) = 0;
    virtual void Close() = 0;
};

using GraphicsPtr = std::shared_ptr<TGraphics>;

class TGraphicsDriver : public Object {
  public:
    virtual std::vector<std::shared_ptr<TGraphicsMode>> GraphicsModes() { return {}; }
    virtual GraphicsPtr AttachGraphics(intptr_t, int32_t) { return nullptr; }
    virtual GraphicsPtr CreateGraphics(int32_t, int32_t, int32_t, int32_t, int32_t) {
        return nullptr;
    }
    virtual void SetGraphics(const GraphicsPtr&) {}
    virtual void Flip(int32_t) {}
};

void SelectGraphicsDriver(std::shared_ptr<TGraphicsDriver> driver, int32_t flags);
void SelectGraphics(const GraphicsPtr& graphics);
int32_t CurrentGraphicsWidth();
int32_t CurrentGraphicsHeight();
void FlipGraphics(int32_t sync);
int32_t GraphicsGeneration();
void BumpGraphicsGenerationForTesting();

}  // namespace vexel
