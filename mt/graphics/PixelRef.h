#pragma once
#include <cstdint>

namespace mt::graphics {

class Texture;

// A reference to one pixel of any format: the byte that holds it, the pixel's position inside that byte for
// the sub-byte formats, and the texture whose palette palettized pixels index. A value type, made where it
// is used and never stored.
class PixelRef {
  public:
    PixelRef(void* bytes, int32_t format, Texture* texture = nullptr, int32_t subIndex = 0)
        : subIndex(subIndex), format(format), bytes(static_cast<uint8_t*>(bytes)), texture(texture) {}

    // The pixel i places further on (counted from this one's byte; sub-byte formats count from its first
    // pixel). Formats without a layout (18-25) always address the first byte.
    PixelRef at(int64_t i) const;

    // The pixel as 8-bit channels; narrower fields are expanded as v x 255 / (2^n - 1). Palettized pixels
    // read their palette entry; an index outside the palette, or a texture without one, reads (0, 0, 0, 0).
    void readRGBA(int& r, int& g, int& b, int& a) const;
    // Stores 8-bit channels (truncating) in the pixel's layout; palettized, compressed and layout-less
    // formats are left untouched.
    void writeRGBA(int r, int g, int b, int a) const;
    // Stores the low bits of a raw value that the format holds: 32 bits, 24, 16, 8, a nibble or a bit pair.
    void writeRaw(uint32_t value) const;
    // The raw value that writeRaw would store (0 for formats without a layout).
    uint32_t readRaw() const;

    uint8_t* getBytes() const { return bytes; }
    int32_t getFormat() const { return format; }
    int32_t getSubIndex() const { return subIndex; }

  private:
    int32_t subIndex;
    int32_t format;
    uint8_t* bytes;
    Texture* texture;
};

}  // namespace mt::graphics
