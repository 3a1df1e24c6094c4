// Build-time tool: renders one of the synthesised sounds and writes it as Ogg Vorbis, or as a
// mono WAV file when the output's name ends in ".wav".
//
//   morvelle_sfx <name> <out.ogg|out.wav>
//
// <name> is klick, peng, noshot, reload, high, vote (the game's) or chime (the audio
// example's). The output depends only on this program, so the build re-runs it only when
// the program changes.

#include <cstdio>
#include <string>

#include "ogg_writer.h"
#include "sounds.h"
#include "wav_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <name> <out.ogg|out.wav>\n", argv[0]);
        return 2;
    }
    const sfx::SoundDesign* design = sfx::FindSound(argv[1]);
    if (!design) {
        std::fprintf(stderr, "%s: no sound named '%s'\n", argv[0], argv[1]);
        return 2;
    }
    const std::string out = argv[2];
    if (out.ends_with(".wav")) return sfx::WriteMonoWav(out, design->render()) ? 0 : 1;
    // Quality 0.6 keeps the attacks of the clicks crisp; the files stay a few kilobytes.
    return sfx::WriteOggVorbis(out, design->render(), 0.6f) ? 0 : 1;
}
