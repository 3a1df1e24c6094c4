// A program outside the Vexel tree, built against an installed Vexel: it opens a window,
// draws a picture made in memory, plays a tone, and after `frames` frames saves the window
// as a PNG file and ends.
//
// Usage: vexel_consumer <frames> <picture.png>

#include <vexel/audio/audio_driver.h>
#include <vexel/graphics/graphics.h>
#include <vexel/graphics/image.h>
#include <vexel/graphics/vex2d.h>
#include <vexel/pixmap/pixmap.h>
#include <vexel/pixmap/png_loader.h>
#include <vexel/runtime/startup.h>
#include <vexel/system/timer.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: vexel_consumer <frames> <picture.png>\n", stderr);
        return 2;
    }
    const int frames = std::atoi(argv[1]);
    const std::string path = argv[2];
    vexel::RunProgram(argc, argv, [frames, path] {
        if (!vexel::OpenGraphics(320, 240, 0, 60, 0)) {
            std::fputs("cannot open the window\n", stderr);
            std::exit(1);
        }
        // A 64x64 picture: red rising to the right, green rising downwards.
        const auto pixmap = vexel::NewPixmap(64, 64, vexel::PIXEL_RGBA32, 4);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                pixmap->WritePixel(x, y,
                                   static_cast<int32_t>(0xff000080u | x * 4 << 16 | y * 4 << 8));
        const auto picture = vexel::LoadImageFrom(pixmap, 0);

        // Half a second of a 440 Hz tone, mono 16-bit at 22050 Hz.
        const auto tone = vexel::NewAudioSample(11025, 22050, vexel::SF_MONO16LE);
        for (int i = 0; i < tone->length; ++i) {
            const auto value = static_cast<int16_t>(8000 * std::sin(i * 440 * 6.2831853 / 22050));
            tone->samples[2 * i] = static_cast<uint8_t>(value & 0xff);
            tone->samples[2 * i + 1] = static_cast<uint8_t>((value >> 8) & 0xff);
        }
        vexel::StartSound(vexel::LoadSoundFile(tone, 0), nullptr);

        const auto timer = vexel::StartTimer(60, nullptr);
        for (int frame = 0;; ++frame) {
            vexel::SetClearColor(20, 30, 60);
            vexel::ClearScreen();
            vexel::DrawImageFrame(*picture, 128, 88, 0);
            vexel::DrawString(u"Vexel, installiert", 8, 8);
            if (frame == frames) {
                vexel::SavePNGPixmap(*vexel::GrabPixmapRect(0, 0, 320, 240),
                                     vexel::String(path.begin(), path.end()), 6);
                break;
            }
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
