#pragma once
#include <cstdint>

#include "mt/graphics/SoftwareBlend.h"

// Run-draw functions of packed texture data: one run of pixels written into a destination row, forwards or
// (mirrored) backwards, by the blend mode. The destination has the texture's pixel format.
namespace mt::graphics::packed {

struct RunContext {
    // Constant alpha (0-255 for ARGB_8888 and RGB_565, 0-15 for ARGB_4444), the target's tables and the
    // 32-bit colour table.
    blend::Context base;
    // A 16-bit colour table (entries of the texture's format) for colour-indexed 16-bit pixels.
    const uint16_t* table16 = nullptr;
    uint32_t table16Count = 0;
    // The colour of the modulated copy (mode 4), 0xRRGGBB.
    uint32_t modulation = 0;
};

// dst: first destination pixel; step: bytes from one destination pixel to the next (negative when
// mirrored); src: count stored pixels.
using RunFunction = void (*)(uint8_t* dst, int step, const uint8_t* src, int count, const RunContext& c);

// The run function for a pixel format (ARGB_8888, RGB_565 or ARGB_4444), a blend mode and a run kind
// (partial: the partly transparent run of packed-alpha data). Modes by format:
//   ARGB_8888: 0 copy, 1 constant alpha, 2 source alpha (on R, G, B and A), 3 additive, 4 modulated copy;
//   RGB_565: 1 constant alpha (also at 255: d + (s - d) x 255 / 256), 3 additive, any other copy;
//   ARGB_4444: 0 copy, 1 constant alpha through the blend table, 2 source alpha through the blend table,
//   3 additive.
// Partly transparent pixels are always blended by their own alpha (times the constant alpha from mode 1
// on). Colour-indexed ARGB_8888 pixels blend their table entry's colour by their own alpha. Other modes draw
// as mode 0. Null for any other format.
RunFunction selectRun(int32_t format, int mode, bool partial, bool colorTable);

}  // namespace mt::graphics::packed
