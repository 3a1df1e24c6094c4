// Files with Vexel: text files read in each of the four encodings, a small file of one's
// own kept in the per-user folder and saved all or nothing, and what happened, on screen.
//
// Streams open from a path (or a url such as "incbin::name"); a TTextStream over a byte
// stream reads and writes characters in Latin-1, UTF-8, UTF-16LE or UTF-16BE. The four
// gruss-*.txt files beside the program hold the same two lines in those encodings.
//
// The program counts how often it was started in runs.txt in its per-user folder,
// $XDG_DATA_HOME/vexel-examples (by default ~/.local/share/vexel-examples). The save goes to
// a new file that replaces the old one only once it is wholly on the disk: a crash or a full
// disk never leaves half a file. Escape ends; with two arguments, N and a path, the program
// saves frame N as a PNG file and ends.
//
// RunProgram makes the program's own folder the working folder: files it reads by a relative
// path are looked up beside the executable (vexel::LaunchDir() is where it was started).

#include <vexel/graphics/graphics.h>
#include <vexel/graphics/image_font.h>
#include <vexel/graphics/vex2d.h>
#include <vexel/pixmap/png_loader.h>
#include <vexel/runtime/startup.h>
#include <vexel/runtime/string.h>
#include <vexel/stream/c_stream.h>
#include <vexel/stream/durable_save.h>
#include <vexel/stream/stream_factory.h>
#include <vexel/stream/text_stream.h>
#include <vexel/system/polled_input.h>
#include <vexel/system/timer.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The lines of a text file in `encoding`, or a note that it could not be opened.
std::vector<vexel::String> ReadLines(const vexel::String& path, int32_t encoding) {
    const vexel::StreamPtr file = vexel::OpenFileRead(path);  // null when it cannot be opened
    if (!file) return {u"(" + path + u" fehlt)"};
    const auto text = vexel::TTextStream::Create(file, encoding);
    std::vector<vexel::String> lines;
    while (!text->Eof())
        lines.push_back(text->ReadLine());  // CR LF and LF both end a line
    text->Close();                          // closes the file too
    return lines;
}

// How often the program ran before: the number in runs.txt, 0 when there is none yet.
// OpenUserFileRead accepts only a regular file and never blocks, whatever is at the path.
int PreviousRuns(const vexel::String& path) {
    vexel::FileOutcome outcome;
    const auto file = vexel::OpenUserFileRead(path, outcome);
    if (!file) return 0;
    const vexel::String line = file->ReadLine();
    return std::atoi(std::string(line.begin(), line.end()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    vexel::RunProgram(argc, argv, [argc, argv] {
        const int save_frame = argc > 2 ? std::atoi(argv[1]) : -1;
        const std::string save_path = argc > 2 ? argv[2] : "";
        vexel::SetAppTitle(u"Vexel – Dateien");
        if (!vexel::OpenGraphics(800, 400, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }
        const auto font = vexel::LoadFontFace(u"/usr/share/fonts/truetype/freefont/FreeSans.ttf",
                                              18, vexel::FONTSTYLE_SMOOTH);

        // Reading: the same text in each encoding. (LoadTextFile reads a whole file and tells
        // the encoding from a byte-order mark, Latin-1 without one.)
        struct Encoded {
            const char16_t* name;
            int32_t encoding;
        };
        const Encoded files[] = {{u"latin1", vexel::TTextStream::LATIN1},
                                 {u"utf8", vexel::TTextStream::UTF8},
                                 {u"utf16le", vexel::TTextStream::UTF16LE},
                                 {u"utf16be", vexel::TTextStream::UTF16BE}};
        std::vector<vexel::String> shown;
        for (const Encoded& file : files) {
            const auto lines =
                ReadLines(u"gruss-" + vexel::String(file.name) + u".txt", file.encoding);
            shown.push_back(vexel::String(file.name) + u": " + (lines.empty() ? u"" : lines[0]));
        }

        // Saving: the per-user folder (made on first use), then runs.txt replaced all or
        // nothing. The writer gets the new file's stream; returning false abandons the save.
        const vexel::String folder = vexel::UserDataFolder(u"vexel-examples");
        vexel::String saved = u"kein Ordner pro Benutzer (HOME fehlt)";
        if (!folder.empty()) {
            const vexel::String path = folder + u"/runs.txt";
            const int runs = PreviousRuns(path) + 1;
            const vexel::FileOutcome outcome =
                vexel::ReplaceFileWith(path, [runs](vexel::TStream& out) {
                    return out.WriteLine(vexel::FromUtf8(std::to_string(runs)));
                });
            saved = outcome.Ok()
                        ? vexel::FromUtf8(std::to_string(runs) + ". Start, gesichert in ") + path
                        : u"nicht gesichert: " + outcome.Reason();
        }

        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        for (int frame = 0; !vexel::KeyWasHit(vexel::KEY_ESCAPE); ++frame) {
            if (vexel::AppTerminateRequested()) break;
            vexel::SetClearColor(250, 246, 236);
            vexel::ClearScreen();
            vexel::SetDrawBlend(vexel::BlendAlpha);
            vexel::SetDrawFont(font);
            vexel::SetDrawColor(40, 40, 60);
            vexel::DrawString(u"Gelesen, in vier Kodierungen:", 20, 20);
            for (size_t i = 0; i < shown.size(); ++i)
                vexel::DrawString(shown[i], 40, 60 + 32 * static_cast<float>(i));
            vexel::DrawString(u"Ordner pro Benutzer: " + folder, 20, 220);
            vexel::SetDrawColor(30, 110, 60);
            vexel::DrawString(saved, 20, 260);
            if (frame == save_frame) {
                vexel::SavePNGPixmap(*vexel::GrabPixmapRect(0, 0, 800, 400),
                                     vexel::FromUtf8(save_path), 6);
                break;
            }
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
