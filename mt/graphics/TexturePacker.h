#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/TextureDataSW.h"

// Run-length packed frames. A packed frame holds, row by row, segments until their widths add up to the
// texture's width:
//   packed plain (storage 1): skip, n, n bytes of pixels;
//   packed alpha (storage 2): skip, count A, A bytes of partly transparent pixels, count B, B bytes of
//   opaque pixels.
// Every skip and count is a little-endian 32-bit word holding a byte count of the stored pixel size; the
// destination advances over skipped pixels without drawing them.
//
// RGB_565 has no alpha field, so the pixels of RGB_565 data that need one keep the ARGB_4444 layout: the
// partly transparent run of packed-alpha data, and every pixel of colour-indexed data (alpha nibble and a
// 12-bit colour-table index).
namespace mt::graphics {

// What the packer makes of a pixel.
enum PackedPixelClass : uint8_t {
    PIXEL_TRANSPARENT = 0,  // skipped
    PIXEL_PARTIAL = 1,      // alpha neither 0 nor the maximum: run A of packed-alpha data
    PIXEL_OPAQUE = 2,       // alpha at the maximum (without alpha field: a non-zero value)
};

// The layout in which a packed pixel of the given format is held (see above): ARGB_4444 for the RGB_565
// pixels that need alpha, else the format itself.
int32_t packedPixelFormat(int32_t format, bool colorIndexed, bool partial);

// Moves a pixel from one layout to another, channel by channel with mask and shift: a narrower field keeps
// its top bits, a wider one repeats the field's bits from the top down (5 bits abcde become abcdeabc, one bit
// becomes 0 or all ones), so that the largest value stays the largest. A source without alpha field gives the
// target's full alpha for a non-zero pixel and alpha 0 for the pixel 0. With colorIndexed only alpha moves
// and the low 12 bits (the colour-table index) are kept as they are.
uint32_t convertPixel(uint32_t pixel, const PixelFormatInfo& from, const PixelFormatInfo& to,
                      bool colorIndexed);

// convertPixel prepared once for many pixels of the same two layouts.
class PixelConversion {
  public:
    PixelConversion(const PixelFormatInfo& from, const PixelFormatInfo& to, bool colorIndexed);
    uint32_t operator()(uint32_t pixel) const {
        uint32_t out = alphaFromValue ? (pixel != 0 ? opaque : 0) : 0;
        for (int i = 0; i < channelCount; ++i) {
            const Channel& c = channels[i];
            out |= static_cast<uint32_t>(c.values[(pixel & c.fromMask) >> c.fromShift]) << c.toShift;
        }
        return indexed ? out | (pixel & 0xFFFu) : out;
    }

    // A field of fromBits bits widened or narrowed to toBits bits (both 1 to 8), as described above.
    static uint32_t resizeField(uint32_t value, int fromBits, int toBits);

  private:
    // One channel: cut out, looked up at the target's width, and put in place.
    struct Channel {
        uint32_t fromMask = 0;
        int fromShift = 0;
        int toShift = 0;
        uint8_t values[256] = {};
    };
    Channel channels[4];
    int channelCount = 0;
    bool alphaFromValue = false;
    uint32_t opaque = 0;
    bool indexed = false;
};

// The class of a pixel by its alpha field (without alpha field: 0 is transparent, anything else opaque).
PackedPixelClass classifyPixel(uint32_t pixel, const PixelFormatInfo& format);

// Reads and writes a pixel of 2 or 4 bytes.
inline uint32_t loadPixel(const uint8_t* p, int bytesPerPixel) {
    if (bytesPerPixel == 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void storePixel(uint8_t* p, int bytesPerPixel, uint32_t value) {
    if (bytesPerPixel == 4) {
        std::memcpy(p, &value, 4);
    } else {
        const uint16_t v = static_cast<uint16_t>(value);
        std::memcpy(p, &v, 2);
    }
}

// Unpacked pixels of a frame: width x height pixels of 2 or 4 bytes at a pitch in pixels, and optionally a
// class for every pixel (same pitch) that says which run a pixel belongs to.
struct PixelRect {
    uint8_t* pixels = nullptr;
    uint8_t* classes = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
};

// Packs one frame of pixels in `sourceFormat` (2 or 4 bytes per pixel) into `destFormat` (ARGB_8888,
// RGB_565 or ARGB_4444) with storage code 1 or 2 and appends it to out. Without classes each pixel is
// classified by its alpha; with them the classes decide (an unpacked RGB_565 frame keeps its partly
// transparent pixels in the ARGB_4444 layout). False, with nothing appended, for a format or storage code
// the packer does not handle.
bool packFrame(const PixelRect& source, int32_t sourceFormat, int32_t destFormat, int32_t storage,
               bool colorIndexed, std::vector<uint8_t>& out);

// One run of a packed row, already cut to the row's width.
struct PackedRun {
    int32_t row;
    int32_t column;
    int32_t count;
    const uint8_t* pixels;
    bool partial;  // run A of packed-alpha data
};

// Walks the one packed row that starts at pos (row number `row`), calling visit(const PackedRun&) for
// every run with at least one pixel inside the row's width, and leaves pos at the next row's start. False
// when the data is malformed: a count that is not a whole number of pixels or a segment that does not fit
// in the size bytes of data.
template <typename Visit>
bool walkPackedRow(const uint8_t* data, size_t size, size_t& pos, int32_t width, int32_t row,
                   uint32_t bytesPerPixel, int runsPerSegment, Visit&& visit) {
    auto word = [&](uint32_t& value) {
        if (size - pos < 4)
            return false;
        std::memcpy(&value, data + pos, 4);
        pos += 4;
        return true;
    };
    int64_t column = 0;
    while (column < width) {
        uint32_t skip;
        if (!word(skip) || skip % bytesPerPixel != 0)
            return false;
        column += skip / bytesPerPixel;
        for (int run = 0; run < runsPerSegment; ++run) {
            uint32_t bytes;
            if (!word(bytes) || bytes % bytesPerPixel != 0 || bytes > size - pos)
                return false;
            const int64_t count = bytes / bytesPerPixel;
            if (count > 0 && column < width) {
                const int64_t visible = count < width - column ? count : width - column;
                visit(PackedRun{row, static_cast<int32_t>(column), static_cast<int32_t>(visible), data + pos,
                                runsPerSegment == 2 && run == 0});
            }
            pos += bytes;
            column += count;
        }
    }
    return true;
}

// Walks rows 0 to rows - 1 of the packed frame that starts at offset, calling visit(const PackedRun&) for
// every run with at least one pixel inside the row. A segment that runs past the end of the row is cut at
// the row's end. Returns false when the data is malformed (see walkPackedRow). Runs before the malformed
// spot have been visited.
template <typename Visit>
bool walkPackedFrame(const uint8_t* data, size_t size, int64_t offset, int32_t width, int32_t rows,
                     int32_t bytesPerPixel, int32_t storage, Visit&& visit) {
    if (!data || offset < 0 || static_cast<uint64_t>(offset) > size || width <= 0 || bytesPerPixel <= 0)
        return rows <= 0;
    const int runsPerSegment = storage == STORAGE_PACKED_ALPHA ? 2 : 1;
    size_t pos = static_cast<size_t>(offset);
    for (int32_t row = 0; row < rows; ++row)
        if (!walkPackedRow(data, size, pos, width, row, static_cast<uint32_t>(bytesPerPixel), runsPerSegment,
                           visit))
            return false;
    return true;
}

// Unpacks the one row that starts at pos into out's first row (which the caller has cleared) like
// unpackFrame, and leaves pos at the next row's start; false when the data is malformed.
bool unpackRow(const uint8_t* data, size_t size, size_t& pos, int32_t bytesPerPixel, int32_t storage,
               const PixelRect& out);

// Unpacks the frame at offset into out (width x height of out, which the caller has cleared): every drawn
// pixel is stored as it is held and its class recorded when out has classes. False when the data is
// malformed (the pixels before the fault are unpacked).
bool unpackFrame(const uint8_t* data, size_t size, int64_t offset, int32_t bytesPerPixel, int32_t storage,
                 const PixelRect& out);

}  // namespace mt::graphics
