#pragma once
#include <cstdint>

namespace mt::graphics {

// One row of pixels of a texture level: row y starts at pixel index pitch x y.
struct LevelBuffer {
    void* pixels = nullptr;
    int32_t pitch = 0;  // in pixels, not bytes
};

// The colours that palettized pixels index. The entries are pixels of one plain format (1-4, 6-10, 15),
// stored one after the other.
class Palette {
  public:
    // A palette of count entries in the given entry format, all zero. An entry format without a layout
    // allocates nothing; so does a failed allocation (then the count is 0 as well).
    Palette(int32_t count, int32_t entryFormat);
    Palette(const Palette& other);
    Palette& operator=(const Palette& other);
    ~Palette();

    int32_t getCount() const { return count; }
    int32_t getByteSize() const { return byteSize; }
    int32_t getEntryFormat() const { return entryFormat; }
    uint8_t* getData() { return data; }
    const uint8_t* getData() const { return data; }

  private:
    void assign(int32_t newCount, int32_t newFormat, const uint8_t* source);

    int32_t count = 0;
    int32_t byteSize = 0;
    int32_t entryFormat = 0;
    uint8_t* data = nullptr;
};

}  // namespace mt::graphics
