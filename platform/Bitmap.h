#pragma once
#include <cstdint>
#include <memory>

// A 32-bit device-independent bitmap: pixel memory that the program fills and a dialog paints with a
// block copy (Dialog::blit).
namespace platform {

// The 40-byte bitmap header description, field for field.
struct BitmapInfoHeader {
    uint32_t size = 40;        // must be 40
    int32_t width = 0;         // pixels, > 0
    int32_t height = 0;        // pixels; positive: rows run bottom-up in memory, negative: top-down
    uint16_t planes = 1;       // must be 1
    uint16_t bitCount = 32;    // must be 32
    uint32_t compression = 0;  // must be 0 (uncompressed RGB)
    uint32_t sizeImage = 0;    // width * |height| * 4, or 0; ignored for uncompressed bitmaps
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "the header description is 40 bytes");

constexpr uint32_t kBitmapCompressionRgb = 0;
// Largest bitmap accepted: each side at most 32767 pixels and at most 256 MiB of pixels, so a bad header
// can never ask for an unbounded allocation.
constexpr int32_t kBitmapMaxSide = 32767;
constexpr uint64_t kBitmapMaxBytes = 256ull << 20;

class Bitmap {
  public:
    // A zero-filled bitmap for the header, or null when the header is not a 32-bit uncompressed
    // description of a sensible size or the memory cannot be had. *pixels (when not null) receives the
    // pixel memory: rows of width 32-bit words, each pixel the bytes B, G, R, X in memory (the word
    // 0x00RRGGBB), rows in the order the sign of height says.
    static std::unique_ptr<Bitmap> create(const BitmapInfoHeader& header, void** pixels);
    ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }  // always positive
    bool bottomUp() const { return bottomUp_; }
    uint32_t* pixels() { return pixels_; }
    const uint32_t* pixels() const { return pixels_; }
    // The host's own object for the bitmap (a DIB section on Windows), or null on hosts without one.
    void* hostHandle() const { return hostHandle_; }

    // The pixel row that shows the picture's row `y` counted from the top (0 = top row).
    const uint32_t* pictureRow(int y) const {
        int memoryRow = bottomUp_ ? height_ - 1 - y : y;
        return pixels_ + static_cast<size_t>(memoryRow) * static_cast<size_t>(width_);
    }

  private:
    Bitmap(int width, int height, bool bottomUp) : width_(width), height_(height), bottomUp_(bottomUp) {}
    // The backend's part of create(): zero-filled pixel memory for a header that create() has checked.
    bool allocate(const BitmapInfoHeader& header);

    int width_;
    int height_;
    bool bottomUp_;
    uint32_t* pixels_ = nullptr;
    void* hostHandle_ = nullptr;
};

}  // namespace platform
