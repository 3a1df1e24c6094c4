#pragma once

// The player's gun: a left click shoots at the pointer through the three target layers, a
// right click refills the magazine. Main thread only.

#include <cstdint>

#include "game/game_state.h"
#include "graphics/image.h"
#include "runtime/object.h"

namespace morvelle {

class TGun : public vexel::Object {
  public:
    int32_t Mag = 0;     // shots left
    int32_t MagMax = 0;  // magazine capacity
    // Timing fields the gun carries; firing and reloading take effect at once.
    int32_t Time = 0;
    int32_t FireDelay = 0;
    int32_t ReloadDelay = 0;
    vexel::ImagePtr img;  // the ammunition icon

    // The magazine in the bottom-right corner.
    virtual void Draw() = 0;
    // The shot at (x, y), from the near layer to the far one: every present target under the
    // point scores and is hit, and a terrain layer opaque at the point stops the shot.
    // Does not touch the magazine.
    virtual void Fire(int32_t x, int32_t y);
    // Refills a magazine that is not full, with the reload sound.
    virtual void Reload();
};

class TGun_Cherry : public TGun {
  public:
    void Draw() override;
    // Shoots while the magazine holds a shot, else only plays the empty sound.
    void Fire(int32_t x, int32_t y) override;
    // The eight-shot cherry gun with its icon loaded from Data/gfx/Cherry.png.
    static GunPtr Create();
};

}  // namespace morvelle
