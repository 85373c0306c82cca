#include "mt/graphics/PixelFormat.h"

#include <cstdint>

namespace mt::graphics {

namespace {

PixelFormatInfo channels(int32_t format, const int32_t shifts[4], const uint32_t masks[4],
                         const int32_t losses[4], int32_t bytes) {
    PixelFormatInfo info;
    info.format = format;
    info.alphaShift = shifts[0];
    info.redShift = shifts[1];
    info.greenShift = shifts[2];
    info.blueShift = shifts[3];
    info.alphaMask = masks[0];
    info.redMask = masks[1];
    info.greenMask = masks[2];
    info.blueMask = masks[3];
    info.alphaLoss = losses[0];
    info.redLoss = losses[1];
    info.greenLoss = losses[2];
    info.blueLoss = losses[3];
    info.bytesPerPixel = bytes;
    return info;
}

}  // namespace

PixelFormatInfo makePixelFormatInfo(int32_t format) {
    struct Row {
        int32_t shifts[4];
        uint32_t masks[4];
        int32_t losses[4];
        int32_t bytes;
    };
    static const Row rgb888 = {{0, 16, 8, 0}, {0, 0xFF0000, 0xFF00, 0xFF}, {0, 0, 0, 0}, 3};
    static const Row argb8888 = {{24, 16, 8, 0}, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}, {0, 0, 0, 0}, 4};
    static const Row rgb565 = {{16, 11, 5, 0}, {0, 0xF800, 0x7E0, 0x1F}, {0, 3, 2, 3}, 2};
    static const Row argb4444 = {{12, 8, 4, 0}, {0xF000, 0xF00, 0xF0, 0xF}, {4, 4, 4, 4}, 2};
    static const Row argb1555 = {{15, 10, 5, 0}, {0x8000, 0x7C00, 0x3E0, 0x1F}, {0, 3, 3, 3}, 2};
    static const Row abgr8888 = {{24, 0, 8, 16}, {0xFF000000, 0xFF, 0xFF00, 0xFF0000}, {0, 0, 0, 0}, 4};
    static const Row bgr888 = {{0, 0, 8, 16}, {0, 0xFF, 0xFF00, 0xFF0000}, {0, 0, 0, 0}, 3};
    static const Row bgr565 = {{16, 0, 5, 11}, {0, 0x1F, 0x7E0, 0xF800}, {0, 3, 2, 3}, 2};
    static const Row abgr4444 = {{12, 0, 4, 8}, {0xF000, 0xF, 0xF0, 0xF00}, {4, 4, 4, 4}, 2};
    static const Row abgr1555 = {{15, 0, 5, 10}, {0x8000, 0x1F, 0x3E0, 0x7C00}, {0, 3, 3, 3}, 2};

    const Row* row = nullptr;
    switch (format) {
        case RGB_888:
            row = &rgb888;
            break;
        case ARGB_8888:
            row = &argb8888;
            break;
        case RGB_565:
            row = &rgb565;
            break;
        case ARGB_4444:
            row = &argb4444;
            break;
        case ARGB_1555:
            row = &argb1555;
            break;
        case ABGR_8888:
            row = &abgr8888;
            break;
        case BGR_888:
            row = &bgr888;
            break;
        case BGR_565:
            row = &bgr565;
            break;
        case ABGR_4444:
            row = &abgr4444;
            break;
        case ABGR_1555:
            row = &abgr1555;
            break;
        default:
            break;
    }
    if (row)
        return channels(format, row->shifts, row->masks, row->losses, row->bytes);

    PixelFormatInfo info;
    info.format = format;
    info.bytesPerPixel = getBytesPerPixel(format);
    return info;
}

const char* getPixelFormatName(int32_t format) {
    switch (format) {
        case ARGB_8888:
            return "ARGB 8888";
        case RGB_565:
            return "RGB 565";
        case ARGB_4444:
            return "ARGB 4444";
        default:
            return "Unknown pixel format";
    }
}

int32_t getBytesPerPixel(int32_t format) {
    switch (format) {
        case RGB_888:
        case BGR_888:
            return 3;
        case ARGB_8888:
        case ABGR_8888:
            return 4;
        case RGB_565:
        case ARGB_4444:
        case ARGB_1555:
        case BGR_565:
        case ABGR_4444:
        case ABGR_1555:
            return 2;
        case PAL_8:
        case PAL_4:
        case DXT1:
        case DXT3:
        case DXT5:
        case PAL_2:
        case PAL_5A3:
        case A_8:
            return 1;
        // Codes without a layout carry only their size.
        case 18:
        case 19:
            return 0;
        case 20:
            return 16;
        case 21:
        case 22:
            return 8;
        case 23:
        case 24:
            return 4;
        case 25:
            return 2;
        default:
            return 0;
    }
}

bool isKnownPixelFormat(int32_t format) {
    return format >= PIXEL_FORMAT_FIRST && format <= PIXEL_FORMAT_LAST;
}

bool isPalettized(int32_t format) {
    return format == PAL_8 || format == PAL_4 || format == PAL_2 || format == PAL_5A3;
}

bool isDXT(int32_t format) {
    return format == DXT1 || format == DXT3 || format == DXT5;
}

bool isPaletteEntryFormat(int32_t format) {
    switch (format) {
        case RGB_888:
        case ARGB_8888:
        case RGB_565:
        case ARGB_4444:
        case ARGB_1555:
        case ABGR_8888:
        case BGR_888:
        case BGR_565:
        case ABGR_4444:
        case ABGR_1555:
            return true;
        default:
            return false;
    }
}

bool isPlainFormat(int32_t format) {
    return isPaletteEntryFormat(format) || format == A_8;
}

bool formatHasAlpha(int32_t format) {
    switch (format) {
        case ARGB_8888:
        case ARGB_4444:
        case ARGB_1555:
        case ABGR_8888:
        case ABGR_4444:
        case ABGR_1555:
        case PAL_5A3:
            return true;
        default:
            return false;
    }
}

int64_t levelByteSize(int32_t format, int32_t width, int32_t height) {
    if (width < 0 || height < 0)
        return -1;
    int64_t bytes;
    if (isDXT(format)) {
        const int64_t blocks =
            ((static_cast<int64_t>(width) + 3) / 4) * ((static_cast<int64_t>(height) + 3) / 4);
        bytes = blocks * (format == DXT1 ? 8 : 16);
    } else {
        const int64_t pixels = static_cast<int64_t>(width) * height;
        // Sub-byte formats round up so that the last pixel's bits have a byte to live in.
        if (format == PAL_4)
            bytes = (pixels + 1) >> 1;
        else if (format == PAL_2)
            bytes = (pixels + 3) >> 2;
        else
            bytes = pixels * getBytesPerPixel(format);
    }
    return bytes > INT32_MAX ? -1 : bytes;
}

}  // namespace mt::graphics
