// Build-time tool: renders one of the game's sound effects and writes it as Ogg Vorbis.
//
//   morvelle_sfx <name> <out.ogg>
//
// <name> is klick, peng, noshot, reload, high or vote. The output depends only on this
// program, so the build re-runs it only when the program changes.

#include <cstdio>

#include "ogg_writer.h"
#include "sounds.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <name> <out.ogg>\n", argv[0]);
        return 2;
    }
    const sfx::SoundDesign* design = sfx::FindSound(argv[1]);
    if (!design) {
        std::fprintf(stderr, "%s: no sound named '%s'\n", argv[0], argv[1]);
        return 2;
    }
    // Quality 0.6 keeps the attacks of the clicks crisp; the files stay a few kilobytes.
    return sfx::WriteOggVorbis(argv[2], design->render(), 0.6f) ? 0 : 1;
}
