// The smallest Vexel program: a window and a frame loop. It opens a 1024x512 window, clears
// it to a slowly changing colour with plain OpenGL 60 times a second, and ends on Escape or
// when the window is closed.
//
// With two arguments, N and a path, the program saves frame N as a PNG file and ends.
//
// RunProgram makes the program's own folder the working folder: files it reads by a relative
// path are looked up beside the executable (vexel::LaunchDir() is where it was started).

#include <GL/gl.h>
#include <vexel/graphics/gl/gl_graphics.h>
#include <vexel/graphics/graphics.h>
#include <vexel/pixmap/pixmap.h>
#include <vexel/pixmap/png_loader.h>
#include <vexel/runtime/startup.h>
#include <vexel/runtime/string.h>
#include <vexel/system/polled_input.h>
#include <vexel/system/timer.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    // RunProgram does the start-up (the working folder becomes the program's folder), runs
    // the body, and on its end or an uncaught exception runs the exit handlers: they close
    // the window and the sound. Everything of Vexel happens on this, the main, thread.
    vexel::RunProgram(argc, argv, [argc, argv] {
        const int save_frame = argc > 2 ? std::atoi(argv[1]) : -1;
        const std::string save_path = argc > 2 ? argv[2] : "";
        // The title is set before the window opens, which takes it.
        vexel::SetAppTitle(u"Vexel – Fenster");
        // A window of 1024x512 pixels with an OpenGL context for drawing yourself: depth 0
        // means a window rather than the full screen, 60 the refresh rate asked for.
        if (!vexel::OpenGLGraphics(1024, 512, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }
        // A timer that ticks 60 times a second paces the loop: Wait blocks until the next
        // tick, while the window's events keep arriving.
        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        // KeyWasHit counts presses since it was last asked; 27 is Escape. The close button
        // shows up as AppTerminateRequested.
        for (int frame = 0; !vexel::KeyWasHit(vexel::KEY_ESCAPE) && !vexel::AppTerminateRequested();
             ++frame) {
            const float phase = static_cast<float>(frame) / 120.0f;
            glClearColor(0.5f + 0.5f * std::sin(phase), 0.3f, 0.5f + 0.5f * std::cos(phase), 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            if (frame == save_frame) {
                // OpenGL reads rows from the bottom up; a pixmap holds them top down.
                const auto picture = vexel::NewPixmap(1024, 512, vexel::PIXEL_RGBA32, 4);
                for (int y = 0; y < 512; ++y)
                    glReadPixels(0, 511 - y, 1024, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                                 picture->PixelPtr(0, y));
                vexel::SavePNGPixmap(*picture, vexel::FromUtf8(save_path), 6);
                break;
            }
            // Show the frame just drawn and take in the window's events.
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
