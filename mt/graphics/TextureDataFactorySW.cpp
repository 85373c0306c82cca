#include "mt/graphics/TextureDataFactorySW.h"

#include <new>

#include "mt/core/ServiceRegistry.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/graphics/TextureFile.h"
#include "mt/graphics/TextureService.h"
#include "mt/stream/FileInputStream.h"

namespace mt::graphics {

int32_t preferredTextureFormat(int32_t fallback) {
    TextureService* service = static_cast<TextureService*>(findService(SERVICE_TEXTURE));
    const int32_t format = service ? service->getPreferredFormat() : 0;
    return isKnownPixelFormat(format) ? format : fallback;
}

TextureDataFactorySW* TextureDataFactorySW::create(TextureConsumer* consumer) {
    return new (std::nothrow) TextureDataFactorySW(consumer);
}

TextureDataFactorySW::~TextureDataFactorySW() = default;

TextureInfo* TextureDataFactorySW::readInfo(const String& path) {
    const GfxHeader header = readTextureHeader(path.cstr());
    return new (std::nothrow) TextureInfo{header.width, header.height, preferredTextureFormat(header.format)};
}

void TextureDataFactorySW::load(Texture* texture) {
    if (!texture)
        return;
    switch (texture->getKind()) {
        case TEXTURE_FROM_FILE: {
            FileInputStream in(texture->getName(), 0);
            if (!in.isOpen())
                return;
            uint8_t bytes[GFX_HEADER_SIZE];
            if (in.read(bytes, GFX_HEADER_SIZE) != GFX_HEADER_SIZE)
                return;
            const GfxHeader header = parseTextureHeader(bytes);
            // The data holds the pixels in the texture's format, so the texture takes the format it is
            // loaded in.
            const int32_t format = preferredTextureFormat(header.format);
            if (!loadTextureData(in, texture, header, format, false))
                return;
            const int32_t extra = format == RGB_565 && scale == 187 ? header.scaledPackedSize : 0;
            rescale(header, texture, format, scale, extra);
            if (consumer)
                consumer->textureLoaded(texture);
            return;
        }
        case TEXTURE_IN_MEMORY:
        case TEXTURE_IN_MEMORY_2:
            if (!new (std::nothrow) TextureDataSWRaw(texture))
                return;
            if (consumer)
                consumer->textureLoaded(texture);
            return;
        default:
            return;
    }
}

}  // namespace mt::graphics
