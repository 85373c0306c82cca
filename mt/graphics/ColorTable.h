#pragma once
#include <cstdint>
#include <cstdlib>

namespace mt::graphics {

// A table of colours that colour-indexed pixels select with their low 12 bits. Entries of format
// ARGB_8888 are 32-bit words, those of the 16-bit formats 16-bit words. The record owns its entries
// (allocated with malloc).
struct ColorTable {
    int32_t count = 0;
    int32_t format = 0;
    void* entries = nullptr;
    int32_t value = 0;

    ColorTable() = default;
    ColorTable(const ColorTable&) = delete;
    ColorTable& operator=(const ColorTable&) = delete;
    ~ColorTable() { std::free(entries); }
};

}  // namespace mt::graphics
