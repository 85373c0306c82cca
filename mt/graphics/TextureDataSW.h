#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/TextureData.h"

namespace mt::graphics {

class Texture;
struct ColorTable;

// Storage codes of software texture data.
enum StorageFormat : int32_t {
    STORAGE_RAW = 0,
    STORAGE_PACKED_PLAIN = 1,
    STORAGE_PACKED_ALPHA = 2,
    STORAGE_RAW_ADV = 3,
};

// Texture data in memory. Pixel blocks are allocated zero-filled (unless a subclass asks otherwise for
// pixels it fills at once) and freed with free; a block handed in from outside (setLevel0, setLevel) is
// never freed by the data.
class TextureDataSW : public TextureData {
  public:
    // Registers itself as the texture's data (replacing and deleting any previous one), creates empty level
    // records for the texture's mip levels and the descriptor of its format.
    explicit TextureDataSW(Texture* texture);
    ~TextureDataSW() override;

    int getDataSize() override { return dataSize; }
    const PixelFormatInfo* getPixelFormatInfo() override { return &formatInfo; }
    // Hands out level 0 for reading or writing (which drops a prepared conversion).
    LevelBuffer* lock() override;
    LevelBuffer* getLevel(int level) override;
    Palette* getPalette() override { return palette; }
    void setPalette(Palette* newPalette) override;
    void setLevel0(void* pixels, int pitch) override;
    int getFrameCount() override { return static_cast<int>(frameOffsets.size()); }
    SourceSize getSourceSize() override;
    void unlock() override {}
    void setMirrored(bool value) override { mirrored = value; }
    bool hasAlpha() override;
    void* allocateLevels(int width, int height) override;
    void setLevel(int level, void* pixels, int pitch) override;

    // A pixel block of the given size, zero-filled when asked (else of undefined contents), freed with free;
    // null on failure.
    static void* allocatePixelBlock(size_t bytes, bool clear);
    // Allocates a zero-filled level-0 block of the given size (pitch = bytes), owned by the data; null on
    // failure or a negative size.
    void* allocateLevel0(int bytes);
    // Replaces the frame offset table (byte offsets of each frame in level 0) with count zero entries.
    int32_t* createFrameTable(int count);
    int32_t* getFrameTable() { return frameOffsets.empty() ? nullptr : frameOffsets.data(); }
    // The byte offset of a frame; 0 for a frame outside the table.
    int32_t getFrameOffset(int frame) const;
    void setColorIndexed(bool value) { colorIndexed = value; }
    bool isColorIndexed() const { return colorIndexed; }
    // Takes the table's entries (not the record, which stays the caller's); null clears it.
    void setColorTable(const ColorTable* table);
    const void* getColorTable() const { return colorTable; }
    int32_t getStorageFormat() const { return storageFormat; }
    void setStorageFormat(int32_t code) { storageFormat = code; }
    int32_t getBlendMode() const { return blendMode; }
    bool isMirrored() const { return mirrored; }
    bool ownsPixels() const;
    int getLevelCount() const { return 1 + static_cast<int>(extraLevels.size()); }
    Texture* getTexture() const { return texture; }
    int32_t getPixelFormat() const { return formatInfo.format; }

    // A copy of level 0 already converted to another pixel format, made by a loader in the same pass as
    // the decode (a block from malloc of the given bytes, owned by the data from here on). Anything that may
    // change or replace level 0 (lock, getLevel, setLevel, allocation, a palette) drops it, so a copy
    // that is still here matches the pixels.
    void setPreparedConversion(int32_t format, void* pixels, int32_t bytes);
    // Hands the prepared copy in `format` over to the caller (who frees it with free) and its byte size;
    // null when there is none in that format.
    void* takePreparedConversion(int32_t format, int32_t& bytes);

  protected:
    // The level record for a level number, or null.
    LevelBuffer* levelRecord(int level);
    // Frees the level's pixels if the data allocated them and forgets them.
    void releaseLevelPixels(int level);
    // The colour table entry for a pixel's low 12 bits (32-bit entries only), or the pixel itself when no
    // such entry exists.
    uint32_t colorTableEntry(uint32_t pixel) const;
    // Takes a draw target's clip rectangle and blend tables (the built-in tables where it has none).
    void useDrawTarget(const DrawTarget& target);
    // Takes a block from malloc as level 0 (owned, freed with free) with its byte size and pitch.
    void adoptLevel0(void* pixels, int32_t bytes, int32_t pitch);
    void dropPreparedConversion();

    // Whether allocateLevels clears the blocks it allocates.
    bool clearNewPixels = true;
    // Blend tables taken from the last draw target.
    const uint8_t* additiveTable = nullptr;
    const uint16_t* blendTable16 = nullptr;
    Texture* texture;
    int32_t storageFormat = STORAGE_RAW;
    int32_t blendMode = 0;
    PixelFormatInfo formatInfo;
    int32_t dataSize = 0;
    // Mip levels beyond this would all be 0 x 0 for any int32 size.
    static constexpr int MAX_LEVELS = 32;
    // Per level: the data allocated the pixels and frees them.
    bool levelOwned[MAX_LEVELS] = {};
    bool mirrored = false;
    bool colorIndexed = false;
    int32_t clipBottom = 0;
    int32_t clipTop = 0;
    int32_t clipLeft = 0;
    int32_t clipRight = 0;
    std::vector<int32_t> frameOffsets;
    const void* colorTable = nullptr;
    int32_t colorTableCount = 0;
    int32_t colorTableFormat = 0;
    Palette* palette = nullptr;
    void* preparedPixels = nullptr;
    int32_t preparedFormat = 0;
    int32_t preparedBytes = 0;
};

}  // namespace mt::graphics
