#pragma once
#include <cstdint>

#include "mt/graphics/RowConversion.h"

namespace mt::graphics {

class Texture;

// Turns a texture into a new texture of another pixel format: plain re-encoding of each pixel (with the
// truncation error carried on to the next pixel when dithering), palettizing with the NeuQuant quantizer
// and Floyd-Steinberg dithering, and DXT1/3/5 encoding and decoding. Holds no state beyond its settings, so
// one converter serves any number of conversions.
class TextureConverter {
  public:
    TextureConverter();

    // A new texture (kind 1, empty name, one level, raw software data) holding one reference for the
    // caller, with the source's frames; null when the format is not supported, the source has no readable
    // pixels, or an allocation fails. The source is not changed.
    Texture* convert(Texture* source, int format, bool dither);

    // Scales the NeuQuant learning cycles (1.0 after construction).
    void setQuality(float value) { quality = value; }
    float getQuality() const { return quality; }
    // Pixel format of the palettes that palettizing creates (ABGR_1555 after construction, which also
    // reserves entry 0 as the transparent colour).
    void setPaletteFormat(int32_t format) { paletteFormat = format; }
    int32_t getPaletteFormat() const { return paletteFormat; }
    // Whether ABGR_8888 and BGR_888 pictures convert to ARGB_8888 a row at a time (on by default), and
    // which row path they take (the fastest the processor has, by default); the result is byte for byte
    // that of the per-pixel walk. Off also ignores a conversion the loader prepared while decoding.
    void setRowFastPath(bool enabled) { rowFastPath = enabled; }
    void setRowPath(RowPath path) { rowPath = path; }

  private:
    Texture* copySameFormat(Texture* source);
    Texture* convertFormat(Texture* source, int format);
    Texture* convertPlain(Texture* source, int format);
    Texture* palettize(Texture* source, int bits);
    Texture* encodeDXT(Texture* source, int format);
    bool decodeDXT(Texture* source, Texture* target);

    bool dither = false;
    float quality;
    int32_t paletteFormat;
    bool rowFastPath = true;
    RowPath rowPath = fastestRowPath();
};

}  // namespace mt::graphics
