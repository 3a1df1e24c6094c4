// Stand-in for the graphics driver layer; see graphics.h.
#include "graphics/graphics.h"

namespace vexel {

namespace {
std::shared_ptr<TGraphicsDriver> driver;
GraphicsPtr current;
int32_t width = 0, height = 0;
int32_t generation = 1;
}  // namespace

void SelectGraphicsDriver(std::shared_ptr<TGraphicsDriver> d, int32_t) {
    if (++generation == 0) generation = 1;
    driver = std::move(d);
    current = nullptr;
}

void SelectGraphics(const GraphicsPtr& g) {
    if (!g) {
        if (driver && current) driver->SetGraphics(nullptr);
        current = nullptr;
        width = height = 0;
        return;
    }
    driver = g->Driver();
    int32_t depth, hertz, flags;
    g->GetSettings(width, height, depth, hertz, flags);
    driver->SetGraphics(g);
    current = g;
}

int32_t CurrentGraphicsWidth() {
    return width;
}
int32_t CurrentGraphicsHeight() {
    return height;
}
void FlipGraphics(int32_t sync) {
    if (driver) driver->Flip(sync);
}
int32_t GraphicsGeneration() {
    return generation;
}
void BumpGraphicsGenerationForTesting() {
    if (++generation == 0) generation = 1;
}

int32_t MouseXPos() {
    return 0;
}
int32_t MouseYPos() {
    return 0;
}
int32_t MouseXDelta() {
    return 0;
}
int32_t MouseYDelta() {
    return 0;
}
void MoveMousePointer(int32_t, int32_t) {}

}  // namespace vexel
