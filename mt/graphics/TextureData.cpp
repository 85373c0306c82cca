#include "mt/graphics/TextureData.h"

namespace mt::graphics {

TextureData::~TextureData() = default;

LevelBuffer* TextureData::getLevel(int) {
    return nullptr;
}
void TextureData::setLevel0(void*, int) {}
void TextureData::setBlendMode(int) {}
void TextureData::setColorModulation(int, uint32_t, int) {}
void TextureData::setAngle(int) {}
void TextureData::setSourceSize(int, int) {}
void TextureData::setMirrored(bool) {}
void* TextureData::allocateLevels(int, int) {
    return nullptr;
}
void TextureData::setLevel(int, void*, int) {}
void TextureData::draw(const DrawTarget*, void*, const int*, int, int, int, int) {}

}  // namespace mt::graphics
