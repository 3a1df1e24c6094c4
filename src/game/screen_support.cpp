#include "game/screen_support.h"

#include "graphics/vex2d.h"

namespace morvelle {

void DrawTextAligned(const String& text, float x, float y, float align_x, float align_y) {
    float scale_x = 1, scale_y = 1;
    vexel::GetDrawScale(scale_x, scale_y);
    const float left = x - static_cast<float>(vexel::TextWidthOf(text)) * scale_x * align_x;
    const float top = y - static_cast<float>(vexel::TextHeightOf(text)) * scale_y * align_y;
    vexel::DrawString(text, static_cast<float>(ToInt(left)), static_cast<float>(ToInt(top)));
}

void PlayEffect(const vexel::SoundPtr& sound) {
    if (Game().SoundOn == 0) return;
    // Cued paused and started only once its volume is set, so that not even the first
    // mixed block plays at full volume.
    const vexel::ChannelPtr channel = vexel::PrepareSound(sound, nullptr);
    if (!channel) return;
    channel->SetVolume(0.75f);
    channel->SetPaused(0);
}

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

void DrawCursor() {
    const GameState& game = Game();
    vexel::DrawImageFrame(*game.Assets.CursorImage, static_cast<float>(game.PointerX),
                          static_cast<float>(game.PointerY), 0);
}

}  // namespace morvelle
