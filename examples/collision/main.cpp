// Pixel-accurate collision with Vexel: two images turn, one in the middle and one that
// follows the mouse (or circles by itself until the mouse moves). ImagesOverlapTransformed
// tells whether an opaque pixel of one lies on an opaque pixel of the other, each under its
// own rotation and scale; transparent corners never count. A hit turns both red.
//
// Escape ends. With two arguments, N and a path, the program saves frame N as a PNG file
// and ends.
//
// RunProgram makes the program's own folder the working folder: files it reads by a relative
// path are looked up beside the executable (vexel::LaunchDir() is where it was started).

#include <vexel/graphics/collision.h>
#include <vexel/graphics/graphics.h>
#include <vexel/graphics/image.h>
#include <vexel/graphics/vex2d.h>
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

namespace {

// A white cross of two bars on a transparent square: most of its bounding box is empty,
// which is what a rectangle test would get wrong.
vexel::PixmapPtr Cross(int size, int thickness) {
    auto pixmap = vexel::NewPixmap(size, size, vexel::PIXEL_RGBA32, 4);
    const int from = (size - thickness) / 2, to = from + thickness;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool bar = (x >= from && x < to) || (y >= from && y < to);
            pixmap->WritePixel(x, y, bar ? -1 : 0);  // -1 is opaque white, 0 transparent
        }
    return pixmap;
}

// A white ring: hits only on its rim, never in the hole.
vexel::PixmapPtr Ring(int size, float inner) {
    auto pixmap = vexel::NewPixmap(size, size, vexel::PIXEL_RGBA32, 4);
    const float middle = static_cast<float>(size - 1) / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float d =
                std::hypot(static_cast<float>(x) - middle, static_cast<float>(y) - middle);
            pixmap->WritePixel(x, y, d <= middle && d >= inner ? -1 : 0);
        }
    return pixmap;
}

}  // namespace

int main(int argc, char** argv) {
    vexel::RunProgram(argc, argv, [argc, argv] {
        const int save_frame = argc > 2 ? std::atoi(argv[1]) : -1;
        const std::string save_path = argc > 2 ? argv[2] : "";
        vexel::SetAppTitle(u"Vexel – Kollision");
        if (!vexel::OpenGraphics(640, 400, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }
        // Images made from pixmaps keep the pixmap as the mask collision reads. With the
        // mid handle on, an image is drawn and turned around its centre.
        vexel::SetAutoMidHandle(1);
        const vexel::ImagePtr cross = vexel::LoadImageFrom(Cross(200, 24), 0);
        const vexel::ImagePtr ring = vexel::LoadImageFrom(Ring(90, 30), 0);

        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        int hits = 0;
        bool mouse_moved = false;
        for (int frame = 0; !vexel::KeyWasHit(vexel::KEY_ESCAPE); ++frame) {
            if (vexel::AppTerminateRequested()) break;
            const float t = static_cast<float>(frame);
            const float cross_turn = t * 0.8f, ring_turn = -t * 2.0f;
            const float ring_scale = 1.0f + 0.25f * std::sin(t * 0.05f);
            // The ring circles the cross until the mouse moves, then follows the mouse. (The
            // first delta is the position itself, so frame 0 only takes it.)
            const int32_t dx = vexel::MouseXDelta(), dy = vexel::MouseYDelta();
            mouse_moved = mouse_moved || (frame > 0 && (dx != 0 || dy != 0));
            float rx = 320 + 170 * std::cos(t * 0.021f), ry = 200 + 110 * std::sin(t * 0.033f);
            if (mouse_moved) {
                rx = static_cast<float>(vexel::MouseXPos());
                ry = static_cast<float>(vexel::MouseYPos());
            }

            // The test: each image at its position, rotation (degrees) and scale, frame 0.
            const bool hit =
                vexel::ImagesOverlapTransformed(*cross, 320, 200, 0, cross_turn, 1, 1, *ring, rx,
                                                ry, 0, ring_turn, ring_scale, ring_scale) != 0;
            hits += hit ? 1 : 0;

            vexel::SetClearColor(20, 36, 30);
            vexel::ClearScreen();
            vexel::SetDrawBlend(vexel::BlendAlpha);
            // Drawing uses the same rotation and scale as the test, so what you see is what
            // was tested. The draw colour tints the white images.
            vexel::SetDrawColor(hit ? 255 : 230, hit ? 60 : 230, hit ? 60 : 120);
            vexel::SetDrawTransform(cross_turn, 1, 1);
            vexel::DrawImageFrame(*cross, 320, 200, 0);
            vexel::SetDrawColor(hit ? 255 : 120, hit ? 60 : 200, hit ? 60 : 255);
            vexel::SetDrawTransform(ring_turn, ring_scale, ring_scale);
            vexel::DrawImageFrame(*ring, rx, ry, 0);
            vexel::SetDrawTransform(0, 1, 1);
            vexel::SetDrawColor(255, 255, 255);
            vexel::DrawString(hit ? u"Treffer!" : u"kein Treffer", 12, 12);
            vexel::DrawString(vexel::FromUtf8("Frames mit Treffer: " + std::to_string(hits)), 12,
                              32);
            if (frame == save_frame) {
                vexel::SavePNGPixmap(*vexel::GrabPixmapRect(0, 0, 640, 400),
                                     vexel::FromUtf8(save_path), 6);
                break;
            }
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        vexel::EndProgram();
    });
}
