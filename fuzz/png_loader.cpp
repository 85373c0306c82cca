// Damaged and hostile PNG pictures: decoding them, reading their header, decoding into a prepared texture
// and converting what came out must never crash, leak, read outside a buffer or allocate without bound.
#include <cstddef>
#include <cstdint>

#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/MemoryStream.h"

using namespace mt::graphics;

namespace {

// Keeps single inputs fast; the size limit itself is exercised as well.
constexpr int32_t MAX_SIDE = 2048;

void convertAndRelease(Texture* texture) {
    if (!texture)
        return;
    TextureConverter converter;
    mt::releaseReference(converter.convert(texture, ARGB_8888, true), true);
    mt::releaseReference(converter.convert(texture, RGB_565, true), true);
    texture->release(true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20)
        return 0;
    uint8_t* bytes = const_cast<uint8_t*>(data);
    const int32_t length = static_cast<int32_t>(size);
    PNGImageLoader loader;
    loader.setMaxSide(MAX_SIDE);
    {
        mt::MemoryStream memory(bytes, length, mt::STREAM_NOT_OWNER);
        mt::CachedInputStream cached(&memory, 4096);
        convertAndRelease(loader.load(&cached));
    }
    Texture* info = nullptr;
    {
        mt::MemoryStream memory(bytes, length, mt::STREAM_NOT_OWNER);
        info = loader.readInfo(&memory);
    }
    if (info) {
        // A target prepared from the header, as a caller of loadInto would make it.
        Texture* target =
            new Texture(TEXTURE_IN_MEMORY, "", info->getSize(), info->getFormat(), nullptr, 0, 1);
        new TextureDataSWRaw(target);
        mt::MemoryStream memory(bytes, length, mt::STREAM_NOT_OWNER);
        loader.loadInto(target, &memory);
        convertAndRelease(target);
        info->release(true);
    }
    return 0;
}
