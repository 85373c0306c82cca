#include "mt/graphics/Palette.h"

#include <cstring>
#include <new>

#include "mt/graphics/PixelFormat.h"

namespace mt::graphics {

namespace {

// Entry bytes for a palette of count entries: 3 for formats 1 and 8, 4 for 2 and 7, 2 for the 16-bit ones.
int32_t entryBytes(int32_t format) {
    return isPaletteEntryFormat(format) ? getBytesPerPixel(format) : 0;
}

}  // namespace

Palette::Palette(int32_t count, int32_t entryFormat) {
    assign(count, entryFormat, nullptr);
}

Palette::Palette(const Palette& other) {
    assign(other.count, other.entryFormat, other.data);
}

Palette& Palette::operator=(const Palette& other) {
    if (this != &other)
        assign(other.count, other.entryFormat, other.data);
    return *this;
}

Palette::~Palette() {
    delete[] data;
}

void Palette::assign(int32_t newCount, int32_t newFormat, const uint8_t* source) {
    delete[] data;
    data = nullptr;
    entryFormat = newFormat;
    count = newCount > 0 ? newCount : 0;
    const int64_t bytes = static_cast<int64_t>(count) * entryBytes(newFormat);
    byteSize = 0;
    if (bytes <= 0)
        return;
    if (bytes > INT32_MAX || !(data = new (std::nothrow) uint8_t[bytes]())) {
        count = 0;
        return;
    }
    byteSize = static_cast<int32_t>(bytes);
    if (source)
        std::memcpy(data, source, static_cast<size_t>(bytes));
}

}  // namespace mt::graphics
