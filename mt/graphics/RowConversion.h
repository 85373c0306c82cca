#pragma once
#include <cstddef>
#include <cstdint>

// Whole-row conversions to ARGB_8888 for the pictures that convert exactly (no channel narrows, so no
// rounding error is ever carried). The converter and the PNG loader share them, so that a picture
// converted while it is decoded is byte for byte the one the converter makes afterwards.
namespace mt::graphics {

// How a row conversion may run: the portable loop, SSE2, or the SSSE3 byte shuffle.
enum class RowPath { PLAIN, SSE2, SSSE3 };

// The fastest path this processor runs (decided once, at the first call).
RowPath fastestRowPath();

// ABGR_8888 pixels (bytes R, G, B, A) to ARGB_8888 (bytes B, G, R, A): red and blue change places. in and
// out must not overlap. Every path gives the same bytes. Stores go through the cache: a new picture's pages
// have just been cleared there by the system, and writing past the cache would evict them first.
void convertRowABGRtoARGB(const uint8_t* in, uint8_t* out, size_t width, RowPath path);

// BGR_888 pixels (bytes R, G, B) to ARGB_8888 with alpha 255. Reads no byte past the row's end.
void convertRowBGRtoARGB(const uint8_t* in, uint8_t* out, size_t width);

}  // namespace mt::graphics
