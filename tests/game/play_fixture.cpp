#include "play_fixture.h"

#include <cstring>

#include "game/gun.h"
#include "game/recipe.h"
#include "graphics/collision.h"
#include "graphics/for_testing.h"
#include "graphics/vex2d.h"
#include "pixmap/pixmap.h"
#include "system/event.h"
#include "system/polled_input.h"
#include "system/random.h"

namespace morvelle::testing {
namespace {

// The built-in 8x16 font, which measures as usual but records its texts instead of drawing.
class TextLogFont : public vexel::TImageFont {
  public:
    explicit TextLogFont(std::shared_ptr<std::vector<DrawnText>> log) : log_(std::move(log)) {
        _glyphs = vexel::TImageFont::CreateDefault()->_glyphs;
    }
    int Draw(const String& text, float x, float y, float, float, float, float) override {
        log_->push_back({text, x, y});
        return 0;
    }

  private:
    std::shared_ptr<std::vector<DrawnText>> log_;
};

}  // namespace

vexel::ImagePtr OpaqueImage(int32_t width, int32_t height) {
    auto pixmap = vexel::NewPixmap(width, height, vexel::PIXEL_RGBA32, 4);
    pixmap->ClearPixels(-1);
    return vexel::LoadImageFrom(pixmap, -1);
}

vexel::ImagePtr TerrainImage(const std::vector<TerrainBlock>& blocks) {
    constexpr int32_t width = 1536, height = 512;
    auto pixmap = vexel::NewPixmap(width, height * 3, vexel::PIXEL_RGBA32, 4);
    pixmap->ClearPixels(0);
    for (const TerrainBlock& block : blocks) {
        for (int32_t row = 0; row < block.height; ++row) {
            uint8_t* pixels = pixmap->PixelPtr(block.x, block.frame * height + block.y + row);
            std::memset(pixels, 0xFF, static_cast<size_t>(block.width) * 4);
        }
    }
    return vexel::LoadImageStrip(pixmap, width, height, 0, 3, -1);
}

void GameFixture::SetUp() {
    GameTest::SetUp();
    vexel::SetAutoMidHandle(1);
    vexel::SetDrawFont(std::make_shared<TextLogFont>(texts));
    vexel::StartInputPolling(nullptr);
    vexel::SeedRandom(20261207);

    GameState& game = Game();
    game.Assets.TerrainImage = TerrainImage({});
    game.Assets.PointImage = OpaqueImage(1, 1);
    game.Assets.MushroomImage = OpaqueImage(MUSHROOM_W, MUSHROOM_H);
    game.Assets.CherryImage = OpaqueImage(CHERRY_W, CHERRY_H);
    game.Assets.AppleImage = OpaqueImage(APPLE_W, APPLE_H);
    game.Assets.CarrotImage = OpaqueImage(CARROT_W, CARROT_H);
    game.Assets.ChickenImage = OpaqueImage(CHICKEN_W, CHICKEN_H);

    auto gun = std::make_shared<TGun_Cherry>();
    gun->img = OpaqueImage(ICON_W, ICON_H);
    gun->MagMax = 8;
    gun->Mag = 8;
    game.GunList = {gun};
    game.CurrentGun = gun;
    CreateRecipes();
    driver_->TakeCalls();
}

void GameFixture::TearDown() {
    vexel::StopInputPolling();
    vexel::SetDrawFont(nullptr);
    vexel::SetDrawTransform(0, 1, 1);
    vexel::ClearCollisionLayers(0);
    vexel::ResetImageSettingsForTesting();
    GameTest::TearDown();
}

std::vector<DrawnText> GameFixture::TakeTexts() {
    return std::exchange(*texts, {});
}

std::vector<const vexel::TPixmap*> GameFixture::DrawnPixmaps() const {
    std::vector<const vexel::TPixmap*> drawn;
    for (const auto& draw : driver_->frame_draws) {
        drawn.push_back(draw.pixmap);
    }
    return drawn;
}

void GameFixture::Type(int32_t code) {
    vexel::TEvent::Create(vexel::EVENT_KEYCHAR, nullptr, code)->Emit();
}

void GameFixture::Tap(int32_t key) {
    vexel::TEvent::Create(vexel::EVENT_KEYDOWN, nullptr, key)->Emit();
    vexel::TEvent::Create(vexel::EVENT_KEYUP, nullptr, key)->Emit();
}

}  // namespace morvelle::testing
