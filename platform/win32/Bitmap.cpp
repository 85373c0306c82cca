#include "platform/Bitmap.h"

#include <windows.h>

#include <cstring>

// On Windows a bitmap is a DIB section made from the 40-byte header, so a dialog copies it to the screen
// with BitBlt from a memory device context.
namespace platform {

bool Bitmap::allocate(const BitmapInfoHeader& header) {
    BITMAPINFO info{};
    static_assert(sizeof(info.bmiHeader) == sizeof(header), "the header descriptions match");
    std::memcpy(&info.bmiHeader, &header, sizeof(header));
    info.bmiHeader.biSizeImage = 0;  // worked out by the system for an uncompressed bitmap
    void* bits = nullptr;
    HBITMAP handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (handle == nullptr || bits == nullptr) {
        if (handle != nullptr)
            DeleteObject(handle);
        return false;
    }
    // A new DIB section is zero-filled by the system.
    hostHandle_ = handle;
    pixels_ = static_cast<uint32_t*>(bits);
    return true;
}

Bitmap::~Bitmap() {
    if (hostHandle_ != nullptr)
        DeleteObject(static_cast<HBITMAP>(hostHandle_));
}

}  // namespace platform
