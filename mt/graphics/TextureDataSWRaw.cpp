#include "mt/graphics/TextureDataSWRaw.h"

#include <algorithm>

#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/Texture.h"

namespace mt::graphics {

TextureDataSWRaw::TextureDataSWRaw(Texture* texture, bool clearPixels) : TextureDataSW(texture) {
    const Size size = texture ? texture->getSize() : Size{};
    width = size.width;
    height = size.height;
    const int kind = texture ? texture->getKind() : -1;
    // Blocks come from calloc, so level 0 starts cleared whatever the format.
    if (kind == TEXTURE_IN_MEMORY || kind == TEXTURE_IN_MEMORY_2) {
        clearNewPixels = clearPixels;
        allocateLevels(width, height);
        clearNewPixels = true;
    }
    createFrameTable(1);
    setBlendMode(0);
}

TextureDataSWRaw::TextureDataSWRaw(Texture* texture, void* pixels, int32_t bytes) : TextureDataSW(texture) {
    const Size size = texture ? texture->getSize() : Size{};
    width = size.width;
    height = size.height;
    adoptLevel0(pixels, bytes, width);
    createFrameTable(1);
    setBlendMode(0);
}

TextureDataSWRaw::~TextureDataSWRaw() = default;

void TextureDataSWRaw::setBlendMode(int mode) {
    blendMode = mode;
    row32 = blend::selectRow32(mode);
    row16 = blend::selectRow16(mode);
}

void TextureDataSWRaw::setColorModulation(int mode, uint32_t colour, int amount) {
    clipLeft = 0;
    clipTop = 0;
    clipRight = 1024;
    clipBottom = 1024;
    if (mode != 0 || formatInfo.format != ARGB_8888)
        return;
    dropPreparedConversion();
    modulationColour = colour;
    constantAlpha = amount;
    uint8_t* pixels = static_cast<uint8_t*>(level0->pixels);
    if (!pixels)
        return;
    const uint32_t tint[3] = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF};
    const int count = dataSize / 4;
    for (int i = 0; i < count; ++i) {
        const uint32_t p = blend::load32(pixels + 4 * i);
        const uint32_t c[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
        // The brightening term is clamped to 0-255 so that a negative amount cannot wrap around.
        const int64_t brightness = static_cast<int64_t>((c[0] * c[1] * c[2]) >> 16) + amount;
        const uint32_t k = static_cast<uint32_t>(std::clamp<int64_t>(brightness, 0, 255));
        uint32_t out = p & 0xFF000000u;
        for (int j = 0; j < 3; ++j) {
            const uint32_t v = std::min(255u, ((c[j] * tint[j]) >> 8) + ((c[j] * k) >> 8));
            out |= v << (16 - 8 * j);
        }
        blend::store32(pixels + 4 * i, out);
    }
}

void TextureDataSWRaw::setSourceSize(int w, int h) {
    sourceOverride.width = w;
    sourceOverride.height = h;
}

SourceSize TextureDataSWRaw::getSourceSize() {
    if (sourceOverride.width != 0)
        return sourceOverride;
    return {static_cast<int32_t>(static_cast<uint32_t>(width) << 16),
            static_cast<int32_t>(static_cast<uint32_t>(height) << 16)};
}

blend::Context TextureDataSWRaw::makeContext(int alpha) const {
    blend::Context context;
    context.alpha = alpha;
    context.additive = additiveTable;
    context.table16 = blendTable16;
    if (colorIndexed && colorTable && colorTableFormat == ARGB_8888) {
        context.colorTable = static_cast<const uint32_t*>(colorTable);
        context.colorTableCount = static_cast<uint32_t>(colorTableCount);
    }
    return context;
}

const uint8_t* TextureDataSWRaw::framePixels(int frame, int bytesPerPixel) {
    const uint8_t* pixels = static_cast<const uint8_t*>(level0->pixels);
    if (!pixels || width <= 0 || height <= 0)
        return nullptr;
    const int32_t offset = getFrameOffset(frame);
    if (offset < 0)
        return nullptr;
    const int64_t first = offset / bytesPerPixel;
    // With a known level size the whole frame must lie inside it; pixels handed in from outside
    // (setLevel0) are the caller's to size.
    if (dataSize > 0 && (first + static_cast<int64_t>(width) * height) * bytesPerPixel > dataSize)
        return nullptr;
    return pixels + first * bytesPerPixel;
}

void TextureDataSWRaw::draw(const DrawTarget* target, void* destination, const int* destinationPitch, int x,
                            int y, int alpha, int frame) {
    if (!target || !destination || !destinationPitch)
        return;
    if (frame < 0 || frame >= getFrameCount())
        frame = 0;
    useDrawTarget(*target);
    // The blend tables have 256 alpha rows: keep the index inside them.
    alpha = std::clamp(alpha, 0, 255);
    constantAlpha = alpha;

    int bytesPerPixel;
    if (formatInfo.format == ARGB_8888)
        bytesPerPixel = 4;
    else if (formatInfo.format == RGB_565 || formatInfo.format == ARGB_4444)
        bytesPerPixel = 2;
    else
        return;
    const uint8_t* source = framePixels(frame, bytesPerPixel);
    if (!source)
        return;
    uint8_t* target8 = static_cast<uint8_t*>(destination);
    const int pitch = *destinationPitch;

    if (sourceOverride.width != 0) {
        drawStretched(target8, pitch, x, y, source, bytesPerPixel);
        return;
    }
    const int64_t right = static_cast<int64_t>(x) + width;
    const int64_t bottom = static_cast<int64_t>(y) + height;
    if (!(x < clipRight && y < clipBottom && clipTop <= bottom && clipLeft <= right))
        return;
    const int64_t x0 = std::max<int64_t>(x, clipLeft);
    const int64_t x1 = std::min<int64_t>(right, clipRight);
    const int64_t y0 = std::max<int64_t>(y, clipTop);
    const int64_t y1 = std::min<int64_t>(bottom, clipBottom);
    if (x1 <= x0 || y1 <= y0)
        return;

    const blend::Context context = makeContext(bytesPerPixel == 4 ? alpha : alpha / 16);
    const blend::RowFunction row = bytesPerPixel == 4 ? row32 : row16;
    const int count = static_cast<int>(x1 - x0);
    for (int64_t yy = y0; yy < y1; ++yy) {
        row(target8 + (yy * pitch + x0) * bytesPerPixel,
            source + ((yy - y) * width + (x0 - x)) * bytesPerPixel, count, context);
    }
}

void TextureDataSWRaw::drawStretched(uint8_t* destination, int pitch, int x, int y, const uint8_t* source,
                                     int bytesPerPixel) {
    const int64_t drawWidth = sourceOverride.width / 65536;
    const int64_t drawHeight = sourceOverride.height / 65536;
    if (drawWidth <= 0 || drawHeight <= 0)
        return;
    const int64_t stepX = (static_cast<int64_t>(width) << 16) / drawWidth;
    const int64_t stepY = (static_cast<int64_t>(height) << 16) / drawHeight;
    const int64_t x0 = std::max<int64_t>(x, clipLeft);
    const int64_t x1 = std::min<int64_t>(x + drawWidth, clipRight);
    const int64_t y0 = std::max<int64_t>(y, clipTop);
    const int64_t y1 = std::min<int64_t>(y + drawHeight, clipBottom);
    if (x1 <= x0 || y1 <= y0)
        return;

    const bool hasTable = colorTable && colorTableFormat == ARGB_8888;
    const bool alphaNibble = formatInfo.format == ARGB_4444;
    int64_t sy = (y0 - y) * stepY;
    for (int64_t dy = y0; dy < y1; ++dy, sy += stepY) {
        const uint8_t* row = source + (sy >> 16) * width * bytesPerPixel;
        uint8_t* out = destination + (dy * pitch + x0) * bytesPerPixel;
        int64_t sx = (x0 - x) * stepX;
        for (int64_t dx = x0; dx < x1; ++dx, sx += stepX, out += bytesPerPixel) {
            const uint8_t* in = row + (sx >> 16) * bytesPerPixel;
            if (bytesPerPixel == 4) {
                uint32_t s = blend::load32(in);
                if (blend::transparent32(s))
                    continue;
                if (hasTable) {
                    const uint32_t index = s & 0xFFFu;
                    if (index < static_cast<uint32_t>(colorTableCount))
                        s = static_cast<const uint32_t*>(colorTable)[index];
                }
                blend::store32(
                    out, constantAlpha == 255 ? s : blend::mixRGB(s, blend::load32(out), constantAlpha));
            } else {
                const uint16_t s = blend::load16(in);
                if (!blend::transparent16(s, alphaNibble))
                    blend::store16(out, s);
            }
        }
    }
}

}  // namespace mt::graphics
