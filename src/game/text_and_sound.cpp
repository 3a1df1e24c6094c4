#include "game/text_and_sound.h"

#include "game/game_state.h"
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

}  // namespace morvelle
