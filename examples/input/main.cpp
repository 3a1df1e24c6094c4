// Keyboard and mouse with Vexel: which keys are held, the text typed (umlauts included),
// where the mouse is, which buttons are down and how often each was clicked, and the wheel.
//
// Vexel keeps a picture of the keyboard and mouse that the window's events update: the
// Key... and Mouse... functions read it. KeyIsDown and MouseIsDown tell what is held now,
// KeyWasHit and MouseWasHit count presses since they were last asked, and NextTypedChar
// hands out the typed characters (Latin-1, so ä, ö, ü and ß arrive as themselves).
//
// Type, click and move the mouse; Backspace deletes, Enter starts a new line, Escape ends.
// With two arguments, N and a path, the program saves frame N as a PNG file and ends.
//
// RunProgram makes the program's own folder the working folder: files it reads by a relative
// path are looked up beside the executable (vexel::LaunchDir() is where it was started).

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
        vexel::SetAppTitle(u"Vexel – Eingabe");
        if (!vexel::OpenGraphics(640, 360, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }
        // The built-in font has ASCII only; a FreeType font draws the umlauts. Without the
        // font file the built-in one (null) is used.
        const auto font = vexel::LoadFontFace(u"/usr/share/fonts/truetype/freefont/FreeSans.ttf",
                                              20, vexel::FONTSTYLE_SMOOTH);

        vexel::String typed = u"Tippen Sie: Grüße aus Köln! ";
        int clicks[4] = {0, 0, 0, 0};
        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        for (int frame = 0; !vexel::KeyWasHit(vexel::KEY_ESCAPE); ++frame) {
            if (vexel::AppTerminateRequested()) break;
            // Typed characters, oldest first, until none is left for this frame.
            while (const int32_t code = vexel::NextTypedChar()) {
                if (code == vexel::KEY_BACKSPACE) {
                    if (!typed.empty()) typed.pop_back();
                } else if (code == vexel::KEY_ENTER) {
                    typed += u'\n';
                } else if (code >= 32) {
                    typed += static_cast<char16_t>(code);
                }
            }
            for (int button = 1; button <= 3; ++button)
                clicks[button] += vexel::MouseWasHit(button);

            vexel::SetClearColor(28, 30, 36);
            vexel::ClearScreen();
            vexel::SetDrawBlend(vexel::BlendAlpha);
            vexel::SetDrawFont(font);
            vexel::SetDrawColor(255, 255, 255);
            float y = 16;
            size_t start = 0;  // DrawString draws one line; split at the line ends
            for (size_t end; (end = typed.find(u'\n', start)) != vexel::String::npos;
                 start = end + 1, y += 26)
                vexel::DrawString(typed.substr(start, end - start), 16, y);
            vexel::DrawString(typed.substr(start) + (frame / 30 % 2 ? u"_" : u""), 16, y);

            // The held keys: the space bar, the arrows (codes 37 to 40), digits and letters.
            std::string held;
            const char* arrows[4] = {"links", "hoch", "rechts", "runter"};
            for (int32_t key = vexel::KEY_SPACE; key <= vexel::KEY_Z; ++key) {
                if (!vexel::KeyIsDown(key)) continue;
                if (key == vexel::KEY_SPACE) held += "Leertaste ";
                if (key >= 37 && key <= 40) held += std::string("Pfeil-") + arrows[key - 37] + " ";
                if (key >= '0') held += std::string(1, static_cast<char>(key)) + " ";
            }
            vexel::SetDrawFont(nullptr);
            vexel::SetDrawColor(200, 200, 120);
            vexel::DrawString(vexel::FromUtf8("Gedrueckt: " + held), 16, 230);

            // The three buttons: lit while held, with their click counts.
            const char* names[4] = {"", "links", "rechts", "Mitte"};
            for (int button = 1; button <= 3; ++button) {
                const float x = 16 + 130 * static_cast<float>(button - 1);
                const bool down = vexel::MouseIsDown(button);
                vexel::SetDrawColor(down ? 250 : 70, down ? 120 : 70, down ? 60 : 90);
                vexel::DrawRectangle(x, 260, 120, 40);
                vexel::SetDrawColor(255, 255, 255);
                vexel::DrawString(vexel::FromUtf8(std::string(names[button]) + ": " +
                                                  std::to_string(clicks[button])),
                                  x + 8, 272);
            }
            const int32_t mx = vexel::MouseXPos(), my = vexel::MouseYPos();
            vexel::DrawString(
                vexel::FromUtf8("Maus " + std::to_string(mx) + "," + std::to_string(my) + "  Rad " +
                                std::to_string(vexel::MouseWheelPos())),
                16, 316);
            // A crosshair where the mouse is.
            vexel::SetDrawColor(120, 220, 255);
            vexel::DrawLineSegment(static_cast<float>(mx) - 12, static_cast<float>(my),
                                   static_cast<float>(mx) + 12, static_cast<float>(my), 1);
            vexel::DrawLineSegment(static_cast<float>(mx), static_cast<float>(my) - 12,
                                   static_cast<float>(mx), static_cast<float>(my) + 12, 1);
            if (frame == save_frame) {
                vexel::SavePNGPixmap(*vexel::GrabPixmapRect(0, 0, 640, 360),
                                     vexel::FromUtf8(save_path), 6);
                break;
            }
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
