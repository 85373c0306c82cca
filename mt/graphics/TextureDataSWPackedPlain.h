#pragma once
#include <cstdint>

#include "mt/graphics/PackedBlend.h"
#include "mt/graphics/TextureDataSW.h"
#include "mt/graphics/TexturePacker.h"

namespace mt::graphics {

// Run-length packed pixels (see TexturePacker.h): level 0 holds the packed frames exactly as a texture
// file stores them, one after the other at the offsets of the frame table; its pitch is its byte size.
// Fully transparent pixels cost nothing and are never drawn; runs of pixels are handed to the run-draw
// function of the blend mode, or block-copied. Draws ARGB_8888, RGB_565 and ARGB_4444 data; damaged data
// draws the part before the damage and never reads or writes outside the buffers.
class TextureDataSWPackedPlain : public TextureDataSW {
  public:
    // Takes the texture's size, a one-entry frame table (offset 0) and blend mode 0.
    explicit TextureDataSWPackedPlain(Texture* texture);
    ~TextureDataSWPackedPlain() override;

    // Stores the mode and selects the run-draw functions for the pixel format (PackedBlend.h). Mode 0
    // without a colour table block-copies runs.
    void setBlendMode(int mode) override;
    // Stores the colour of the modulated copy (blend mode 4 of ARGB_8888 data).
    void setColorModulation(int mode, uint32_t colour, int amount) override;
    // Draws frame `frame` (frame 0 for one outside the table) with its top left corner at (x, y), clipped to
    // the target's rectangle, mirrored left to right when the mirror flag is set. Alpha is the constant
    // alpha 0-255 (ARGB_4444 data blends with alpha / 16).
    void draw(const DrawTarget* target, void* destination, const int* destinationPitch, int x, int y,
              int alpha, int frame) override;

    // Unpacks a frame into width x height pixels of the texture's format at a pitch in pixels, and its run
    // classes when classes is not null; skipped pixels are left as they are. False for a frame that is
    // outside the table or damaged.
    virtual bool unpackFrame(int frame, void* pixels, uint8_t* classes, int pitch);
    // The byte size of the packed data in level 0.
    virtual int32_t getPackedSize() const;

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    int32_t getConstantAlpha() const { return constantAlpha; }
    bool isPlainCopy() const { return plainCopy; }

  protected:
    // Picks the run functions for the current mode, format and colour table.
    virtual void selectRuns();
    // Whether draws use a 32-bit or a 16-bit colour table: the pixels are colour indices and the table's
    // entries have the texture's format (ARGB_8888 entries for ARGB_8888 data).
    bool hasColorTable32() const;
    bool hasColorTable16() const;

    int32_t width;
    int32_t height;
    int32_t constantAlpha = 255;
    bool plainCopy = false;
    // The run-draw function of plain runs and opaque runs, and the one of partly transparent runs.
    packed::RunFunction runWhole = nullptr;
    packed::RunFunction runPartial = nullptr;
};

}  // namespace mt::graphics
