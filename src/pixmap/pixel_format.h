#pragma once

#include "runtime/cxx_standard.h"

#include <cstdint>

namespace vexel {

// Pixel formats. Every conversion passes through PIXEL_RGBA32; 0 is "no format".
inline constexpr int32_t PIXEL_GREY8 = 1;         // grey
inline constexpr int32_t PIXEL_ALPHA8 = 2;        // alpha over white
inline constexpr int32_t PIXEL_BGR24 = 3;         // blue, green, red
inline constexpr int32_t PIXEL_RGB24 = 4;         // red, green, blue
inline constexpr int32_t PIXEL_BGRA32 = 5;        // blue, green, red, alpha
inline constexpr int32_t PIXEL_RGBA32 = 6;        // red, green, blue, alpha
inline constexpr int32_t PIXEL_RED8 = 7;          // red
inline constexpr int32_t PIXEL_GREEN8 = 8;        // green
inline constexpr int32_t PIXEL_BLUE8 = 9;         // blue
inline constexpr int32_t PIXEL_BLACKALPHA8 = 10;  // alpha over black
inline constexpr int32_t PIXEL_INTENSITY8 = 11;   // red = green = blue = alpha
inline constexpr int32_t PIXEL_LUMINANCE8 = 12;   // red = green = blue
inline constexpr int32_t PIXEL_FORMAT_COUNT = 13;

// Bytes of one pixel and bits of alpha, indexed by format 0..12.
inline constexpr int32_t PixelFormatBytes[PIXEL_FORMAT_COUNT] = {0, 1, 1, 3, 3, 4, 4,
                                                                 1, 1, 1, 1, 1, 1};
inline constexpr int32_t PixelFormatAlphaBits[PIXEL_FORMAT_COUNT] = {0, 0, 8, 0, 0, 8, 8,
                                                                     0, 0, 0, 8, 0, 0};

// A format in range whose pixels carry alpha.
inline constexpr bool PixelFormatHasAlpha(int32_t format) {
    return format >= 0 && format < PIXEL_FORMAT_COUNT && PixelFormatAlphaBits[format] > 0;
}

// "PIXEL_RGB24" and so on, for messages; "PIXEL_NONE" for 0 and anything out of range.
const char* PixelFormatName(int32_t format);

// Bytes per pixel of any int; 0 outside 0..12.
inline int32_t BytesPerPixel(int32_t format) {
    return format >= 0 && format < PIXEL_FORMAT_COUNT ? PixelFormatBytes[format] : 0;
}

// Row operations over `count` pixels. Source and destination must not overlap, except that
// CopyPixelRow tolerates it and a row may be converted onto itself between PIXEL_BGRA32 and
// PIXEL_RGBA32. Formats outside 1..12 expand to zero words and pack nothing.
//
// Copies a row in one format.
void CopyPixelRow(const void* src, void* dst, int32_t format, int32_t count);
// Converts a row from one format to another.
void ConvertPixelRow(const void* src, int32_t src_format, void* dst, int32_t dst_format,
                     int32_t count);
// Converts a row to PIXEL_RGBA32, and from PIXEL_RGBA32.
// @{
void ExpandRowToRGBA(const void* src, void* dst, int32_t src_format, int32_t count);
void PackRowFromRGBA(const void* src, void* dst, int32_t dst_format, int32_t count);
// @}

}  // namespace vexel
