#include "game/targets.h"

#include <array>

#include "game/landscape.h"
#include "graphics/vex2d.h"
#include "system/random.h"

namespace morvelle {
namespace {

using CreateFunction = EnemyPtr (*)(float, float, int32_t);

// One target of the landscape: its layer, its kind and its centre as fractions of the
// screen size.
struct Placement {
    int32_t layer;
    CreateFunction create;
    float x, y;
};

// The landscape of every game, in creation (and so drawing) order.
constexpr std::array<Placement, 39> LANDSCAPE = {{
    {0, TMushroom::Create, 0.60f, 0.65f}, {0, TMushroom::Create, 0.64f, 0.68f},
    {0, TMushroom::Create, 0.57f, 0.69f}, {0, TMushroom::Create, 0.62f, 0.73f},
    {0, TCherry::Create, 0.25f, 0.50f},   {0, TCherry::Create, 0.32f, 0.35f},
    {0, TCherry::Create, 0.28f, 0.44f},   {0, TCherry::Create, 0.26f, 0.37f},
    {1, TCherry::Create, -0.10f, 0.48f},  {1, TCherry::Create, -0.05f, 0.46f},
    {1, TCherry::Create, 0.01f, 0.38f},   {1, TCherry::Create, -0.04f, 0.35f},
    {1, TCherry::Create, -0.09f, 0.36f},  {1, TCarrot::Create, 0.45f, 0.50f},
    {1, TCarrot::Create, 0.30f, 0.80f},   {1, TCarrot::Create, 0.40f, 0.72f},
    {1, TCarrot::Create, 0.35f, 0.55f},   {1, TCarrot::Create, 0.31f, 0.65f},
    {1, TCarrot::Create, 0.39f, 0.83f},   {1, TCarrot::Create, 0.28f, 0.84f},
    {1, TApple::Create, 1.00f, 0.40f},    {1, TApple::Create, 1.10f, 0.30f},
    {1, TApple::Create, 1.08f, 0.44f},    {1, TApple::Create, 1.05f, 0.35f},
    {1, TApple::Create, 1.02f, 0.31f},    {2, TApple::Create, 0.72f, 0.60f},
    {2, TApple::Create, 0.79f, 0.48f},    {2, TApple::Create, 0.74f, 0.35f},
    {2, TApple::Create, 0.85f, 0.55f},    {2, TMushroom::Create, 0.07f, 0.92f},
    {2, TMushroom::Create, 0.05f, 0.95f}, {2, TMushroom::Create, 0.04f, 0.90f},
    {2, TCarrot::Create, 0.90f, 0.80f},   {2, TCarrot::Create, 0.95f, 0.87f},
    {2, TCarrot::Create, 0.98f, 0.89f},   {2, TCarrot::Create, 1.05f, 0.78f},
    {2, TCarrot::Create, 0.96f, 0.77f},   {0, TChicken::Create, -0.10f, 0.20f},
    {0, TChicken::Create, 1.10f, 0.25f},
}};

float ScrolledX(const TEnemy& target, int32_t layer) {
    return target.x + LayerShift(layer);
}

// A new chicken at one of the two columns just off the screen, in a random layer and height;
// the three draws are side, layer, height, in this order.
void SpawnChicken() {
    const GameState& game = Game();
    const std::array<int32_t, 2> columns = {ToInt(static_cast<float>(-game.ScreenWidth) * 0.2f),
                                            ToInt(static_cast<float>(game.ScreenWidth) * 1.2f)};
    const int32_t side = vexel::RandomInt(0, 1);
    const int32_t layer = vexel::RandomInt(0, 2);
    const int32_t y = vexel::RandomInt(64, ToInt(static_cast<float>(game.ScreenHeight) * 0.8f));
    TChicken::Create(static_cast<float>(columns[static_cast<size_t>(side)]), static_cast<float>(y),
                     layer);
}

}  // namespace

void TEnemy::Draw(int32_t layer) {
    const float scale = Game().LayerScale[layer];
    vexel::SetDrawScale(scale, scale);
    vexel::DrawImageFrame(*img, ScrolledX(*this, layer), y, 0);
}

Footprint TEnemy::FootprintIn(int32_t layer) const {
    const float scale = Game().LayerScale[layer];
    const float width = static_cast<float>(img->width) * scale;
    const float height = static_cast<float>(img->height) * scale;
    return {ToInt(ScrolledX(*this, layer) - width / 2), ToInt(y - height / 2), ToInt(width),
            ToInt(height)};
}

void TEnemy::HideForSeconds(int32_t lo, int32_t hi) {
    active = 0;
    const int32_t delay = vexel::RandomInt(lo, hi) * 1000;
    respawntime = ToInt(Game().FrameTime + static_cast<float>(delay));
}

EnemyPtr TEnemy::Place(const EnemyPtr& target, const StaticTargetKind& kind, float x, float y,
                       int32_t layer) {
    target->x = x;
    target->y = y;
    target->img = Game().Assets.*kind.picture;
    target->p = kind.points;
    Game().TargetLayers[layer].AddLast(target);
    target->active = 1;
    return target;
}

void TEnemy::DrawAll(int32_t layer) {
    GameState& game = Game();
    auto& targets = game.TargetLayers[layer];
    const float width = static_cast<float>(game.ScreenWidth);
    for (auto it = targets.begin(); it != targets.end(); ++it) {
        // Held here: the target may leave the list below while this pass still uses it.
        const EnemyPtr target = *it;
        if (target->active == 0) {
            // Back from the next frame on; this pass neither moves nor draws it.
            if (static_cast<float>(target->respawntime) < game.FrameTime) target->active = 1;
        } else {
            target->Move();
            target->Draw(layer);
        }
        // Only a walking chicken leaves the landscape: a static target scrolled past a bound
        // (a near carrot at 1.05 widths with the scroll at its limit) stays for the game.
        const float screen_x = ScrolledX(*target, layer);
        if (target->IsChicken() && (screen_x < -width * 0.3f || screen_x > width * 1.3f)) {
            target->GetHit();
            targets.Remove(target);
        }
        if (game.ChickenCount < game.ChickenLimit) SpawnChicken();
    }
    vexel::SetDrawScale(1, 1);
}

void TEnemy::Generate() {
    const GameState& game = Game();
    const float width = static_cast<float>(game.ScreenWidth);
    const float height = static_cast<float>(game.ScreenHeight);
    for (const Placement& place : LANDSCAPE) {
        place.create(width * place.x, height * place.y, place.layer);
    }
}

void TEnemy::Clear() {
    for (auto& targets : Game().TargetLayers) {
        targets.Clear();
    }
}

String TChicken::ToString() const {
    return u"Huhn";
}

void TChicken::Draw(int32_t layer) {
    // A negative horizontal scale mirrors the picture, so the chicken faces where it walks.
    const float scale = Game().LayerScale[layer];
    vexel::SetDrawScale(static_cast<float>(r) * scale, scale);
    vexel::DrawImageFrame(*img, ScrolledX(*this, layer), y, 0);
}

void TChicken::Move() {
    x += static_cast<float>(r) * s;
}

void TChicken::GetHit() {
    --Game().ChickenCount;
}

EnemyPtr TChicken::Create(float x, float y, int32_t layer) {
    GameState& game = Game();
    auto chicken = std::make_shared<TChicken>();
    chicken->x = x;
    chicken->y = y;
    chicken->img = game.Assets.ChickenImage;
    chicken->r = x >= static_cast<float>(game.ScreenWidth) * 0.5f ? -1 : 1;
    chicken->s = 1.5f * static_cast<float>(layer + 1);
    chicken->p = 20;
    game.TargetLayers[layer].AddLast(chicken);
    chicken->active = -1;
    ++game.ChickenCount;
    return chicken;
}

}  // namespace morvelle
