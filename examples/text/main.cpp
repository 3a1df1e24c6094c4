// Text with Vexel: a FreeType font (FreeSans at 24 pixels, smoothed) with German umlauts, the
// built-in 8x16 font with all 96 of its characters, and the same built-in font through the
// raw OpenGL text helper. Runs until Escape is pressed or the window is closed.
//
// With two arguments, N and a path, the program saves frame N as a PNG file and ends.
//
// RunProgram makes the program's own folder the working folder: files it reads by a relative
// path are looked up beside the executable (vexel::LaunchDir() is where it was started).

#include <vexel/graphics/gl/gl_text.h>
#include <vexel/graphics/gl/gl_vex2d_driver.h>
#include <vexel/graphics/graphics.h>
#include <vexel/graphics/image_font.h>
#include <vexel/graphics/vex2d.h>
#include <vexel/pixmap/png_loader.h>
#include <vexel/runtime/startup.h>
#include <vexel/runtime/string.h>
#include <vexel/system/polled_input.h>
#include <vexel/system/timer.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    vexel::RunProgram(argc, argv, [argc, argv] {
        const int save_frame = argc > 2 ? std::atoi(argv[1]) : -1;
        const std::string save_path = argc > 2 ? argv[2] : "";
        vexel::SetAppTitle(u"Vexel – Schriften");
        // The 2-D drawing layer over OpenGL, with a back buffer that FlipGraphics shows.
        // (OpenGraphics picks this driver by itself; naming it shows where it comes from.)
        vexel::SelectGraphicsDriver(vexel::TheGLVex2DDriver(), vexel::GfxFlagBackBuffer);
        if (!vexel::OpenGraphics(800, 300, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }
        // Any font file FreeType reads, at a pixel height; smoothed glyphs have soft edges.
        // Null when the file is missing: drawing then falls back to the built-in font.
        const auto sans = vexel::LoadFontFace(u"/usr/share/fonts/truetype/freefont/FreeSans.ttf",
                                              24, vexel::FONTSTYLE_SMOOTH);
        vexel::String all;  // the built-in font's characters, codes 32 to 127
        for (char16_t code = 32; code < 128; ++code)
            all += code;

        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        for (int frame = 0; !vexel::KeyWasHit(vexel::KEY_ESCAPE) && !vexel::AppTerminateRequested();
             ++frame) {
            vexel::SetClearColor(24, 28, 40);
            vexel::ClearScreen();
            // Smoothed glyphs need alpha blending; the draw colour tints them.
            vexel::SetDrawBlend(vexel::BlendAlpha);
            vexel::SetDrawFont(sans);
            vexel::SetDrawColor(255, 255, 255);
            vexel::DrawString(u"Grüße aus der Küche: Hühnerbrühe", 20, 16);
            vexel::SetDrawColor(255, 210, 90);
            vexel::DrawString(u"Gemüsebrühe, Frucht-Punsch – ÄÖÜ äöü ß", 20, 50);
            // Null selects the built-in font.
            vexel::SetDrawFont(nullptr);
            vexel::SetDrawColor(255, 255, 255);
            vexel::DrawString(all.substr(0, 48), 20, 110);
            vexel::DrawString(all.substr(48), 20, 130);
            vexel::SetDrawColor(140, 220, 140);
            vexel::DrawString(u"Pilz-Suppe: 250 Punkte (x2) [ok] gjpqy", 20, 160);
            // DrawGLText draws the built-in font with plain OpenGL, outside the 2-D layer.
            vexel::SetDrawColor(120, 180, 255);
            vexel::DrawGLText(u"DrawGLText: The quick brown fox jumps over the lazy dog.", 20, 200);
            if (frame == save_frame) {
                vexel::SavePNGPixmap(*vexel::GrabPixmapRect(0, 0, 800, 300),
                                     vexel::FromUtf8(save_path), 6);
                break;
            }
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
