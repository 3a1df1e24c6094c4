// Writes a synthesised sound as a plain WAV file.
#pragma once

#include <string>

#include "synth.h"

namespace sfx {

// Writes the left channel of `sound` (samples clamped to -1 .. 1) as mono 16-bit PCM at
// kRate: a file every sample loader reads. Returns false, with a message on standard error,
// when the file cannot be written.
bool WriteMonoWav(const std::string& path, const Stereo& sound);

}  // namespace sfx
