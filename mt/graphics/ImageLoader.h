#pragma once
#include <cstdint>
#include <vector>

#include "mt/core/String.h"

namespace mt {
class InputStream;
}

namespace mt::graphics {

class Texture;

// Turns a picture file read from a stream into a Texture.
class ImageLoader {
  public:
    virtual ~ImageLoader() = default;
    // A new texture with the whole picture (one reference for the caller), or null.
    virtual Texture* load(InputStream* in) = 0;
    // A new texture with the picture's size, format and frame but no pixel data, or null.
    virtual Texture* readInfo(InputStream* in) = 0;
    // Decodes into a texture that already has its pixel data; returns the target.
    virtual Texture* loadInto(Texture* target, InputStream* in) = 0;
    // The file name extension of the pictures, without the dot.
    virtual const String& getExtension() = 0;
    // The bytes that every picture of this kind starts with.
    virtual const std::vector<uint8_t>& getSignature() = 0;
};

}  // namespace mt::graphics
