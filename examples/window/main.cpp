// Opens a 1024x512 window titled from the application title and clears it to a slowly
// changing colour at 60 frames a second, until Escape is pressed or the window is closed.

#include <GL/gl.h>

#include <cmath>
#include <cstdio>

#include "graphics/gl/gl_graphics.h"
#include "runtime/startup.h"
#include "system/polled_input.h"
#include "system/timer.h"

int main(int argc, char** argv) {
    vexel::RunProgram(argc, argv, [] {
        vexel::SetAppTitle(u"Vexel – Fenster");
        if (!vexel::OpenGLGraphics(1024, 512, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }
        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        int frame = 0;
        while (!vexel::KeyWasHit(27) && !vexel::AppTerminateRequested()) {
            const float phase = static_cast<float>(frame++) / 120.0f;
            glClearColor(0.5f + 0.5f * std::sin(phase), 0.3f, 0.5f + 0.5f * std::cos(phase),
                         1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
