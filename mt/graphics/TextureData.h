#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "mt/graphics/Palette.h"

namespace mt::graphics {

struct DrawTarget;
struct PixelFormatInfo;

// A size in 16.16 fixed point.
struct SourceSize {
    int32_t width = 0;
    int32_t height = 0;
};

// Where a texture's pixels live. The software implementations keep them in memory (TextureDataSW and its
// subclasses); the operations that a kind of data has no use for do nothing.
class TextureData {
  public:
    TextureData() = default;
    TextureData(const TextureData&) = delete;
    TextureData& operator=(const TextureData&) = delete;
    virtual ~TextureData();

    // Bytes of level 0 (0 when not known).
    virtual int getDataSize() { return 0; }
    virtual const PixelFormatInfo* getPixelFormatInfo() { return nullptr; }
    // The level-0 record (pixel pointer and pitch); pixels stay valid until unlock.
    virtual LevelBuffer* lock() = 0;
    virtual LevelBuffer* getLevel(int level);
    virtual Palette* getPalette() = 0;
    // Hands a palette over to the data, which owns it from then on.
    virtual void setPalette(Palette* palette) = 0;
    virtual void setLevel0(void* pixels, int pitch);
    virtual void setBlendMode(int mode);
    virtual int getFrameCount() { return 1; }
    virtual void setColorModulation(int mode, uint32_t colour, int amount);
    virtual void setAngle(int angle);
    virtual void setSourceSize(int width, int height);
    virtual SourceSize getSourceSize() { return {}; }
    virtual void unlock() = 0;
    virtual void setMirrored(bool mirrored);
    virtual bool hasAlpha() = 0;
    // Allocates every level for a w x h texture and returns level 0's pixels (null on failure).
    virtual void* allocateLevels(int width, int height);
    virtual void setLevel(int level, void* pixels, int pitch);
    // Draws frame `frame` with its top left corner at (x, y) into destination pixels whose rows are
    // *destinationPitch pixels apart, clipped to the target's rectangle, with constant alpha 0-255.
    virtual void draw(const DrawTarget* target, void* destination, const int* destinationPitch, int x, int y,
                      int alpha, int frame);

  protected:
    // Level 0 and the extra mip levels; the records are the data's own, the pixels they point at may be.
    // Level 0's record is held by value, so that it exists whatever allocation fails.
    LevelBuffer level0Record;
    LevelBuffer* const level0 = &level0Record;
    std::vector<std::unique_ptr<LevelBuffer>> extraLevels;
    // The modulation colour of the raw software data.
    uint32_t modulationColour = 0;
};

}  // namespace mt::graphics
