#include "mt/graphics/TextureDataSWPackedAlpha.h"

namespace mt::graphics {

TextureDataSWPackedAlpha::TextureDataSWPackedAlpha(Texture* texture) : TextureDataSWPackedPlain(texture) {
    storageFormat = STORAGE_PACKED_ALPHA;
    setBlendMode(0);
}

TextureDataSWPackedAlpha::~TextureDataSWPackedAlpha() = default;

void TextureDataSWPackedAlpha::selectRuns() {
    TextureDataSWPackedPlain::selectRuns();
    const int32_t format = formatInfo.format;
    const bool table = format == ARGB_8888 ? hasColorTable32() : hasColorTable16();
    runPartial = packed::selectRun(format, blendMode, true, table);
}

}  // namespace mt::graphics
