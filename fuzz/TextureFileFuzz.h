#pragma once
// Reads bytes as a texture file in several pixel formats, raw and into rotated data, at several scales, and
// draws, unpacks and converts what loads. Damaged files must never crash, leak, touch memory outside a
// buffer or allocate without bound. Shared by the libFuzzer target and by the test that replays its corpus.
#include <cstdint>
#include <vector>

#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWPackedPlain.h"
#include "mt/graphics/TextureFile.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/MemoryStream.h"

namespace fuzzing {

inline void exerciseTexture(mt::graphics::Texture* texture) {
    using namespace mt::graphics;
    constexpr int SIDE = 48;
    static std::vector<uint8_t> destination(SIDE * SIDE * 4);
    TextureData* data = texture->getData();
    if (!data)
        return;
    DrawTarget target;
    target.clipLeft = 2;
    target.clipTop = 3;
    target.clipRight = SIDE - 1;
    target.clipBottom = SIDE - 2;
    const int pitch = SIDE;
    const int frames = data->getFrameCount();
    for (int frame = 0; frame < frames && frame < 4; ++frame) {
        data->setMirrored(frame % 2 == 1);
        data->setBlendMode(frame);
        data->draw(&target, destination.data(), &pitch, 0, 0, 255, frame);
        data->draw(&target, destination.data(), &pitch, -5, 7, 130, frame);
    }
    data->draw(&target, destination.data(), &pitch, SIDE - 4, SIDE - 4, 60, frames + 3);
    if (auto* packed = dynamic_cast<TextureDataSWPackedPlain*>(data)) {
        const Size size = texture->getSize();
        if (static_cast<int64_t>(size.width) * size.height <= (1 << 20)) {
            std::vector<uint8_t> pixels(static_cast<size_t>(size.width) * size.height * 4);
            std::vector<uint8_t> classes(static_cast<size_t>(size.width) * size.height);
            packed->unpackFrame(frames - 1, pixels.data(), classes.data(), size.width);
        }
    } else if (static_cast<int64_t>(texture->getSize().width) * texture->getSize().height <= (1 << 16)) {
        TextureConverter converter;
        mt::releaseReference(converter.convert(texture, ARGB_8888, true), true);
    }
}

inline int fuzzTextureFile(const uint8_t* data, size_t size) {
    using namespace mt::graphics;
    if (size > (1 << 20) || size < GFX_HEADER_SIZE)
        return 0;
    const int32_t stored = parseTextureHeader(data).format;
    struct Load {
        int format;
        bool adv;
        int scale;
    };
    const Load loads[] = {{stored, false, 256},   {ARGB_8888, false, 128}, {RGB_565, false, 187},
                          {ARGB_4444, true, 256}, {stored, true, 256},     {stored, false, 320}};
    std::vector<uint8_t> bytes(data, data + size);
    for (const Load& load : loads) {
        mt::MemoryStream memory(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
        mt::CachedInputStream cached(&memory, 4096);
        Texture* texture = readTexture(cached, load.format, load.adv, load.scale);
        if (!texture)
            continue;
        exerciseTexture(texture);
        texture->release(true);
    }
    return 0;
}

}  // namespace fuzzing
