#include "game/gun.h"

#include "game/landscape.h"
#include "game/recipe.h"
#include "game/targets.h"
#include "game/text_and_sound.h"
#include "graphics/collision.h"
#include "graphics/vex2d.h"

namespace morvelle {
namespace {

// Scores, hits and cooks every present target of `layer` whose footprint holds (x, y), in
// list order.
void ShootLayer(int32_t layer, int32_t x, int32_t y) {
    GameState& game = Game();
    const float reward = 1 / game.LayerScale[layer];
    auto& targets = game.TargetLayers[layer];
    for (auto it = targets.begin(); it != targets.end(); ++it) {
        const EnemyPtr target = *it;
        if (target->active == 0) continue;
        const Footprint box = target->FootprintIn(layer);
        if (!PointInRect(x, y, box.left, box.top, box.width, box.height)) continue;
        AddWeightedScore(reward, target->p);
        // A shot chicken leaves the game; a static target hides and comes back later.
        target->GetHit();
        if (target->IsChicken()) targets.Remove(target);
        game.CurrentRecipe->Get(target->ToString());
    }
}

// True when the terrain of `layer` is opaque at (x, y).
bool TerrainCovers(int32_t layer, int32_t x, int32_t y) {
    GameState& game = Game();
    const float terrain_x = TerrainX(layer);
    const float terrain_y = static_cast<float>(game.ScreenHeight) * 0.5f;
    return vexel::ImagesOverlap(*game.Assets.TerrainImage, static_cast<float>(ToInt(terrain_x)),
                                static_cast<float>(ToInt(terrain_y)), layer,
                                *game.Assets.PointImage, static_cast<float>(x),
                                static_cast<float>(y), 0) != 0;
}

}  // namespace

void TGun::Fire(int32_t x, int32_t y) {
    for (int32_t layer = LAYER_COUNT - 1; layer >= 0; --layer) {
        ShootLayer(layer, x, y);
        if (layer > 0 && TerrainCovers(layer, x, y)) return;
    }
}

void TGun::Reload() {
    if (Mag >= MagMax) return;
    Mag = MagMax;
    PlayEffect(Game().Assets.ReloadSound);
}

void TGun_Cherry::Draw() {
    const GameState& game = Game();
    const int32_t icon_width = vexel::ImageWidthOf(*img);
    const int32_t icon_y = game.ScreenHeight - vexel::ImageHeightOf(*img);
    const auto draw_icons = [&](int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            const int32_t icon_x = game.ScreenWidth - icon_width * (i + 1);
            vexel::DrawImageFrame(*img, static_cast<float>(icon_x), static_cast<float>(icon_y), 0);
        }
    };
    // The whole magazine dimmed, the shots left over it in full colour.
    vexel::SetDrawColor(128, 128, 125);
    draw_icons(MagMax);
    vexel::SetDrawColor(255, 255, 255);
    draw_icons(Mag);
}

void TGun_Cherry::Fire(int32_t x, int32_t y) {
    if (Mag <= 0) {
        PlayEffect(Game().Assets.EmptySound);
        return;
    }
    TGun::Fire(x, y);
    --Mag;
    PlayEffect(Game().Assets.ShotSound);
}

GunPtr TGun_Cherry::Create() {
    auto gun = std::make_shared<TGun_Cherry>();
    gun->img = vexel::LoadImageFrom(String(u"Data/gfx/Cherry.png"), -1);
    gun->MagMax = 8;
    gun->Mag = gun->MagMax;
    gun->ReloadDelay = 2500;
    return gun;
}

}  // namespace morvelle
