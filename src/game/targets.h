#pragma once

// The food targets: static mushrooms, cherries, apples and carrots in the landscape and
// chickens walking across it, kept per depth layer in the game state's TargetLayers. Main
// thread only.

#include <cstdint>
#include <memory>

#include "game/game_state.h"
#include "graphics/image.h"
#include "runtime/object.h"

namespace morvelle {

// The screen rectangle a target covers in its layer; a shot hits strictly inside it.
struct Footprint {
    int32_t left = 0, top = 0, width = 0, height = 0;
};

struct StaticTargetKind;

class TEnemy : public vexel::Object {
  public:
    // Centre at scroll offset 0, in screen pixels.
    float x = 0, y = 0;
    // Points before the layer factor.
    int32_t p = 0;
    vexel::ImagePtr img;
    // 0 = shot and waiting to come back, 1 = present (static kinds), -1 = present chicken.
    int32_t active = 0;
    // FrameTime after which an inactive target comes back.
    int32_t respawntime = 0;

    // True for a chicken: it walks, leaves the game when shot or off the screen, and counts
    // toward ChickenLimit.
    virtual bool IsChicken() const { return false; }
    // Draws the picture at the layer's scale and scroll.
    virtual void Draw(int32_t layer);
    virtual void Move() = 0;
    // A static target hides until its respawn time; a chicken leaves the chicken count (its
    // caller takes it off the list).
    virtual void GetHit() = 0;

    // Where the target lies in `layer` at the current scroll offset.
    Footprint FootprintIn(int32_t layer) const;

    // Brings back, moves and draws the targets of one layer, drops the chickens that left
    // the screen (static targets stay whatever the scroll) and spawns chickens while fewer
    // than ChickenLimit are alive. Ends with the draw
    // scale at 1.
    static void DrawAll(int32_t layer);
    // Places the 39 targets of a new game.
    static void Generate();
    // Empties every layer; the chicken count is left as it is.
    static void Clear();

  protected:
    // Hides the target until a whole number of seconds, drawn from lo..hi, has passed.
    void HideForSeconds(int32_t lo, int32_t hi);
    // Gives a new static target its place, picture and points, appends it to `layer` and
    // makes it present.
    static EnemyPtr Place(const EnemyPtr& target, const StaticTargetKind& kind, float x, float y,
                          int32_t layer);
};

// What sets one static kind apart: its name (the ingredient it gives), picture and points,
// and the range of whole seconds it stays hidden after a hit.
struct StaticTargetKind {
    const char16_t* name;
    vexel::ImagePtr GameAssets::*picture;
    int32_t points;
    int32_t hidden_seconds_min, hidden_seconds_max;
};

enum StaticKind { KIND_MUSHROOM, KIND_CHERRY, KIND_APPLE, KIND_CARROT };

// The four static kinds, indexed by StaticKind.
inline constexpr StaticTargetKind STATIC_TARGET_KINDS[] = {
    {u"Pilz", &GameAssets::MushroomImage, 2, 3, 8},
    {u"Kirsche", &GameAssets::CherryImage, 5, 6, 12},
    {u"Apfel", &GameAssets::AppleImage, 20, 20, 30},
    {u"Karotte", &GameAssets::CarrotImage, 20, 20, 30},
};

// A target that stands still in the landscape: shot, it hides and later grows back.
template <StaticKind kind>
class TStaticTarget final : public TEnemy {
  public:
    String ToString() const override { return STATIC_TARGET_KINDS[kind].name; }
    void Move() override {}
    void GetHit() override {
        HideForSeconds(STATIC_TARGET_KINDS[kind].hidden_seconds_min,
                       STATIC_TARGET_KINDS[kind].hidden_seconds_max);
    }
    // A present target of this kind, appended to `layer`.
    static EnemyPtr Create(float x, float y, int32_t layer) {
        return Place(std::make_shared<TStaticTarget>(), STATIC_TARGET_KINDS[kind], x, y, layer);
    }
};

using TMushroom = TStaticTarget<KIND_MUSHROOM>;
using TCherry = TStaticTarget<KIND_CHERRY>;
using TApple = TStaticTarget<KIND_APPLE>;
using TCarrot = TStaticTarget<KIND_CARROT>;

class TChicken : public TEnemy {
  public:
    // Walking direction (+1 right, -1 left), which also mirrors the picture.
    int32_t r = 0;
    // Pixels per frame.
    float s = 0;

    String ToString() const override;
    bool IsChicken() const override { return true; }
    void Draw(int32_t layer) override;
    void Move() override;
    void GetHit() override;
    // A chicken walking toward the middle of the screen, faster in nearer layers.
    static EnemyPtr Create(float x, float y, int32_t layer);
};

}  // namespace morvelle
