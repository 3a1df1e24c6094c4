#include "game/title_screen.h"

#include "game/buttons.h"
#include "game/game_state.h"
#include "game/landscape.h"
#include "game/screen.h"
#include "game/text_and_sound.h"
#include "graphics/vex2d.h"
#include "runtime/startup.h"

namespace morvelle {

void UpdateTitleScreen() {
    GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    DrawScenery();
    vexel::DrawImageFrame(*game.Assets.TitleImage, width * 0.5f, height * 0.1f, 0);
    const float logo_width = static_cast<float>(vexel::ImageWidthOf(*game.Assets.LogoImage));
    const float logo_height = static_cast<float>(vexel::ImageHeightOf(*game.Assets.LogoImage));
    vexel::DrawImageFrame(*game.Assets.LogoImage, logo_width * 0.75f, height - logo_height * 0.5f,
                          0);

    const int32_t centre_x = ToInt(width * 0.5f);
    if (DrawButton(*game.Assets.MenuButtonsImage, 0, centre_x, ToInt(height * 0.25f))) {
        GoTo(SCREEN_PLAY);
    }
    if (DrawButton(*game.Assets.MenuButtonsImage, 2, centre_x, ToInt(height * 0.45f))) {
        GoTo(SCREEN_HIGHSCORES);
    }
    if (DrawButton(*game.Assets.MenuButtonsImage, 4, centre_x, ToInt(height * 0.65f))) {
        GoTo(SCREEN_NOTICE);
    }
    if (DrawButton(*game.Assets.MenuButtonsImage, 6, centre_x, ToInt(height * 0.85f))) {
        vexel::EndProgram();
    }

    vexel::TImage& toggle = *game.Assets.SoundButtonImage;
    const int32_t toggle_width = vexel::ImageWidthOf(toggle);
    const int32_t toggle_height = vexel::ImageHeightOf(toggle);
    // The click plays before the switch flips: turning sound off is heard, turning it on is
    // silent.
    if (DrawButton(toggle, 0, game.ScreenWidth - toggle_width, game.ScreenHeight - toggle_height)) {
        game.SoundOn ^= 1;
    }
    if (game.SoundOn == 0) {
        vexel::DrawImageFrame(*game.Assets.SoundMutedImage,
                              static_cast<float>(game.ScreenWidth - toggle_width),
                              static_cast<float>(game.ScreenHeight - toggle_height), 0);
    }
    DrawTextAligned(SoundLabel(game.SoundOn), static_cast<float>(game.ScreenWidth - toggle_width),
                    height - static_cast<float>(toggle_height) * 0.25f, 0.5f, 0.5f);

    DrawCursor();
}

}  // namespace morvelle
