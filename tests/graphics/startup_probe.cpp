// Prints how many sockets the process has open when main starts and after the first use of
// the graphics module ("0 1" when the X display is opened on first use), then the name of the
// driver that is current at that point.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "graphics/graphics.h"
#include "graphics/vex2d.h"

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

}  // namespace

int main() {
    const int before = OpenSockets();
    const auto driver = vexel::CurrentGraphicsDriver();
    const int after = OpenSockets();
    const bool drawing = std::dynamic_pointer_cast<vexel::TVex2DDriver>(driver) != nullptr;
    // A program that draws links the drawing layer; that must not change the start-up.
    vexel::SetDrawColor(255, 255, 255);
    std::printf("%d %d %s", before, after, drawing ? "2-D driver" : "other driver");
    return 0;
}
