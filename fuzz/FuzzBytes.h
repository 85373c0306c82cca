#pragma once
// Reads a fuzz input as a script: small numbers and pieces of text taken from the front, zeros once the
// bytes run out. Shared by the fuzz targets that decode operations from their input.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

class FuzzBytes {
  public:
    FuzzBytes(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool done() const { return position >= size; }
    size_t left() const { return size - position; }

    uint8_t byte() { return position < size ? data[position++] : 0; }
    uint32_t u16() {
        uint32_t low = byte();
        return low | static_cast<uint32_t>(byte()) << 8;
    }
    uint32_t u32() {
        uint32_t low = u16();
        return low | u16() << 16;
    }
    // Up to longest bytes of text, its length from the next byte.
    std::string text(size_t longest) {
        size_t length = byte() % (longest + 1);
        return take(length);
    }
    // The next count bytes (fewer at the end of the input).
    std::string take(size_t count) {
        if (count > left())
            count = left();
        std::string piece(reinterpret_cast<const char*>(data + position), count);
        position += count;
        return piece;
    }

  private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

}  // namespace fuzzing
