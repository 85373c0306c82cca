#include "platform/Bitmap.h"

#include <new>

namespace platform {

std::unique_ptr<Bitmap> Bitmap::create(const BitmapInfoHeader& header, void** pixels) {
    if (pixels != nullptr) {
        *pixels = nullptr;
    }
    if (header.size != 40 || header.planes != 1 || header.bitCount != 32 ||
        header.compression != kBitmapCompressionRgb) {
        return nullptr;
    }
    int64_t width = header.width;
    int64_t height = header.height < 0 ? -static_cast<int64_t>(header.height) : header.height;
    if (width <= 0 || height <= 0 || width > kBitmapMaxSide || height > kBitmapMaxSide) {
        return nullptr;
    }
    uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
    if (bytes > kBitmapMaxBytes) {
        return nullptr;
    }
    std::unique_ptr<Bitmap> bitmap(
        new (std::nothrow) Bitmap(static_cast<int>(width), static_cast<int>(height), header.height > 0));
    if (!bitmap || !bitmap->allocate(header)) {
        return nullptr;
    }
    if (pixels != nullptr) {
        *pixels = bitmap->pixels();
    }
    return bitmap;
}

}  // namespace platform
