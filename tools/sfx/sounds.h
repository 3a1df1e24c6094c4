// The game's sound effects and the audio example's chime, each a function that renders it
// from scratch.
#pragma once

#include <string_view>

#include "synth.h"

namespace sfx {

struct SoundDesign {
    std::string_view name;  // file name without its extension
    Stereo (*render)();
};

// klick, peng, noshot, reload, high, vote, chime.
const SoundDesign* FindSound(std::string_view name);

}  // namespace sfx
