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
    if (const vexel::ChannelPtr channel = vexel::StartSound(sound, nullptr)) {
        channel->SetVolume(0.75f);
    }
}

void DrawScenery() {
    GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    vexel::TileImageFrame(*game.SkyImage, 0, height * 0.5f, 0);
    for (int32_t layer = 0; layer < LAYER_COUNT; ++layer) {
        const float x =
            width * 0.5f + static_cast<float>(game.ScrollOffset) * game.LayerScale[layer];
        vexel::DrawImageFrame(*game.TerrainImage, x, height * 0.5f, layer);
    }
}

}  // namespace morvelle
