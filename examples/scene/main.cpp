// Pictures with Vexel's 2-D layer: pixmaps made in memory become images, which are tiled,
// cut, turned, scaled and tinted as they are drawn. A tiled sky scrolls under three parallax
// layers of hills (1536x512 pictures, drawn in part), and 40 sprites turn and pulse; the
// crosshair turns red over a sprite it touches (pixel-accurate collision). Escape ends; with
// two arguments, N and a path, it saves frame N as a PNG file there and ends.
//
// RunProgram makes the program's own folder the working folder: files it reads by a relative
// path are looked up beside the executable (vexel::LaunchDir() is where it was started).

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

#include <vexel/graphics/collision.h>
#include <vexel/graphics/graphics.h>
#include <vexel/graphics/image.h>
#include <vexel/graphics/vex2d.h>
#include <vexel/pixmap/png_loader.h>
#include <vexel/runtime/startup.h>
#include <vexel/runtime/string.h>
#include <vexel/system/polled_input.h>
#include <vexel/system/timer.h>

namespace {

using vexel::ImagePtr;
using vexel::PixmapPtr;

// Pixels travel as packed 32-bit ARGB values.
int32_t Argb(int a, int r, int g, int b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) << 24 | r << 16 | g << 8 | b);
}

// A 64×64 sky tile: a vertical blue gradient with a soft white cloud.
PixmapPtr SkyTile() {
    auto pixmap = vexel::NewPixmap(64, 64, vexel::PIXEL_RGB24, 4);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const double dx = (x - 32) / 20.0, dy = (y - 30) / 8.0;
            const double cloud = std::max(0.0, 1.0 - dx * dx - dy * dy);
            const int r = static_cast<int>(90 + 165 * cloud),
                      g = static_cast<int>(150 + 105 * cloud);
            pixmap->WritePixel(x, y, Argb(255, r, g, 235 + static_cast<int>(20 * cloud)));
        }
    }
    return pixmap;
}

// A 1536×512 layer of rolling hills, transparent above the ridge line.
PixmapPtr Hills(int base, double amplitude, double wavelength, int r, int g, int b) {
    auto pixmap = vexel::NewPixmap(1536, 512, vexel::PIXEL_RGBA32, 4);
    for (int x = 0; x < 1536; ++x) {
        const double ridge =
            base - amplitude * std::sin(x * 2 * std::numbers::pi / wavelength) -
            amplitude * 0.4 * std::sin(x * 2 * std::numbers::pi / (wavelength / 3));
        for (int y = 0; y < 512; ++y) {
            const int shade = std::min(40, std::max(0, (y - static_cast<int>(ridge)) / 6));
            pixmap->WritePixel(x, y, y < ridge ? 0 : Argb(255, r - shade, g - shade, b - shade));
        }
    }
    return pixmap;
}

// A 64×64 sprite: a ringed disc on black, keyed to transparency by the mask colour.
PixmapPtr Sprite(int r, int g, int b) {
    auto pixmap = vexel::NewPixmap(64, 64, vexel::PIXEL_RGB24, 4);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double d = std::hypot(x - 31.5, y - 31.5);
            int32_t c = Argb(255, 0, 0, 0);
            if (d < 30) c = Argb(255, r, g, b);
            if (d < 30 && (static_cast<int>(d) / 6) % 2 == 1)
                c = Argb(255, r / 2, g / 2, b / 2 + 1);
            if (x > 28 && x < 35 && y < 20) c = Argb(255, 250, 250, 250);  // shows the turn
            pixmap->WritePixel(x, y, c);
        }
    return pixmap;
}

}  // namespace

int main(int argc, char** argv) {
    vexel::RunProgram(argc, argv, [argc, argv] {
        const int save_frame = argc > 2 ? std::atoi(argv[1]) : -1;
        const std::string save_path = argc > 2 ? argv[2] : "";
        vexel::SetAppTitle(u"Vexel – Szene");
        if (!vexel::OpenGraphics(1024, 512, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }
        // Images made from pixmaps (or files) from here on turn and scale around their middle.
        vexel::SetAutoMidHandle(1);
        const ImagePtr sky = vexel::LoadImageFrom(SkyTile(), -1);
        const ImagePtr layers[3] = {
            vexel::LoadImageFrom(Hills(300, 60, 768, 120, 160, 200), -1),
            vexel::LoadImageFrom(Hills(380, 40, 512, 70, 150, 80), -1),
            vexel::LoadImageFrom(Hills(450, 25, 384, 40, 110, 40), -1),
        };
        for (const auto& layer : layers)
            vexel::SetImageHandle(*layer, 0, 0);  // ...but the layers from their top left
        // The mask blend (below) keys out the sprites' black background.
        const ImagePtr sprites[3] = {vexel::LoadImageFrom(Sprite(230, 80, 60), -1),
                                     vexel::LoadImageFrom(Sprite(250, 200, 40), -1),
                                     vexel::LoadImageFrom(Sprite(150, 90, 220), -1)};
        const ImagePtr cross = vexel::LoadImageFrom(Sprite(255, 255, 255), -1);

        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        for (int frame = 0; !vexel::KeyWasHit(27) && !vexel::AppTerminateRequested(); ++frame) {
            const float t = static_cast<float>(frame);
            vexel::ClearScreen();
            vexel::SetDrawBlend(vexel::BlendMask);
            vexel::SetDrawColor(255, 255, 255);
            vexel::SetDrawTransform(0, 1, 1);
            vexel::TileImageFrame(*sky, t * 0.3f, t * 0.1f, 0);  // fills the window
            // Each layer: a 1024x512 part of the 1536x512 picture, scrolling at its speed.
            for (int i = 0; i < 3; ++i) {
                const float scroll = std::fmod(t * (i + 1) * 0.7f, 512.0f);
                vexel::DrawImageSubRect(*layers[i], 0, 0, 1024, 512, scroll, 0, 1024, 512, 0, 0, 0);
            }
            const float mx = frame < 30 ? 512 : vexel::VirtualMouseXPos();
            const float my = frame < 30 ? 256 : vexel::VirtualMouseYPos();
            bool hit = false;
            for (int i = 0; i < 40; ++i) {
                const float x = 60 + (i % 10) * 100 + 20 * std::sin(t * 0.02f + i);
                const float y = 80 + (i / 10) * 110 + 15 * std::cos(t * 0.03f + i);
                const float scale = 0.6f + 0.4f * std::sin(t * 0.05f + i * 0.7f);
                // Rotation (degrees) and scale apply to what is drawn next, and to collision.
                vexel::SetDrawTransform(t * 1.5f + i * 9, scale, scale);
                vexel::DrawImageFrame(*sprites[i % 3], x, y, 0);
                hit = hit || vexel::ImagesOverlap(*sprites[i % 3], x, y, 0, *cross, mx, my, 0);
            }
            vexel::SetDrawTransform(0, 0.5f, 0.5f);
            vexel::SetDrawBlend(vexel::BlendAlpha);
            vexel::SetDrawAlpha(0.7f);
            vexel::SetDrawColor(255, hit ? 40 : 255, hit ? 40 : 255);
            vexel::DrawImageFrame(*cross, mx, my, 0);
            vexel::SetDrawAlpha(1);
            vexel::SetDrawTransform(0, 1, 1);
            vexel::SetDrawColor(255, 255, 255);
            vexel::DrawString(u"Vexel – gedrehte, skalierte und gekachelte Bilder", 12, 12);
            if (frame == save_frame) {
                vexel::SavePNGPixmap(*vexel::GrabPixmapRect(0, 0, 1024, 512),
                                     vexel::FromUtf8(save_path), 6);
                break;
            }
            vexel::FlipGraphics(-1);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
