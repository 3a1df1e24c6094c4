#include "game/resources.h"

#include <string>
#include <utility>

#include "audio/audio_driver.h"
#include "audio/mixer/sonmix_driver.h"
#include "font/font.h"
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

LoadedAssets LoadResources() {
    GameAssets assets;
    Loader load;
    assets.TitleImage = load.Picture(u"Data/gfx/Title.png");
    assets.MenuButtonsImage = load.Strip(u"Data/gfx/MenuButtons.png", 256, 64, 10);
    assets.SoundButtonImage = load.Strip(u"Data/gfx/SndButton.png", 64, 64, 2);
    assets.SoundMutedImage = load.Picture(u"Data/gfx/SndMuted.png");
    assets.SkyImage = load.Picture(u"Data/gfx/Sky.png");
    assets.TerrainImage = load.Strip(u"Data/gfx/Terrain.png", 1536, 512, 3);
    assets.CursorImage = load.Picture(u"Data/gfx/cur.png");
    assets.LogoImage = load.Picture(u"Data/gfx/vexel.png");
    // The cursor's hot spot is its tip at the top-left corner.
    if (assets.CursorImage) vexel::SetImageHandle(*assets.CursorImage, 0, 0);
    assets.CrosshairImage = load.Strip(u"Data/gfx/Cross.png", 64, 64, 4);

    const vexel::PixmapPtr point = vexel::NewPixmap(1, 1, vexel::PIXEL_BGRA32, 4);
    point->ClearPixels(-1);
    assets.PointImage = vexel::LoadImageFrom(point, -1);

    assets.MushroomImage = load.Picture(u"Data/gfx/Pilz.png");
    assets.CherryImage = load.Picture(u"Data/gfx/Kirsch.png");
    assets.AppleImage = load.Picture(u"Data/gfx/Apfel.png");
    assets.CarrotImage = load.Picture(u"Data/gfx/Rübe.png");
    assets.ChickenImage = load.Picture(u"Data/gfx/Huhn.png");

    assets.Font =
        load.Check(vexel::LoadFontFace(FONT_PATH, 24, vexel::FONTSTYLE_SMOOTH), FONT_PATH);

    assets.HighscoreSound = load.Sound(u"Data/sfx/high.ogg");
    assets.ClickSound = load.Sound(u"Data/sfx/klick.ogg");
    assets.EmptySound = load.Sound(u"Data/sfx/noshot.ogg");
    assets.ShotSound = load.Sound(u"Data/sfx/peng.ogg");
    assets.ReloadSound = load.Sound(u"Data/sfx/reload.ogg");
    assets.FarewellSound = load.Sound(u"Data/sfx/vote.ogg");
    return {std::move(assets), load.failed};
}

std::string MissingResourceMessage(const String& path) {
    if (path == FONT_PATH) {
        return "morvelle: cannot load the font " + vexel::ToUtf8(path) +
               "; install it with Debian's package fonts-freefont-ttf "
               "(apt-get install fonts-freefont-ttf).\n";
    }
    const String folder = vexel::AppDir().empty() ? String(u".") : vexel::AppDir();
    return "morvelle: cannot load " + vexel::ToUtf8(folder + u"/" + path) +
           "; the game's pictures and sounds are made when it is built: rebuild it "
           "(scripts/play) or reinstall it.\n";
}

std::string NoSoundMessage() {
    return "morvelle: no sound output, so the game plays in silence (" +
           vexel::ToUtf8(vexel::SonmixStartFailure()) + ").\n";
}

}  // namespace morvelle
