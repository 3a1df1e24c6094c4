// Draws the reference frame in a 320×200 window of the platform the environment chooses,
// writes its pixels to the PPM file named by the argument and prints the platform's name.

#include <cstdio>

#include "graphics/graphics.h"
#include "reference_frame.h"
#include "runtime/string.h"
#include "system/system_driver.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    if (!vexel::OpenGraphics(320, 200, 0, 60, 0)) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    vexel::testing::DrawReferenceFrame();
    vexel::testing::WritePpm(argv[1], vexel::testing::ReadBackBuffer());
    vexel::CloseOpenedGraphics();
    std::printf("%s", vexel::ToUtf8(vexel::DesktopPlatform()).c_str());
    return 0;
}
