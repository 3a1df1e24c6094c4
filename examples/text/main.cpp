// Shows the fonts: FreeSans at 24 pixels with smooth glyphs (German text with umlauts), the
// built-in 8x16 font with all 96 of its characters, and the same font through raw GL text.
// Runs until Escape is pressed or the window is closed.

#include <cstdio>

#include "graphics/gl/gl_text.h"
#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/graphics.h"
#include "graphics/image_font.h"
#include "graphics/vex2d.h"
#include "runtime/startup.h"
#include "system/polled_input.h"
#include "system/timer.h"

int main(int argc, char** argv) {
    vexel::RunProgram(argc, argv, [] {
        vexel::SetAppTitle(u"Vexel – Schriften");
        vexel::SelectGraphicsDriver(vexel::TheGLVex2DDriver(), vexel::GfxFlagBackBuffer);
        if (!vexel::OpenGraphics(800, 300, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }
        const auto sans = vexel::LoadFontFace(u"/usr/share/fonts/truetype/freefont/FreeSans.ttf",
                                              24, vexel::FONTSTYLE_SMOOTH);
        vexel::String all;
        for (char16_t code = 32; code < 128; ++code)
            all += code;

        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        while (!vexel::KeyWasHit(27) && !vexel::AppTerminateRequested()) {
            vexel::SetClearColor(24, 28, 40);
            vexel::ClearScreen();
            vexel::SetDrawBlend(vexel::BlendAlpha);
            vexel::SetDrawFont(sans);
            vexel::SetDrawColor(255, 255, 255);
            vexel::DrawString(u"Grüße aus der Küche: Hühnerbrühe", 20, 16);
            vexel::SetDrawColor(255, 210, 90);
            vexel::DrawString(u"Gemüsebrühe, Frucht-Punsch – ÄÖÜ äöü ß", 20, 50);
            vexel::SetDrawFont(nullptr);
            vexel::SetDrawColor(255, 255, 255);
            vexel::DrawString(all.substr(0, 48), 20, 110);
            vexel::DrawString(all.substr(48), 20, 130);
            vexel::SetDrawColor(140, 220, 140);
            vexel::DrawString(u"Pilz-Suppe: 250 Punkte (x2) [ok] gjpqy", 20, 160);
            vexel::SetDrawColor(120, 180, 255);
            vexel::DrawGLText(u"DrawGLText: The quick brown fox jumps over the lazy dog.", 20, 200);
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
