#include "game/buttons.h"

#include "game/landscape.h"
#include "game/screen.h"
#include "game/text_and_sound.h"
#include "graphics/vex2d.h"

namespace morvelle {

bool MouseInRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    const GameState& game = Game();
    return PointInRect(game.PointerX, game.PointerY, x, y, w, h);
}

bool DrawButton(vexel::TImage& image, int32_t frame, int32_t x, int32_t y) {
    const int32_t width = vexel::ImageWidthOf(image);
    const int32_t height = vexel::ImageHeightOf(image);
    if (!MouseInRect(x - width / 2, y - height / 2, width, height)) {
        vexel::DrawImageFrame(image, static_cast<float>(x), static_cast<float>(y), frame);
        return false;
    }
    vexel::DrawImageFrame(image, static_cast<float>(x), static_cast<float>(y), frame + 1);
    if (Game().LeftClicks == 0) return false;
    PlayEffect(Game().Assets.ClickSound);
    return true;
}

void DrawBackButton() {
    GameState& game = Game();
    if (DrawButton(*game.Assets.MenuButtonsImage, 8,
                   ToInt(static_cast<float>(game.ScreenWidth) * 0.5f),
                   ToInt(static_cast<float>(game.ScreenHeight) * 0.85f))) {
        GoTo(SCREEN_TITLE);
    }
}

String SoundLabel(int32_t flag) {
    return flag != 0 ? u"An" : u"Aus";
}

void DrawCursor() {
    const GameState& game = Game();
    vexel::DrawImageFrame(*game.Assets.CursorImage, static_cast<float>(game.PointerX),
                          static_cast<float>(game.PointerY), 0);
}

}  // namespace morvelle
