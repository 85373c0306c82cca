#pragma once
#include <cstdint>
#include <vector>

#include "mt/graphics/ImageLoader.h"

namespace mt::graphics {

// Decodes PNG pictures with libpng into textures of format BGR_888 (pictures without alpha: bytes R, G, B)
// or ABGR_8888 (with alpha, or with a palette transparency: bytes R, G, B, A), rows top to bottom, packed.
// 16-bit channels are reduced to 8 bits, small bit depths expanded, palettes and grey turned into colour.
// A picture that libpng cannot decode (not a PNG, truncated, corrupt) gives what was made before the
// error: null, or the texture with the rows decoded so far (the rest zero).
class PNGImageLoader : public ImageLoader {
  public:
    // Pictures wider or taller than this are refused unless the limit is changed.
    static constexpr int32_t DEFAULT_MAX_SIDE = 16384;

    PNGImageLoader();
    ~PNGImageLoader() override;

    Texture* load(InputStream* in) override;
    Texture* readInfo(InputStream* in) override;
    // Applies the picture's size and format to the target and reads the pixels into its level 0 when the
    // target's data holds at least width x height x bytes per pixel (its known data size); otherwise no
    // pixels are read.
    Texture* loadInto(Texture* target, InputStream* in) override;
    const String& getExtension() override { return extension; }
    const std::vector<uint8_t>& getSignature() override { return signature; }

    // The largest width and height accepted; a larger picture gives null.
    void setMaxSide(int32_t side) { maxSide = side > 0 ? side : 1; }
    int32_t getMaxSide() const { return maxSide; }

  private:
    Texture* decode(Texture* target, InputStream* in, bool readPixels);

    String extension;
    std::vector<uint8_t> signature;
    int32_t maxSide = DEFAULT_MAX_SIDE;
};

}  // namespace mt::graphics
