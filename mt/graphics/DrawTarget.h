#pragma once
#include <cstdint>

namespace mt::graphics {

// What a renderer tells software texture data about the destination it draws into: its blend tables and
// the clip rectangle (left and top inclusive, right and bottom exclusive, in pixels). The destination's
// pixel format is the texture's own (32-bit data draws into 32-bit pixels, 16-bit into 16-bit).
struct DrawTarget {
    // 256 x 256 bytes, indexed [alpha * 256 + channel]: what an additive draw adds to a channel.
    const uint8_t* additiveTable = nullptr;
    // 65536 16-bit values indexed [alpha4 << 12 | rgb12]: a 4-4-4 colour weighted by a 4-bit alpha; two
    // looked-up values (source weighted by alpha, destination by 15 - alpha) add up to the blend.
    const uint16_t* blendTable16 = nullptr;
    int32_t clipRight = 0;
    int32_t clipLeft = 0;
    int32_t clipTop = 0;
    int32_t clipBottom = 0;
};

// The tables used when a target brings none: additive[a][c] = c x a / 255, and the 4-bit blend table with
// each channel weighted by a / 15 (alpha nibble 0). Built once, shared, never freed.
const uint8_t* defaultAdditiveTable();
const uint16_t* defaultBlendTable16();

}  // namespace mt::graphics
