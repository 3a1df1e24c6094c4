#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "pixmap/internal/loader_support.h"
#include "pixmap/pixmap.h"
#include "stream/stream.h"

namespace vexel {

// The two ways the PNG loader decodes a file. The quick one takes the common kind of file
// whole from memory (8-bit grey, RGB or RGBA, not interlaced, no palette or transparency
// chunk) and inflates its image data in one go; every other file, and every file the quick
// one finds anything wrong with, goes to libpng, which decides what becomes of it. Both give
// the same pixels for a file both take.

// The picture of `file`, the bytes after the 8-byte signature, with `used` set to the bytes
// up to the end of its IEND chunk; null when the file is not of the common kind, is not of
// the `wanted` size (seen from the header) or breaks any rule (a chunk's length, name or
// CRC, the header's fields, the chunks' order, the zlib stream, a row's filter), and then
// libpng must decide.
PixmapPtr DecodePngQuickly(std::span<const uint8_t> file, size_t& used, WantedSize wanted = {});

// The bytes of the header chunk this many bytes after the signature.
inline constexpr size_t kPngHeaderChunkBytes = 25;

// Whether `file` (after the signature, at least its first kPngHeaderChunkBytes) starts with
// a header DecodePngQuickly takes, of the `wanted` size: a file it would not take need not
// be read whole.
bool TakesPngHeader(std::span<const uint8_t> file, WantedSize wanted = {});

// The picture libpng decodes from `stream`, which is at the start of the file (signature
// included); null when the file is not a PNG, libpng refuses it or its header gives another
// size than the `wanted` one. A stream exception raised while libpng reads is passed on
// once libpng has let go.
PixmapPtr DecodePngThroughLibpng(TStream& stream, WantedSize wanted = {});

// Undoes a row's filter: `in` holds `row_bytes` filtered bytes after the filter type byte
// `filter` (0 to 4), `prior` the row above as decoded (null for the first row), `out` gets
// the decoded row; `bpp` is the bytes of one pixel (1 to 4). False for a filter type above 4.
// `out` may lie before `in` in the same memory (each byte is read before any byte after it
// is written), but must not overlap `prior`.
bool UnfilterPngRow(uint8_t filter, const uint8_t* in, const uint8_t* prior, uint8_t* out,
                    size_t row_bytes, int bpp);

}  // namespace vexel
