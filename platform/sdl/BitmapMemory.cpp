#include <new>

#include "platform/Bitmap.h"

// Without a host object for bitmaps, the pixels are a plain zero-filled block.
namespace platform {

bool Bitmap::allocate(const BitmapInfoHeader&) {
    const size_t words = static_cast<size_t>(width_) * static_cast<size_t>(height_);
    pixels_ = new (std::nothrow) uint32_t[words]();
    return pixels_ != nullptr;
}

Bitmap::~Bitmap() {
    delete[] pixels_;
}

}  // namespace platform
