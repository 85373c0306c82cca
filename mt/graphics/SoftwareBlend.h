#pragma once
#include <cstdint>
#include <cstring>

// Per-pixel rules of the software blitters, shared by the raw and rotated texture data. 32-bit pixels are
// ARGB_8888 words; 16-bit pixels are RGB_565 or ARGB_4444 words.
namespace mt::graphics::blend {

struct Context {
    int alpha = 255;                       // constant alpha: 0-255 for 32-bit, 0-15 for 16-bit pixels
    const uint8_t* additive = nullptr;     // 256 x 256, [alpha * 256 + channel]
    const uint16_t* table16 = nullptr;     // 65536, [alpha4 << 12 | rgb12]
    const uint32_t* colorTable = nullptr;  // 32-bit entries selected by a pixel's low 12 bits
    uint32_t colorTableCount = 0;
};

// The colour-table entry at a colour-indexed pixel's low 12 bits (the pixel itself past the table).
inline uint32_t tableEntry(uint32_t s, const Context& c) {
    const uint32_t index = s & 0xFFFu;
    return index < c.colorTableCount ? c.colorTable[index] : s;
}

// A colour-indexed pixel's colour for blending: R, G and B from its table entry, alpha from the pixel,
// whose alpha field is a real channel.
inline uint32_t indexedColour(uint32_t s, const Context& c) {
    return (tableEntry(s, c) & 0x00FFFFFFu) | (s & 0xFF000000u);
}

// d + (s - d) x a / 256 on one 8-bit channel at the given shift.
inline uint32_t mixChannel(uint32_t s, uint32_t d, int a, int shift) {
    const int sc = static_cast<int>((s >> shift) & 0xFF);
    const int dc = static_cast<int>((d >> shift) & 0xFF);
    return static_cast<uint32_t>(dc + (((sc - dc) * a) >> 8)) << shift;
}

inline uint32_t mixRGB(uint32_t s, uint32_t d, int a) {
    return mixChannel(s, d, a, 16) | mixChannel(s, d, a, 8) | mixChannel(s, d, a, 0);
}

// Blend modes of 32-bit pixels: 0 copy, 1 constant alpha, 2 source alpha, 3 additive. A colour-indexed
// pixel is replaced by its table entry in mode 0 and blends with the entry's colour and its own alpha
// otherwise.
template <int Mode>
inline uint32_t pixel32(uint32_t s, uint32_t d, const Context& c) {
    if (c.colorTable)
        s = Mode == 0 ? tableEntry(s, c) : indexedColour(s, c);
    if constexpr (Mode == 0) {
        (void)d;
        return s;
    } else if constexpr (Mode == 1) {
        return c.alpha == 255 ? s : mixRGB(s, d, c.alpha);
    } else if constexpr (Mode == 2) {
        int a = static_cast<int>(s >> 24);
        if (c.alpha != 255)
            a = (a * c.alpha) >> 8;
        const uint32_t rgb = mixRGB(s, d, a);
        return rgb | (c.alpha == 255 ? (d & 0xFF000000u) : mixChannel(s, d, a, 24));
    } else {
        const uint8_t* row = c.additive + c.alpha * 256;
        uint32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            uint32_t v = ((d >> shift) & 0xFF) + row[(s >> shift) & 0xFF];
            out |= (v > 255 ? 255u : v) << shift;
        }
        return out;
    }
}

// Blend modes of 16-bit pixels: 0-2 through the 4-bit blend table (a copy at constant alpha 15), 3
// additive per 4-bit channel.
template <int Mode>
inline uint16_t pixel16(uint16_t s, uint16_t d, const Context& c) {
    if constexpr (Mode == 3) {
        uint32_t out = 0;
        for (int shift = 0; shift <= 8; shift += 4) {
            uint32_t v = ((d >> shift) & 0xFu) + ((s >> shift) & 0xFu) * static_cast<uint32_t>(c.alpha) / 15u;
            out |= (v > 15 ? 15u : v) << shift;
        }
        return static_cast<uint16_t>(out);
    } else {
        if (c.alpha >= 15)
            return s;
        return static_cast<uint16_t>(c.table16[static_cast<uint32_t>(c.alpha) << 12 | (s & 0xFFFu)] +
                                     c.table16[static_cast<uint32_t>(15 - c.alpha) << 12 | (d & 0xFFFu)]);
    }
}

// Pixels of a row are read and written byte-wise through memcpy, so rows need no alignment.
inline uint32_t load32(const void* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void store32(void* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}
inline uint16_t load16(const void* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void store16(void* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}

template <int Mode>
void row32(uint8_t* dst, const uint8_t* src, int count, const Context& c) {
    if constexpr (Mode == 0) {
        if (!c.colorTable) {
            std::memcpy(dst, src, static_cast<size_t>(count) * 4);
            return;
        }
    }
    for (int i = 0; i < count; ++i)
        store32(dst + 4 * i, pixel32<Mode>(load32(src + 4 * i), load32(dst + 4 * i), c));
}

template <int Mode>
void row16(uint8_t* dst, const uint8_t* src, int count, const Context& c) {
    if constexpr (Mode != 3) {
        if (c.alpha >= 15) {
            std::memcpy(dst, src, static_cast<size_t>(count) * 2);
            return;
        }
    }
    for (int i = 0; i < count; ++i)
        store16(dst + 2 * i, pixel16<Mode>(load16(src + 2 * i), load16(dst + 2 * i), c));
}

using RowFunction = void (*)(uint8_t* dst, const uint8_t* src, int count, const Context& c);

inline RowFunction selectRow32(int mode) {
    switch (mode) {
        case 1:
            return row32<1>;
        case 2:
            return row32<2>;
        case 3:
            return row32<3>;
        default:
            return row32<0>;
    }
}

inline RowFunction selectRow16(int mode) {
    return mode == 3 ? row16<3> : row16<0>;
}

// Whether a pixel of the texture's format is fully transparent (skipped by sprite-style draws).
inline bool transparent32(uint32_t s) {
    return (s >> 24) == 0;
}
inline bool transparent16(uint16_t s, bool hasAlphaNibble) {
    return hasAlphaNibble ? (s >> 12) == 0 : s == 0;
}

}  // namespace mt::graphics::blend
