// One start of the game up to its first presented frame, or, as the yardstick it is compared
// with, only the work a start cannot avoid: decoding the game's files and opening its window
// with one presented frame. Prints the process CPU time since exec, in microseconds, and
// ends without running any exit handler. Built beside the game so that its Data folder is
// found the same way. In the mode `sharp` the game runs its frames until every picture of
// its scale has been decoded and the last ones drawn, and then prints.
//   morvelle_startup_probe game | decode | sharp
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "audio/audio_sample.h"
#include "font/font.h"
#include "game/main_loop.h"
#include "game/resources.h"
#include "graphics/graphics.h"
#include "graphics/image_font.h"
#include "graphics/internal/detail_decoding.h"
#include "graphics/vex2d.h"
#include "pixmap/pixmap_loader.h"
#include "runtime/startup.h"

namespace {

constexpr const char16_t* kPictures[] = {
    u"Title", u"MenuButtons", u"SndButton", u"Sky",   u"Terrain", u"cur",  u"vexel",
    u"Cross", u"Pilz",        u"Kirsch",    u"Apfel", u"Rübe",    u"Huhn", u"Cherry"};
constexpr const char16_t* kSounds[] = {u"high", u"klick", u"noshot", u"peng", u"reload", u"vote"};

bool DecodeFilesAndOpenWindow() {
    for (const char16_t* name : kPictures) {
        if (!vexel::LoadPixmapFrom(vexel::String(u"Data/gfx/") + name + u".png")) return false;
    }
    for (const char16_t* name : kSounds) {
        if (!vexel::LoadAudioSampleFile(vexel::String(u"Data/sfx/") + name + u".ogg")) return false;
    }
    const auto font = vexel::LoadFontFace(morvelle::FONT_PATH, 24, vexel::FONTSTYLE_SMOOTH);
    if (!font || !vexel::OpenGraphics(1024, 512, 0, 60, 0)) return false;
    vexel::ClearScreen();
    vexel::FlipGraphics(0);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool game = argc > 1 && std::strcmp(argv[1], "game") == 0;
    const bool decode = argc > 1 && std::strcmp(argv[1], "decode") == 0;
    const bool sharp = argc > 1 && std::strcmp(argv[1], "sharp") == 0;
    if (!game && !decode && !sharp) return 2;
    vexel::StartProcess(argc, argv);
    if (game) {
        morvelle::StartUp();
        morvelle::DrawFrame();
    } else if (sharp) {
        morvelle::StartUp();
        do {
            morvelle::RunFrame();
        } while (vexel::DetailJobsPending());
        morvelle::DrawFrame();  // the pictures decoded last are taken and drawn
    } else if (!DecodeFilesAndOpenWindow()) {
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long micros = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L +
                        usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    std::printf("%ld\n", micros);
    std::fflush(stdout);
    _exit(0);
}
