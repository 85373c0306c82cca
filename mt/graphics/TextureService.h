#pragma once
#include <cstdint>

namespace mt::graphics {

// The texture service, registered under SERVICE_TEXTURE (9) by a renderer: it tells in which pixel format
// textures loaded from texture files should be held.
class TextureService {
  public:
    virtual ~TextureService() = default;
    virtual int32_t getPreferredFormat() = 0;
};

// The preferred format of the registered texture service, or fallback when none is registered or it
// names no format.
int32_t preferredTextureFormat(int32_t fallback);

}  // namespace mt::graphics
