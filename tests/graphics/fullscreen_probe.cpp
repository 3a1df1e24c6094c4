// Opens a full-screen 1024x512 display, prints the size of the screen the server then shows,
// and ends through EndProgram (or, with the argument "crash", without the exit handlers).

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "graphics/gl/gl_graphics.h"
#include "platform/x11/x11_connection.h"
#include "runtime/startup.h"

int main(int argc, char** argv) {
    const bool crash = argc > 1 && std::strcmp(argv[1], "crash") == 0;
    vexel::RunProgram(argc, argv, [crash] {
        if (!vexel::OpenGLGraphics(1024, 512, 24, 60, 0)) {
            std::fputs("no full screen", stdout);
            std::exit(1);
        }
        Display* display = vexel::SystemDisplay();
        Window root;
        int x, y;
        unsigned int width, height, border, depth;
        XGetGeometry(display, DefaultRootWindow(display), &root, &x, &y, &width, &height, &border,
                     &depth);
        std::printf("%ux%u", width, height);
        std::fflush(stdout);
        if (crash) _exit(0);
        vexel::EndProgram();
    });
}
