// Encodes a synthesised sound as an Ogg Vorbis file.
#pragma once

#include <string>

#include "synth.h"

namespace sfx {

// Writes `sound` (samples clamped to -1 .. 1) at kRate, two channels, as Vorbis of the given
// VBR quality (-0.1 .. 1). The stream's serial number is fixed so the bytes depend only on
// the samples. Returns false, with a message on standard error, when the file cannot be
// written or the encoder refuses its settings.
bool WriteOggVorbis(const std::string& path, const Stereo& sound, float quality);

}  // namespace sfx
