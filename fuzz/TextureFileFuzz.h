#pragma once
// Reads bytes as a texture file in several pixel formats, raw and into rotated data, at several scales, and
// draws, unpacks and converts what loads. Damaged files must never crash, leak, touch memory outside a
// buffer or allocate without bound, and what loads must match its header with pixel data in proportion to
// the file. Shared by the libFuzzer target (which stops at a failed check) and by the test that replays its
// corpus (which reports it).
#include <cstdint>
#include <string>
#include <vector>

#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWPackedPlain.h"
#include "mt/graphics/TextureDataSWRawAdv.h"
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

// What a loaded texture must satisfy: the sides and frames the file declares (or their rescaled sides, within
// the bound), pixel data in proportion to the input (conversion at most doubles the pixel size, rescaling by
// 320 / 256 adds at most half again; a rotated square is its side squared), and frame offsets inside the
// data or -1. Empty when it holds, else what failed.
inline std::string checkLoaded(mt::graphics::Texture* texture, const mt::graphics::GfxHeader& header,
                               size_t inputSize, int scale, bool adv) {
    using namespace mt::graphics;
    auto* data = dynamic_cast<TextureDataSW*>(texture->getData());
    if (!data)
        return "a loaded texture has no software data";
    const Size size = texture->getSize();
    if (size.width < 1 || size.height < 1 || size.width > GFX_MAX_SIDE || size.height > GFX_MAX_SIDE)
        return "sides outside 1 to the largest side";
    if (scale == 256 && (size.width != header.width || size.height != header.height))
        return "sides differ from the header's";
    if (data->getFrameCount() != header.frameCount || texture->getFrameCount() != header.frameCount)
        return "frame count differs from the header's";
    const int64_t bytes = data->getDataSize();
    if (data->getStorageFormat() == STORAGE_RAW_ADV) {
        (void)adv;
        const int64_t side = static_cast<TextureDataSWRawAdv*>(data)->getSquareSide();
        if (side > 4096 || bytes != side * side * getBytesPerPixel(texture->getFormat()))
            return "a rotated square of the wrong size";
    } else if (bytes > static_cast<int64_t>(inputSize) * 4 + 65536) {
        return "pixel data out of proportion to the input: " + std::to_string(bytes) + " bytes from " +
               std::to_string(inputSize);
    }
    for (int i = 0; i < data->getFrameCount(); ++i) {
        const int32_t offset = data->getFrameOffset(i);
        if (offset != -1 && (offset < 0 || offset > bytes))
            return "a frame offset outside the data";
    }
    return {};
}

// Loads the bytes in every way and exercises what loads; empty when every loaded texture satisfies
// checkLoaded, else what failed.
inline std::string checkTextureFile(const uint8_t* data, size_t size) {
    using namespace mt::graphics;
    if (size > (1 << 20) || size < GFX_HEADER_SIZE)
        return {};
    const GfxHeader header = parseTextureHeader(data);
    const int32_t stored = header.format;
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
        std::string problem = checkLoaded(texture, header, size, load.scale, load.adv);
        if (problem.empty())
            exerciseTexture(texture);
        texture->release(true);
        if (!problem.empty())
            return problem + " (format " + std::to_string(load.format) + ", scale " +
                   std::to_string(load.scale) + (load.adv ? ", rotated)" : ")");
    }
    return {};
}

}  // namespace fuzzing
