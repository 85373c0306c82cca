#include "mt/graphics/PackedBlend.h"

#include <algorithm>
#include <cstring>

#include "mt/graphics/PixelFormat.h"

namespace mt::graphics::packed {

namespace {

using blend::load16;
using blend::load32;
using blend::store16;
using blend::store32;

// Plain copy of a run (no colour table, mode 0): one block copy forwards, pixel by pixel when mirrored.
template <int Bytes>
void copyRun(uint8_t* dst, int step, const uint8_t* src, int count, const RunContext&) {
    if (step > 0) {
        std::memcpy(dst, src, static_cast<size_t>(count) * Bytes);
        return;
    }
    for (int i = 0; i < count; ++i, dst += step, src += Bytes)
        std::memcpy(dst, src, Bytes);
}

// --- ARGB_8888 ---

// Modulated copy: k = min(255, R x G x B / 65536 + alpha); each colour channel c becomes
// min(255, c x colour_c / 256 + c x k / 256); alpha byte 0.
inline uint32_t modulate32(uint32_t s, const RunContext& c) {
    if (c.base.colorTable)
        s = blend::tableEntry(s, c.base);
    const uint32_t r = (s >> 16) & 0xFF, g = (s >> 8) & 0xFF, b = s & 0xFF;
    const uint32_t k = std::min<uint32_t>(255, (r * g * b) / 65536 + static_cast<uint32_t>(c.base.alpha));
    const uint32_t channels[3] = {r, g, b};
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
        const uint32_t tint = (c.modulation >> (16 - 8 * i)) & 0xFF;
        const uint32_t v = std::min<uint32_t>(255, channels[i] * tint / 256 + channels[i] * k / 256);
        out |= v << (16 - 8 * i);
    }
    return out;
}

// Mode 2 of packed data: blend by the source pixel's alpha a (a x alpha / 256 when the constant alpha is
// not 255) on R, G, B and A; colour-indexed pixels blend their entry's colour by their own alpha and leave
// alpha 0.
inline uint32_t sourceAlpha32(uint32_t s, uint32_t d, const blend::Context& c) {
    if (c.colorTable)
        s = blend::indexedColour(s, c);
    int a = static_cast<int>(s >> 24);
    if (c.alpha != 255)
        a = (a * c.alpha) >> 8;
    const uint32_t rgb = blend::mixRGB(s, d, a);
    return c.colorTable ? rgb : rgb | blend::mixChannel(s, d, a, 24);
}

template <int Mode, bool Partial>
void run32(uint8_t* dst, int step, const uint8_t* src, int count, const RunContext& c) {
    blend::Context k = c.base;
    if constexpr (Partial && Mode == 0)
        k.alpha = 255;
    for (int i = 0; i < count; ++i, dst += step, src += 4) {
        const uint32_t s = load32(src);
        uint32_t out;
        if constexpr (Mode == 4) {
            out = modulate32(s, c);
        } else if constexpr (Mode == 2) {
            out = sourceAlpha32(s, load32(dst), k);
        } else if constexpr (Partial && Mode < 3) {
            out = blend::pixel32<2>(s, load32(dst), k);
        } else {
            out = blend::pixel32<Mode>(s, load32(dst), k);
        }
        store32(dst, out);
    }
}

// --- ARGB_4444 ---

inline uint16_t resolve4444(uint16_t s, const RunContext& c) {
    if (!c.table16)
        return s;
    const uint32_t index = s & 0xFFFu;
    return index < c.table16Count ? static_cast<uint16_t>((s & 0xF000u) | (c.table16[index] & 0x0FFFu)) : s;
}

// The source weighted by a (0-15) plus the destination weighted by 15 - a, through the blend table.
inline uint16_t tableBlend(uint16_t s, uint16_t d, int a, const RunContext& c) {
    if (a >= 15)
        return s;
    if (a <= 0)
        return d;
    const uint16_t* t = c.base.table16;
    return static_cast<uint16_t>(t[static_cast<uint32_t>(a) << 12 | (s & 0xFFFu)] +
                                 t[static_cast<uint32_t>(15 - a) << 12 | (d & 0xFFFu)]);
}

template <int Mode, bool Partial>
void run4444(uint8_t* dst, int step, const uint8_t* src, int count, const RunContext& c) {
    for (int i = 0; i < count; ++i, dst += step, src += 2) {
        const uint16_t s = resolve4444(load16(src), c);
        uint16_t out;
        if constexpr (Mode == 3) {
            out = blend::pixel16<3>(s, load16(dst), c.base);
        } else if constexpr (Partial || Mode == 2) {
            // Mode 2 blends every pixel by its own alpha: packed-plain runs hold partly transparent pixels.
            const int constant = Mode == 0 ? 15 : c.base.alpha;
            out = tableBlend(s, load16(dst), (s >> 12) * constant / 15, c);
        } else if constexpr (Mode == 1) {
            out = blend::pixel16<0>(s, load16(dst), c.base);
        } else {
            out = s;
        }
        store16(dst, out);
    }
}

// --- RGB_565 ---

inline uint16_t expand444(uint16_t s) {
    const uint32_t r = (s >> 8) & 0xF, g = (s >> 4) & 0xF, b = s & 0xF;
    return static_cast<uint16_t>((r << 12 | (r >> 3) << 11) | (g << 7 | (g >> 2) << 5) | (b << 1 | b >> 3));
}

// d + (s - d) x a / 256 on the 5-, 6- and 5-bit fields.
inline uint16_t mix565(uint16_t s, uint16_t d, int a) {
    uint32_t out = 0;
    for (const uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu}) {
        const int sc = static_cast<int>(s & mask), dc = static_cast<int>(d & mask);
        out |= static_cast<uint32_t>(dc + (((sc - dc) * a) >> 8)) & mask;
    }
    return static_cast<uint16_t>(out);
}

// d + s x a / 256 on each field, capped at the field's maximum.
inline uint16_t add565(uint16_t s, uint16_t d, int a) {
    uint32_t out = 0;
    for (const uint32_t mask : {0xF800u, 0x07E0u, 0x001Fu})
        out |= std::min<uint32_t>(mask, (d & mask) + ((((s & mask) * static_cast<uint32_t>(a)) >> 8) & mask));
    return static_cast<uint16_t>(out);
}

template <int Mode, bool Partial>
void run565(uint8_t* dst, int step, const uint8_t* src, int count, const RunContext& c) {
    const int alpha = c.base.alpha;
    for (int i = 0; i < count; ++i, dst += step, src += 2) {
        const uint16_t stored = load16(src);
        uint16_t colour = stored;
        if (c.table16) {
            const uint32_t index = stored & 0xFFFu;
            if (index < c.table16Count)
                colour = c.table16[index];
        } else if constexpr (Partial) {
            colour = expand444(stored);
        }
        const uint16_t d = load16(dst);
        uint16_t out;
        if constexpr (Partial) {
            int a = (stored >> 12) * 17;
            if (Mode != 0 && alpha != 255)
                a = (a * alpha) >> 8;
            out = Mode == 3 ? add565(colour, d, a) : mix565(colour, d, a);
        } else if constexpr (Mode == 1) {
            out = mix565(colour, d, alpha);
        } else if constexpr (Mode == 3) {
            out = add565(colour, d, alpha);
        } else {
            out = colour;
        }
        store16(dst, out);
    }
}

}  // namespace

RunFunction selectRun(int32_t format, int mode, bool partial, bool colorTable) {
    switch (format) {
        case ARGB_8888:
            if (mode == 0 && !partial && !colorTable)
                return copyRun<4>;
            switch (mode) {
                case 1:
                    return partial ? run32<1, true> : run32<1, false>;
                case 2:
                    return partial ? run32<2, true> : run32<2, false>;
                case 3:
                    return partial ? run32<3, true> : run32<3, false>;
                case 4:
                    return partial ? run32<4, true> : run32<4, false>;
                default:
                    return partial ? run32<0, true> : run32<0, false>;
            }
        case ARGB_4444:
            if ((mode == 0 || mode > 3 || mode < 0) && !partial && !colorTable)
                return copyRun<2>;
            switch (mode) {
                case 1:
                    return partial ? run4444<1, true> : run4444<1, false>;
                case 2:
                    return partial ? run4444<2, true> : run4444<2, false>;
                case 3:
                    return partial ? run4444<3, true> : run4444<3, false>;
                default:
                    return partial ? run4444<0, true> : run4444<0, false>;
            }
        case RGB_565:
            if (mode != 1 && mode != 3 && !partial && !colorTable)
                return copyRun<2>;
            switch (mode) {
                case 1:
                    return partial ? run565<1, true> : run565<1, false>;
                case 3:
                    return partial ? run565<3, true> : run565<3, false>;
                default:
                    return partial ? run565<0, true> : run565<0, false>;
            }
        default:
            return nullptr;
    }
}

}  // namespace mt::graphics::packed
