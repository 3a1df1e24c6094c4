#include "game/landscape.h"

#include "graphics/vex2d.h"

namespace morvelle {

float LayerShift(int32_t layer) {
    const GameState& game = Game();
    return static_cast<float>(game.ScrollOffset) * game.LayerScale[layer];
}

float TerrainX(int32_t layer) {
    return static_cast<float>(Game().ScreenWidth) * 0.5f + LayerShift(layer);
}

void DrawScenery(void (*after_layer)(int32_t layer)) {
    GameState& game = Game();
    const float height = static_cast<float>(game.ScreenHeight);
    vexel::TileImageFrame(*game.Assets.SkyImage, 0, height * 0.5f, 0);
    for (int32_t layer = 0; layer < LAYER_COUNT; ++layer) {
        vexel::DrawImageFrame(*game.Assets.TerrainImage, TerrainX(layer), height * 0.5f, layer);
        if (after_layer) after_layer(layer);
    }
}

bool PointInRect(int32_t px, int32_t py, int32_t x, int32_t y, int32_t w, int32_t h) {
    return x < px && px < x + w && y < py && py < y + h;
}

}  // namespace morvelle
