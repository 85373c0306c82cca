#include "mt/graphics/PixelRef.h"

#include "mt/graphics/Palette.h"
#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureData.h"

namespace mt::graphics {

namespace {

// Pixel values are little-endian in memory whatever the host.
inline uint32_t load16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}
inline uint32_t load24(const uint8_t* p) {
    return load16(p) | static_cast<uint32_t>(p[2]) << 16;
}
inline uint32_t load32(const uint8_t* p) {
    return load24(p) | static_cast<uint32_t>(p[3]) << 24;
}
inline void store16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void store24(uint8_t* p, uint32_t v) {
    store16(p, v);
    p[2] = static_cast<uint8_t>(v >> 16);
}
inline void store32(uint8_t* p, uint32_t v) {
    store24(p, v);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// Expands an n-bit field to 8 bits: v x 255 / (2^n - 1), truncating.
inline int expand(uint32_t v, int bits) {
    return static_cast<int>(v * 255u / ((1u << bits) - 1u));
}

inline uint32_t u8(int v) {
    return static_cast<uint32_t>(v) & 0xFFu;
}

}  // namespace

PixelRef PixelRef::at(int64_t i) const {
    switch (format) {
        case ARGB_8888:
        case ABGR_8888:
            return PixelRef(bytes + 4 * i, format, texture, 0);
        case RGB_888:
        case BGR_888:
            return PixelRef(bytes + 3 * i, format, texture, 0);
        case RGB_565:
        case ARGB_4444:
        case ARGB_1555:
        case BGR_565:
        case ABGR_4444:
        case ABGR_1555:
            return PixelRef(bytes + 2 * i, format, texture, 0);
        case PAL_8:
        case DXT3:
        case DXT5:
        case PAL_5A3:
        case A_8:
            return PixelRef(bytes + i, format, texture, 0);
        case PAL_4:
        case DXT1:
            return PixelRef(bytes + i / 2, format, texture, static_cast<int32_t>(i % 2));
        case PAL_2:
            return PixelRef(bytes + i / 4, format, texture, static_cast<int32_t>(i % 4));
        default:
            return PixelRef(bytes, format, texture, 0);
    }
}

uint32_t PixelRef::readRaw() const {
    switch (format) {
        case ARGB_8888:
        case ABGR_8888:
            return load32(bytes);
        case RGB_888:
        case BGR_888:
            return load24(bytes);
        case RGB_565:
        case ARGB_4444:
        case ARGB_1555:
        case BGR_565:
        case ABGR_4444:
        case ABGR_1555:
            return load16(bytes);
        case PAL_8:
        case PAL_5A3:
        case A_8:
            return bytes[0];
        case PAL_4:
            return (bytes[0] >> (subIndex * 4)) & 0xFu;
        case PAL_2:
            return (bytes[0] >> (subIndex * 2)) & 0x3u;
        default:
            return 0;
    }
}

void PixelRef::readRGBA(int& r, int& g, int& b, int& a) const {
    r = g = b = a = 0;
    uint32_t v;
    switch (format) {
        case RGB_888:
            b = bytes[0];
            g = bytes[1];
            r = bytes[2];
            a = 255;
            return;
        case BGR_888:
            r = bytes[0];
            g = bytes[1];
            b = bytes[2];
            a = 255;
            return;
        case ARGB_8888:
            v = load32(bytes);
            a = static_cast<int>(v >> 24);
            r = static_cast<int>((v >> 16) & 0xFF);
            g = static_cast<int>((v >> 8) & 0xFF);
            b = static_cast<int>(v & 0xFF);
            return;
        case ABGR_8888:
            v = load32(bytes);
            a = static_cast<int>(v >> 24);
            b = static_cast<int>((v >> 16) & 0xFF);
            g = static_cast<int>((v >> 8) & 0xFF);
            r = static_cast<int>(v & 0xFF);
            return;
        case RGB_565:
            v = load16(bytes);
            r = expand(v >> 11, 5);
            g = expand((v >> 5) & 0x3F, 6);
            b = expand(v & 0x1F, 5);
            a = 255;
            return;
        case BGR_565:
            v = load16(bytes);
            b = expand(v >> 11, 5);
            g = expand((v >> 5) & 0x3F, 6);
            r = expand(v & 0x1F, 5);
            a = 255;
            return;
        case ARGB_4444:
            v = load16(bytes);
            a = static_cast<int>((v >> 12) * 17);
            r = static_cast<int>(((v >> 8) & 0xF) * 17);
            g = static_cast<int>(((v >> 4) & 0xF) * 17);
            b = static_cast<int>((v & 0xF) * 17);
            return;
        case ABGR_4444:
            v = load16(bytes);
            a = static_cast<int>((v >> 12) * 17);
            b = static_cast<int>(((v >> 8) & 0xF) * 17);
            g = static_cast<int>(((v >> 4) & 0xF) * 17);
            r = static_cast<int>((v & 0xF) * 17);
            return;
        case ARGB_1555:
            v = load16(bytes);
            a = static_cast<int>((v >> 15) * 255);
            r = expand((v >> 10) & 0x1F, 5);
            g = expand((v >> 5) & 0x1F, 5);
            b = expand(v & 0x1F, 5);
            return;
        case ABGR_1555:
            v = load16(bytes);
            a = static_cast<int>((v >> 15) * 255);
            b = expand((v >> 10) & 0x1F, 5);
            g = expand((v >> 5) & 0x1F, 5);
            r = expand(v & 0x1F, 5);
            return;
        case A_8:
            r = g = b = a = bytes[0];
            return;
        case PAL_8:
        case PAL_4:
        case PAL_2:
        case PAL_5A3: {
            const uint32_t raw = readRaw();
            const uint32_t index = format == PAL_5A3 ? (raw & 0x1F) : raw;
            const Palette* palette = nullptr;
            if (texture && texture->getData())
                palette = texture->getData()->getPalette();
            // Entries are read in the palette's own format, which is never a palettized one, so this
            // recursion is one level deep; an index past the entries reads as zero.
            if (palette && palette->getData() && isPaletteEntryFormat(palette->getEntryFormat()) &&
                index < static_cast<uint32_t>(palette->getCount())) {
                const int32_t entryBytes = getBytesPerPixel(palette->getEntryFormat());
                if ((static_cast<int64_t>(index) + 1) * entryBytes <= palette->getByteSize()) {
                    PixelRef entry(const_cast<uint8_t*>(palette->getData()), palette->getEntryFormat());
                    entry.at(index).readRGBA(r, g, b, a);
                }
            }
            if (format == PAL_5A3)
                a = static_cast<int>((raw >> 5) * 255 / 7);
            return;
        }
        default:
            // Compressed formats and formats without a layout read as zero.
            return;
    }
}

void PixelRef::writeRGBA(int r, int g, int b, int a) const {
    const uint32_t R = u8(r), G = u8(g), B = u8(b), A = u8(a);
    switch (format) {
        case RGB_888:
            bytes[0] = static_cast<uint8_t>(B);
            bytes[1] = static_cast<uint8_t>(G);
            bytes[2] = static_cast<uint8_t>(R);
            return;
        case BGR_888:
            bytes[0] = static_cast<uint8_t>(R);
            bytes[1] = static_cast<uint8_t>(G);
            bytes[2] = static_cast<uint8_t>(B);
            return;
        case ARGB_8888:
            store32(bytes, A << 24 | R << 16 | G << 8 | B);
            return;
        case ABGR_8888:
            store32(bytes, A << 24 | B << 16 | G << 8 | R);
            return;
        case RGB_565:
            store16(bytes, (R >> 3) << 11 | (G >> 2) << 5 | (B >> 3));
            return;
        case BGR_565:
            store16(bytes, (B >> 3) << 11 | (G >> 2) << 5 | (R >> 3));
            return;
        case ARGB_4444:
            store16(bytes, (A >> 4) << 12 | (R >> 4) << 8 | (G >> 4) << 4 | (B >> 4));
            return;
        case ABGR_4444:
            store16(bytes, (A >> 4) << 12 | (B >> 4) << 8 | (G >> 4) << 4 | (R >> 4));
            return;
        case ARGB_1555:
            store16(bytes, (A >> 7) << 15 | (R >> 3) << 10 | (G >> 3) << 5 | (B >> 3));
            return;
        case ABGR_1555:
            store16(bytes, (A >> 7) << 15 | (B >> 3) << 10 | (G >> 3) << 5 | (R >> 3));
            return;
        case A_8:
            bytes[0] = static_cast<uint8_t>(A);
            return;
        default:
            return;
    }
}

void PixelRef::writeRaw(uint32_t value) const {
    switch (format) {
        case ARGB_8888:
        case ABGR_8888:
            store32(bytes, value);
            return;
        case RGB_888:
        case BGR_888:
            store24(bytes, value);
            return;
        case RGB_565:
        case ARGB_4444:
        case ARGB_1555:
        case BGR_565:
        case ABGR_4444:
        case ABGR_1555:
            store16(bytes, value);
            return;
        case PAL_8:
        case PAL_5A3:
        case A_8:
            bytes[0] = static_cast<uint8_t>(value);
            return;
        case PAL_4: {
            const int shift = subIndex * 4;
            bytes[0] = static_cast<uint8_t>((bytes[0] & ~(0xFu << shift)) | (value & 0xFu) << shift);
            return;
        }
        case PAL_2: {
            const int shift = subIndex * 2;
            bytes[0] = static_cast<uint8_t>((bytes[0] & ~(0x3u << shift)) | (value & 0x3u) << shift);
            return;
        }
        default:
            return;
    }
}

}  // namespace mt::graphics
