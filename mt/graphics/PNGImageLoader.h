#pragma once
#include <cstdint>
#include <vector>

#include "mt/graphics/ImageLoader.h"

namespace mt::graphics {

// Decodes PNG pictures with libpng into textures of format BGR_888 (pictures without alpha: bytes R, G, B)
// or ABGR_8888 (with alpha, or with a palette transparency: bytes R, G, B, A), rows top to bottom, packed.
// 16-bit channels are reduced to 8 bits, small bit depths expanded, palettes and grey turned into colour.
// A picture that libpng cannot decode (not a PNG, truncated, corrupt) gives null: no texture is handed out
// with rows missing. Pixel memory is allocated without clearing, so that the memory a damaged picture costs
// grows with the rows actually decoded, and a picture's pixels are bounded in bytes before any is allocated.
struct PngDecode;

class PNGImageLoader : public ImageLoader {
  public:
    // Pictures wider or taller than this are refused unless the limit is changed.
    static constexpr int32_t DEFAULT_MAX_SIDE = 16384;
    // Pictures whose decoded pixels take more bytes than this are refused unless the limit is changed
    // (8192 x 4096 at 32 bits; a conversion of such a picture takes as much again).
    static constexpr int64_t DEFAULT_MAX_BYTES = int64_t{128} << 20;

    PNGImageLoader();
    ~PNGImageLoader() override;

    Texture* load(InputStream* in) override;
    Texture* readInfo(InputStream* in) override;
    // Applies the picture's size and format to the target and reads the pixels into its level 0 when the
    // target's data holds at least width x height x bytes per pixel (its known data size); otherwise no
    // pixels are read. Null when the picture cannot be decoded (the target stays the caller's, its pixels
    // as far as decoding got).
    Texture* loadInto(Texture* target, InputStream* in) override;
    const String& getExtension() override { return extension; }
    const std::vector<uint8_t>& getSignature() override { return signature; }

    // The largest width and height accepted; a larger picture gives null.
    void setMaxSide(int32_t side) { maxSide = side > 0 ? side : 1; }
    int32_t getMaxSide() const { return maxSide; }
    // The most bytes a picture's decoded pixels may take; a larger picture gives null.
    void setMaxBytes(int64_t bytes) { maxBytes = bytes > 0 ? bytes : 1; }
    int64_t getMaxBytes() const { return maxBytes; }
    // Whether load converts an 8-bit RGBA picture (not interlaced) to ARGB_8888 in the same pass as the
    // decode and keeps that copy with the texture's data for the converter (on by default; it costs as much
    // memory again until the texture is converted, locked or released).
    void setPrepareARGB(bool enabled) { prepareARGB = enabled; }

  private:
    Texture* decode(Texture* target, InputStream* in, bool readPixels);
    // Reads the pixels into the texture (a new one, or the target); false on a decoding error.
    bool decodePixels(Texture* target, Texture* texture, PngDecode* d);

    String extension;
    std::vector<uint8_t> signature;
    int32_t maxSide = DEFAULT_MAX_SIDE;
    int64_t maxBytes = DEFAULT_MAX_BYTES;
    bool prepareARGB = true;
};

}  // namespace mt::graphics
