#pragma once

// A frame drawn the same way on every platform, and the pixels of frames: read back from the
// current context or from a PPM file (what grim writes).

#include <cstdint>
#include <string>
#include <vector>

namespace vexel::testing {

// Pixels as 0xFFRRGGBB, row 0 at the top.
struct Frame {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int32_t x, int32_t y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

// Draws shapes, lines, text and an image of the source tree into the current 320×200 context.
void DrawReferenceFrame();

// The current context's back buffer with what was drawn so far, alpha set.
Frame ReadBackBuffer();

// A binary PPM (P6, 8 bits a channel); an empty frame when it cannot be read.
Frame ReadPpm(const std::string& path);
void WritePpm(const std::string& path, const Frame& frame);

// A 32-bit TGA of `pixels` (0xAARRGGBB, row 0 at the top), stored bottom row first, which
// the loader chain reads whatever the file is called.
void WriteTga(const std::string& path, int32_t width, int32_t height,
              const std::vector<uint32_t>& pixels);

// `base`.tga, an 8×8 red picture, and `base`@2x.tga, 16×16 one-pixel checkers.
void WriteCheckeredPictures(const std::string& base);
// The colour of the checkers at (x, y): white where x + y is even, else black.
uint32_t CheckerAt(int32_t x, int32_t y);

}  // namespace vexel::testing
