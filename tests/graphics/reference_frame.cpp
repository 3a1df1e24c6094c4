#include "reference_frame.h"

#include <GL/gl.h>

#include <fstream>
#include <iterator>

#include "graphics/gl/gl_vex2d_driver.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "runtime/string.h"
#include "support/test_support.h"

namespace vexel::testing {

void WriteTga(const std::string& path, int32_t width, int32_t height,
              const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2;  // uncompressed true colour
    bytes[12] = static_cast<uint8_t>(width), bytes[13] = static_cast<uint8_t>(width >> 8);
    bytes[14] = static_cast<uint8_t>(height), bytes[15] = static_cast<uint8_t>(height >> 8);
    bytes[16] = 32;
    bytes[17] = 8;  // alpha bits
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y * width + x)];
            for (const int shift : {0, 8, 16, 24})
                bytes.push_back(static_cast<uint8_t>(p >> shift));
        }
    }
    WriteFileBytes(path, bytes);
}

void DrawReferenceFrame() {
    SetClearColor(20, 40, 60);
    ClearScreen();
    SetDrawColor(255, 200, 0);
    DrawRectangle(10, 10, 100, 50);
    SetDrawColor(0, 255, 128);
    DrawLineSegment(0, 199, 319, 0, 1);
    SetDrawColor(255, 255, 255);
    DrawEllipse(150, 20, 80, 60);
    DrawString(u"Gr\u00FC\u00DFe aus Morvelle", 20, 120);
    const ImagePtr image = LoadImageFrom(FromUtf8(SourcePath("tests/pixmap/data/rgba.png")), 0);
    if (image) {
        DrawImageFrame(*image, 200, 150, 0);
        SetDrawScale(3, 3);
        DrawImageFrame(*image, 240, 150, 0);
        SetDrawScale(1, 1);
    }
}

Frame ReadBackBuffer() {
    SubmitGLVex2DDrawing();
    Frame frame;
    CurrentGraphics()->GetSurface(frame.width, frame.height);
    std::vector<uint8_t> rgba(static_cast<size_t>(frame.width) * frame.height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    for (int32_t y = 0; y < frame.height; ++y) {
        for (int32_t x = 0; x < frame.width; ++x) {
            const uint8_t* p =
                &rgba[(static_cast<size_t>(frame.height - 1 - y) * frame.width + x) * 4];
            frame.pixels[static_cast<size_t>(y) * frame.width + x] =
                0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
        }
    }
    return frame;
}

Frame ReadPpm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, most = 0;
    in >> magic >> width >> height >> most;
    in.get();
    Frame frame;
    if (!in || magic != "P6" || most != 255 || width <= 0 || height <= 0) return frame;
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.size() < static_cast<size_t>(width) * height * 3) return frame;
    frame.width = width;
    frame.height = height;
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(&bytes[i * 3]);
        frame.pixels.push_back(0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]);
    }
    return frame;
}

void WritePpm(const std::string& path, const Frame& frame) {
    std::string bytes =
        "P6\n" + std::to_string(frame.width) + " " + std::to_string(frame.height) + "\n255\n";
    for (const uint32_t p : frame.pixels) {
        bytes.push_back(static_cast<char>(p >> 16));
        bytes.push_back(static_cast<char>(p >> 8));
        bytes.push_back(static_cast<char>(p));
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

uint32_t CheckerAt(int32_t x, int32_t y) {
    return (x + y) % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u;
}

void WriteCheckeredPictures(const std::string& base) {
    WriteTga(base + ".tga", 8, 8, std::vector<uint32_t>(64, 0xFFFF0000u));
    std::vector<uint32_t> checkers;
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            checkers.push_back(CheckerAt(x, y));
    WriteTga(base + "@2x.tga", 16, 16, checkers);
}

}  // namespace vexel::testing
