#pragma once

#include <cstdint>

#ifndef VEXEL_AVX2_ROWS
#define VEXEL_AVX2_ROWS 0
#endif
#ifndef VEXEL_SSSE3_ROWS
#define VEXEL_SSSE3_ROWS 0
#endif
#ifndef VEXEL_AVX512_ROWS
#define VEXEL_AVX512_ROWS 0
#endif

namespace vexel {

// Row loops for processors with AVX2, in a unit of their own that is compiled for AVX2 on
// x86-64 (VEXEL_AVX2_ROWS is then 1). They are called only when UseAVX2() says so; the
// callers keep a plain loop for every other processor. None of them may be called unless
// UseAVX2() is true.

// True when the processor has AVX2 and the AVX2 loops have not been switched off.
bool UseAVX2();
// Switches the AVX2 loops off (or back on when the processor has them), so that tests can
// hold both paths to the same results.
void AllowAVX2(bool allowed);

// The same for the SSSE3 loops (byte shuffles), in a unit compiled for SSSE3 on x86-64
// (VEXEL_SSSE3_ROWS is then 1).
bool UseSSSE3();
void AllowSSSE3(bool allowed);

// The same for the AVX-512 loops, in a unit compiled for AVX-512F on x86-64
// (VEXEL_AVX512_ROWS is then 1).
bool UseAVX512();
void AllowAVX512(bool allowed);

// Three-byte pixels to RGBA words with alpha 255, bytes exchanged 0 <-> 2 when `reversed`
// (BGR24). They convert a whole number of blocks and never read past the pixels they
// convert; the return value is the count done, the rest is the caller's.
int32_t ExpandThreeSSSE3(const uint8_t* src, uint8_t* dst, int32_t count, bool reversed);
int32_t ExpandThreeAVX2(const uint8_t* src, uint8_t* dst, int32_t count, bool reversed);

// Exchanges red and blue of `count` pixels; src may equal dst.
void SwapRowAVX2(const uint8_t* src, uint8_t* dst, int32_t count);
// The same with non-temporal stores, for output that is not read again soon: its memory is
// written without being read into the cache first. src must not overlap dst.
void SwapRowStreamingAVX2(const uint8_t* src, uint8_t* dst, int32_t count);

// The horizontal blend of ScalePixmap for output columns begin..end-1, all of which have
// a right neighbour: for column x with o = offset[x] and t = fraction[4x],
// out[4x + k] = row[o + k] + (row[o + 4 + k] - row[o + k]) * t, in floats.
void BlendColumnsAVX2(const uint8_t* row, const int32_t* offset, const float* fraction,
                      int32_t begin, int32_t end, float* out);

// BlendColumnsAVX2 four columns per step, with the same arithmetic.
void BlendColumnsAVX512(const uint8_t* row, const int32_t* offset, const float* fraction,
                        int32_t begin, int32_t end, float* out);

// BlendRowsAVX2 sixteen values per step.
void BlendRowsAVX512(const float* top, const float* bottom, float ty, uint8_t* out, int32_t count);

// The vertical blend: out[i] = low byte of (int)(top[i] + (bottom[i] - top[i]) * ty), for
// values that lie in 0..255.
void BlendRowsAVX2(const float* top, const float* bottom, float ty, uint8_t* out, int32_t count);

}  // namespace vexel
