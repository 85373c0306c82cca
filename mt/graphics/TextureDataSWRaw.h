#pragma once
#include <cstdint>

#include "mt/graphics/SoftwareBlend.h"
#include "mt/graphics/TextureDataSW.h"

namespace mt::graphics {

// Uncompressed pixels in memory, drawn by the software blitters. Frames lie one after the other in level 0,
// each width x height pixels with the texture's width as row pitch, at the offsets of the frame table.
class TextureDataSWRaw : public TextureDataSW {
  public:
    // For a texture of kind 1 or 2 allocates every level for the texture's size (cleared); for any kind
    // creates a frame table with the one offset 0 and selects blend mode 0. A caller that writes every
    // pixel at once may pass clearPixels false and receive the levels with undefined contents.
    explicit TextureDataSWRaw(Texture* texture, bool clearPixels = true);
    // Takes a block from malloc of width x height pixels of the texture's format as level 0 (owned from
    // here on, also when the texture is null) instead of allocating one.
    TextureDataSWRaw(Texture* texture, void* pixels, int32_t bytes);
    ~TextureDataSWRaw() override;

    // 0 copy, 1 constant alpha, 2 source alpha, 3 additive; other values draw as 0.
    void setBlendMode(int mode) override;
    // Mode 0 on ARGB_8888 data tints every level-0 pixel in place with the colour, brightened by amount.
    void setColorModulation(int mode, uint32_t colour, int amount) override;
    // A drawn size in 16.16 fixed point; width 0 turns stretching off.
    void setSourceSize(int width, int height) override;
    SourceSize getSourceSize() override;
    void draw(const DrawTarget* target, void* destination, const int* destinationPitch, int x, int y,
              int alpha, int frame) override;

    int32_t getConstantAlpha() const { return constantAlpha; }
    uint32_t getModulationColour() const { return modulationColour; }

  protected:
    // The blend context for a draw: tables from the target (or the defaults) and the colour table when
    // the pixels are colour indices.
    blend::Context makeContext(int alpha) const;
    // Level-0 pixels of a frame when the whole frame lies inside level 0, else null.
    const uint8_t* framePixels(int frame, int bytesPerPixel);
    void drawStretched(uint8_t* destination, int pitch, int x, int y, const uint8_t* source,
                       int bytesPerPixel);

    int32_t width;
    int32_t height;
    SourceSize sourceOverride;
    int32_t constantAlpha = 255;
    blend::RowFunction row32 = nullptr;
    blend::RowFunction row16 = nullptr;
};

}  // namespace mt::graphics
