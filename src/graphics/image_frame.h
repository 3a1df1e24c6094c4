#pragma once

#include "runtime/cxx_standard.h"

#include "runtime/object.h"

namespace vexel {

// A driver's drawable form of one image frame (a texture for the OpenGL driver).
class TImageFrame : public Object {
  public:
    // Draws the source rectangle (sx, sy, sw, sh), in image pixels, onto the local rectangle
    // (x0, y0)-(x1, y1), which the driver maps through the current drawing matrix and then
    // translates by (tx, ty).
    virtual void Draw(float x0, float y0, float x1, float y1, float tx, float ty, float sx,
                      float sy, float sw, float sh) = 0;
};

}  // namespace vexel
