#pragma once
#include <cstdint>

namespace mt::graphics {

// Pixel format codes. Channel letters run from the most significant bit of the little-endian pixel value
// to the least significant ("ARGB 8888": alpha in bits 31-24, blue in bits 7-0).
enum PixelFormat : int32_t {
    RGB_888 = 1,     // bytes B, G, R
    ARGB_8888 = 2,   // 32-bit word, bytes B, G, R, A
    RGB_565 = 3,     // 16-bit word
    ARGB_4444 = 4,   // 16-bit word
    PAL_8 = 5,       // one palette index per byte
    ARGB_1555 = 6,   // 16-bit word
    ABGR_8888 = 7,   // 32-bit word, bytes R, G, B, A
    BGR_888 = 8,     // bytes R, G, B
    BGR_565 = 9,     // 16-bit word
    ABGR_4444 = 10,  // 16-bit word
    PAL_4 = 11,      // two indices per byte, even pixel in the low nibble
    DXT1 = 12,       // 4x4 blocks of 8 bytes
    DXT3 = 13,       // 4x4 blocks of 16 bytes
    DXT5 = 14,       // 4x4 blocks of 16 bytes
    ABGR_1555 = 15,  // 16-bit word
    PAL_2 = 16,      // four indices per byte, pixel k in bits 2k and 2k+1
    PAL_5A3 = 17,    // palette index in bits 4-0, alpha level 0-7 in bits 7-5
    A_8 = 26,        // one 8-bit value
};

constexpr int32_t PIXEL_FORMAT_FIRST = 1;
constexpr int32_t PIXEL_FORMAT_LAST = 26;

// The descriptor of a pixel format: where each channel sits in the pixel value, how many low bits it lost
// against 8 bits, and the bytes per pixel.
struct PixelFormatInfo {
    int32_t format = 0;
    int32_t alphaShift = 0, redShift = 0, greenShift = 0, blueShift = 0;
    uint32_t alphaMask = 0, redMask = 0, greenMask = 0, blueMask = 0;
    int32_t alphaLoss = 0, redLoss = 0, greenLoss = 0, blueLoss = 0;
    int32_t bytesPerPixel = 0;
};

// The descriptor of a code; a code outside 1-26 gives a descriptor with only the code set.
PixelFormatInfo makePixelFormatInfo(int32_t format);

// "ARGB 8888", "RGB 565", "ARGB 4444", or "Unknown pixel format" for any other code.
const char* getPixelFormatName(int32_t format);

// Bytes per pixel of the descriptor (0 for codes without one).
int32_t getBytesPerPixel(int32_t format);

// True for codes 1-26.
bool isKnownPixelFormat(int32_t format);
// Formats whose pixels index a palette (5, 11, 16, 17).
bool isPalettized(int32_t format);
// The block-compressed formats 12, 13 and 14.
bool isDXT(int32_t format);
// Formats with a bit layout that writeRGBA fills: 1-4, 6-10, 15, 26.
bool isPlainFormat(int32_t format);
// Formats that a palette's entries may use: 1-4, 6-10, 15.
bool isPaletteEntryFormat(int32_t format);
// Formats whose pixels carry an alpha channel: 2, 4, 6, 7, 10, 15, 17.
bool formatHasAlpha(int32_t format);

// Bytes that a level of w x h pixels takes: w x h x bytes per pixel, halved for PAL_4 and DXT1 and quartered
// for PAL_2. DXT levels are rounded up to whole 4x4 blocks, so that a level of any size holds its blocks.
// Returns -1 for negative sizes or a result that does not fit in an int32.
int64_t levelByteSize(int32_t format, int32_t width, int32_t height);

}  // namespace mt::graphics
