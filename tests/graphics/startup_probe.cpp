// A program that exercises the graphics module's start-up and exit paths.
//   startup_probe         prints how many sockets the process has open when main starts and
//                         after the first use of the graphics module ("0 1" when the X display
//                         is opened on first use), then the name of the driver that is current
//                         at that point
//   startup_probe return  adds an exit handler, opens a window, draws an image, flips, draws
//                         it again and returns from main with that drawing still pending;
//                         the handler prints "handler ran"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "runtime/startup.h"

namespace {

int OpenSockets() {
    int sockets = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target.string().starts_with("socket:")) ++sockets;
    }
    return sockets;
}

int ReturnWithDrawingPending() {
    using namespace vexel;
    AddExitHandler([] {
        std::printf("handler ran");
        std::fflush(stdout);
    });
    if (!OpenGraphics(64, 64, 0, 0, 0)) return 1;
    SetDrawColor(255, 0, 0);
    DrawRectangle(0, 0, 8, 8);
    const ImagePtr image = CreateBlankImage(8, 8, 1, 0);
    GrabImageFrame(*image, 0, 0, 0);
    DrawImageFrame(*image, 16, 16, 0);
    FlipGraphics(0);
    DrawImageFrame(*image, 32, 32, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "return") == 0) return ReturnWithDrawingPending();
    const int before = OpenSockets();
    const auto driver = vexel::CurrentGraphicsDriver();
    const int after = OpenSockets();
    const bool drawing = std::dynamic_pointer_cast<vexel::TVex2DDriver>(driver) != nullptr;
    // A program that draws links the drawing layer; that must not change the start-up.
    vexel::SetDrawColor(255, 255, 255);
    std::printf("%d %d %s", before, after, drawing ? "2-D driver" : "other driver");
    return 0;
}
