#pragma once
#include <cstdint>

#include "mt/graphics/Texture.h"

namespace mt::graphics {

// Told about each texture that a factory has filled.
class TextureConsumer {
  public:
    virtual ~TextureConsumer() = default;
    virtual void textureLoaded(Texture* texture) = 0;
};

// Fills textures in software: kind 0 from the texture file named by the texture's name, in the format
// preferred by the texture service (SERVICE_TEXTURE) and rescaled by the factory's scale; kinds 1 and 2 with
// cleared raw pixels.
class TextureDataFactorySW : public TextureDataFactory {
  public:
    // A new factory with scale 256 that tells consumer (not owned, may be null) about loaded textures.
    static TextureDataFactorySW* create(TextureConsumer* consumer);
    ~TextureDataFactorySW() override;

    // The scale of loaded textures in 1/256 units (256: as stored).
    void setScale(int scale) override { this->scale = scale; }
    int getScale() const { return scale; }
    // Width and height from the file's header (readTextureHeader, with its fallback) and the preferred
    // format (the file's own format when no texture service is registered).
    TextureInfo* readInfo(const String& path) override;
    // Kind 0: reads the texture file; a file that does not open or does not load leaves the texture
    // without data and the consumer is not told. Kinds 1 and 2: new raw data. Other kinds: nothing.
    void load(Texture* texture) override;

  private:
    explicit TextureDataFactorySW(TextureConsumer* consumer) : consumer(consumer) {}

    int32_t scale = 256;
    TextureConsumer* consumer;
};

}  // namespace mt::graphics
