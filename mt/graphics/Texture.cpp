#include "mt/graphics/Texture.h"

#include <new>

#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/TextureData.h"

namespace mt::graphics {

void TextureDataFactory::setScale(int) {}

Texture::Texture(int kind, const String& name, Size size, int format, TextureDataFactory* factory, int value,
                 int levels)
    : value(value),
      kind(kind),
      name(name),
      size(size),
      secondSize(size),
      format(format),
      factory(factory),
      levels(levels) {
    // Without memory for its frame the texture has none (getFrame then gives a spare frame).
    if (!setFrameCount(1))
        frameCount = 0;
    Frame& first = getFrame(0);
    first.pairs[2].x = static_cast<int16_t>(size.width);
    first.pairs[2].y = static_cast<int16_t>(size.height);
    addRef();
}

Texture::~Texture() {
    if (attachment)
        attachment->release(true);
    attachment = nullptr;
    if (listener)
        listener->textureDestroyed(this);
    TextureData* old = data;
    data = nullptr;
    delete old;
}

void Texture::setData(TextureData* newData) {
    if (newData == data)
        return;
    TextureData* old = data;
    data = newData;
    delete old;
}

void Texture::detachData(TextureData* oldData) {
    if (data == oldData)
        data = nullptr;
}

LevelBuffer* Texture::lock() {
    return data ? data->lock() : nullptr;
}

void Texture::unlock() {
    if (data)
        data->unlock();
}

bool Texture::hasAlpha() const {
    return data ? data->hasAlpha() : formatHasAlpha(format);
}

bool Texture::setFrameCount(int count) {
    if (count < 0)
        count = 0;
    try {
        frames.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    frameCount = count;
    return true;
}

Frame& Texture::getFrame(int i) {
    if (frameCount <= 0) {
        spareFrame = Frame();
        return spareFrame;
    }
    const uint32_t index = (static_cast<uint32_t>(i) & 0xFFFFu) % static_cast<uint32_t>(frameCount);
    return frames[index];
}

const Frame& Texture::getFrame(int i) const {
    static const Frame empty;
    if (frameCount <= 0)
        return empty;
    return frames[(static_cast<uint32_t>(i) & 0xFFFFu) % static_cast<uint32_t>(frameCount)];
}

void Texture::setBlendMode(int mode) {
    if (data)
        data->setBlendMode(mode);
}

void Texture::setSourceSize(int width, int height) {
    if (data)
        data->setSourceSize(width, height);
}

void Texture::setAngle(int angle) {
    if (data)
        data->setAngle(angle);
}

void Texture::load() {
    if (factory)
        factory->load(this);
}

void Texture::setAttachment(ReferenceCounted* object) {
    if (object)
        object->addRef();
    ReferenceCounted* old = attachment;
    attachment = object;
    if (old)
        old->release(true);
}

}  // namespace mt::graphics
