#pragma once

// The game state of GameTest made ready for play: opaque target pictures of known sizes, a
// terrain with opaque blocks where a test wants them, the gun and the recipes, a font that
// records what it draws, and input fed as events. GameTest's sounds log what they play.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/game_state.h"
#include "game_test_support.h"
#include "graphics/image.h"
#include "graphics/image_font.h"

namespace morvelle::testing {

// The frame sizes of the pictures the fixture makes.
inline constexpr int32_t MUSHROOM_W = 40, MUSHROOM_H = 36;
inline constexpr int32_t CHERRY_W = 24, CHERRY_H = 24;
inline constexpr int32_t APPLE_W = 48, APPLE_H = 48;
inline constexpr int32_t CARROT_W = 32, CARROT_H = 64;
inline constexpr int32_t CHICKEN_W = 64, CHICKEN_H = 48;
inline constexpr int32_t ICON_W = 30, ICON_H = 34;

// A rectangle of terrain pixels, in the picture's own coordinates.
struct TerrainBlock {
    int32_t frame, x, y, width, height;
};

// An opaque one-frame picture of the given size, handle at its centre.
vexel::ImagePtr OpaqueImage(int32_t width, int32_t height);
// The three 1536x512 terrain layers, transparent except for the given opaque blocks.
vexel::ImagePtr TerrainImage(const std::vector<TerrainBlock>& blocks);

// Everything drawn as text: the string and the pen position.
struct DrawnText {
    std::u16string text;
    float x, y;
    bool operator==(const DrawnText&) const = default;
};

class GameFixture : public GameTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The texts drawn since the last call.
    std::vector<DrawnText> TakeTexts();
    // Pixmap of the frames drawn since the last TakeCalls, in order.
    std::vector<const vexel::TPixmap*> DrawnPixmaps() const;
    // A typed character, as the X event pump delivers it.
    static void Type(int32_t code);
    // A key pressed and released.
    static void Tap(int32_t key);

    std::shared_ptr<std::vector<DrawnText>> texts = std::make_shared<std::vector<DrawnText>>();
};

}  // namespace morvelle::testing
