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
};

class TMushroom : public TEnemy {
  public:
    String ToString() const override;
    void Move() override {}
    void GetHit() override;
    static EnemyPtr Create(float x, float y, int32_t layer);
};

class TCherry : public TEnemy {
  public:
    String ToString() const override;
    void Move() override {}
    void GetHit() override;
    static EnemyPtr Create(float x, float y, int32_t layer);
};

class TApple : public TEnemy {
  public:
    String ToString() const override;
    void Move() override {}
    void GetHit() override;
    static EnemyPtr Create(float x, float y, int32_t layer);
};

class TCarrot : public TEnemy {
  public:
    String ToString() const override;
    void Move() override {}
    void GetHit() override;
    static EnemyPtr Create(float x, float y, int32_t layer);
};

class TChicken : public TEnemy {
  public:
    // Walking direction (+1 right, -1 left), which also mirrors the picture.
    int32_t r = 0;
    // Pixels per frame.
    float s = 0;

    String ToString() const override;
    void Draw(int32_t layer) override;
    void Move() override;
    void GetHit() override;
    // A chicken walking toward the middle of the screen, faster in nearer layers.
    static EnemyPtr Create(float x, float y, int32_t layer);
};

}  // namespace morvelle
