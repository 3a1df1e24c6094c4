#include "game/resources.h"

#include <string>

#include "audio/audio_driver.h"
#include "font/font.h"
#include "game/game_state.h"
#include "graphics/image.h"
#include "graphics/image_font.h"
#include "graphics/vex2d.h"
#include "pixmap/pixel_format.h"
#include "runtime/startup.h"

namespace morvelle {
namespace {

using vexel::ImagePtr;

struct Loader {
    String failed;

    ImagePtr Picture(const String& path) { return Check(vexel::LoadImageFrom(path, -1), path); }
    ImagePtr Strip(const String& path, int32_t cell_width, int32_t cell_height, int32_t cells) {
        return Check(vexel::LoadImageStrip(path, cell_width, cell_height, 0, cells, -1), path);
    }
    vexel::SoundPtr Sound(const String& path) { return Check(vexel::LoadSoundFile(path, 0), path); }

    template <typename T>
    T Check(T loaded, const String& path) {
        if (!loaded && failed.empty()) failed = path;
        return loaded;
    }
};

}  // namespace

String LoadResources() {
    GameState& game = Game();
    Loader load;
    game.TitleImage = load.Picture(u"Data/gfx/Title.png");
    game.MenuButtonsImage = load.Strip(u"Data/gfx/MenuButtons.png", 256, 64, 10);
    game.SoundButtonImage = load.Strip(u"Data/gfx/SndButton.png", 64, 64, 2);
    game.SkyImage = load.Picture(u"Data/gfx/Sky.png");
    game.TerrainImage = load.Strip(u"Data/gfx/Terrain.png", 1536, 512, 3);
    game.CursorImage = load.Picture(u"Data/gfx/cur.png");
    game.LogoImage = load.Picture(u"Data/gfx/vexel.png");
    // The cursor's hot spot is its tip at the top-left corner.
    if (game.CursorImage) vexel::SetImageHandle(*game.CursorImage, 0, 0);
    game.CrosshairImage = load.Strip(u"Data/gfx/Cross.png", 64, 64, 4);

    const vexel::PixmapPtr point = vexel::NewPixmap(1, 1, vexel::PIXEL_BGRA32, 4);
    point->ClearPixels(-1);
    game.PointImage = vexel::LoadImageFrom(point, -1);

    game.MushroomImage = load.Picture(u"Data/gfx/Pilz.png");
    game.CherryImage = load.Picture(u"Data/gfx/Kirsch.png");
    game.AppleImage = load.Picture(u"Data/gfx/Apfel.png");
    game.CarrotImage = load.Picture(u"Data/gfx/Rübe.png");
    game.ChickenImage = load.Picture(u"Data/gfx/Huhn.png");

    game.Font = load.Check(vexel::LoadFontFace(kFontPath, 24, vexel::FONTSTYLE_SMOOTH), kFontPath);

    game.HighscoreSound = load.Sound(u"Data/sfx/high.ogg");
    game.ClickSound = load.Sound(u"Data/sfx/klick.ogg");
    game.EmptySound = load.Sound(u"Data/sfx/noshot.ogg");
    game.ShotSound = load.Sound(u"Data/sfx/peng.ogg");
    game.ReloadSound = load.Sound(u"Data/sfx/reload.ogg");
    game.FarewellSound = load.Sound(u"Data/sfx/vote.ogg");
    return load.failed;
}

std::string MissingResourceMessage(const String& path) {
    if (path == kFontPath) {
        return "Morvelle: cannot load the font " + vexel::ToUtf8(path) +
               "; install it with Debian's package fonts-freefont-ttf "
               "(apt-get install fonts-freefont-ttf).\n";
    }
    const String folder = vexel::AppDir().empty() ? String(u".") : vexel::AppDir();
    return "Morvelle: cannot load " + vexel::ToUtf8(folder + u"/" + path) +
           "; the game's pictures and sounds are made when it is built: rebuild it "
           "(scripts/play) or reinstall it.\n";
}

}  // namespace morvelle
