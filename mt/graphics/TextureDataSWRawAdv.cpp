#include "mt/graphics/TextureDataSWRawAdv.h"

#include <algorithm>

#include "mt/core/ServiceRegistry.h"
#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/SineTable.h"
#include "mt/graphics/Texture.h"

namespace mt::graphics {

namespace {

// Larger squares are not made: the buffer would pass a gigabyte at 32 bits per pixel.
constexpr int MAX_SQUARE_SIDE = 16384;

}  // namespace

int TextureDataSWRawAdv::squareSideFor(int w, int h) {
    const int larger = std::max(w, h);
    if (larger < 25)
        return 32;
    if (larger < 53)
        return 64;
    if (larger < 105)
        return 128;
    if (larger < 209)
        return 256;
    if (larger <= 512)
        return 512;
    if (larger > MAX_SQUARE_SIDE)
        return 0;
    int result = 1024;
    while (result < larger)
        result *= 2;
    return result;
}

TextureDataSWRawAdv::TextureDataSWRawAdv(Texture* texture) : TextureDataSW(texture) {
    storageFormat = STORAGE_RAW_ADV;
    const Size size = texture ? texture->getSize() : Size{};
    width = size.width;
    height = size.height;
    side = width > 0 && height > 0 ? squareSideFor(width, height) : 0;
    const int64_t bytes = levelByteSize(formatInfo.format, side, side);
    if (bytes > 0 && allocateLevel0(static_cast<int>(bytes)))
        setLevel0(level0->pixels, side);
    createFrameTable(1);
    rotateCorners(0, 65536);
    setBlendMode(0);
}

TextureDataSWRawAdv::~TextureDataSWRawAdv() = default;

void TextureDataSWRawAdv::setBlendMode(int mode) {
    blendMode = mode;
}

void TextureDataSWRawAdv::setAngle(int angle) {
    const SineTable* table = static_cast<const SineTable*>(findService(SERVICE_SINE_TABLE));
    if (!table || table->getCount() < 4)
        return;
    const int32_t index = static_cast<int32_t>(static_cast<uint32_t>(angle) & (table->getCount() - 1));
    if (index == lastAngle)
        return;
    lastAngle = index;
    rotateCorners(table->sine(index), table->cosine(index));
}

void TextureDataSWRawAdv::rotateCorners(int32_t newSine, int32_t newCosine) {
    sine = newSine;
    cosine = newCosine;
    const int64_t centre = static_cast<int64_t>(side) << 15;
    const int64_t halfW = static_cast<int64_t>(width) << 15;
    const int64_t halfH = static_cast<int64_t>(height) << 15;
    const int64_t xs[4] = {-halfW, halfW, halfW, -halfW};
    const int64_t ys[4] = {-halfH, -halfH, halfH, halfH};
    for (int i = 0; i < 4; ++i) {
        corners[i].x = static_cast<int32_t>(((xs[i] * cosine - ys[i] * sine) >> 16) + centre);
        corners[i].y = static_cast<int32_t>(((ys[i] * cosine + xs[i] * sine) >> 16) + centre);
    }
}

void TextureDataSWRawAdv::setSourceSize(int w, int h) {
    sourceOverride.width = w;
    sourceOverride.height = h;
    scale = w != 0 && width > 0 ? static_cast<int32_t>(w / width) : 65536;
}

void TextureDataSWRawAdv::draw(const DrawTarget* target, void* destination, const int* destinationPitch,
                               int x, int y, int alpha, int) {
    if (!target || !destination || !destinationPitch)
        return;
    useDrawTarget(*target);
    alpha = std::clamp(alpha, 0, 255);
    constantAlpha = alpha;
    if (!level0->pixels || side <= 0 || width <= 0 || height <= 0 || scale <= 0)
        return;

    blend::Context context;
    context.additive = additiveTable;
    context.table16 = blendTable16;
    if (colorIndexed && colorTable && colorTableFormat == ARGB_8888) {
        context.colorTable = static_cast<const uint32_t*>(colorTable);
        context.colorTableCount = static_cast<uint32_t>(colorTableCount);
    }
    uint8_t* out = static_cast<uint8_t*>(destination);
    const int pitch = *destinationPitch;
    if (formatInfo.format == ARGB_8888) {
        context.alpha = alpha;
        switch (blendMode) {
            case 1:
                drawTurned<1, 4>(out, pitch, x, y, context);
                break;
            case 2:
                drawTurned<2, 4>(out, pitch, x, y, context);
                break;
            case 3:
                drawTurned<3, 4>(out, pitch, x, y, context);
                break;
            default:
                drawTurned<0, 4>(out, pitch, x, y, context);
                break;
        }
    } else if (formatInfo.format == RGB_565 || formatInfo.format == ARGB_4444) {
        context.alpha = alpha / 16;
        if (blendMode == 3)
            drawTurned<3, 2>(out, pitch, x, y, context);
        else
            drawTurned<0, 2>(out, pitch, x, y, context);
    }
}

template <int Mode, int BytesPerPixel>
void TextureDataSWRawAdv::drawTurned(uint8_t* destination, int pitch, int x, int y,
                                     const blend::Context& context) {
    // Centre of the drawn picture on the destination, 16.16.
    const int64_t cx = (static_cast<int64_t>(x) << 16) + static_cast<int64_t>(width) * scale / 2;
    const int64_t cy = (static_cast<int64_t>(y) << 16) + static_cast<int64_t>(height) * scale / 2;
    // Bounding box of the turned and scaled corners.
    const int64_t centre = static_cast<int64_t>(side) << 15;
    int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
    for (const FixedPoint& corner : corners) {
        const int64_t dx = (corner.x - centre) * scale >> 16;
        const int64_t dy = (corner.y - centre) * scale >> 16;
        minX = std::min(minX, dx);
        maxX = std::max(maxX, dx);
        minY = std::min(minY, dy);
        maxY = std::max(maxY, dy);
    }
    const int64_t x0 = std::max<int64_t>((cx + minX) >> 16, clipLeft);
    const int64_t x1 = std::min<int64_t>(((cx + maxX) >> 16) + 1, clipRight);
    const int64_t y0 = std::max<int64_t>((cy + minY) >> 16, clipTop);
    const int64_t y1 = std::min<int64_t>(((cy + maxY) >> 16) + 1, clipBottom);
    if (x1 <= x0 || y1 <= y0)
        return;

    const uint8_t* square = static_cast<const uint8_t*>(level0->pixels);
    const int64_t offsetX = (side - width) / 2;
    const int64_t offsetY = (side - height) / 2;
    const int64_t halfW = static_cast<int64_t>(width) << 15;
    const int64_t halfH = static_cast<int64_t>(height) << 15;
    const bool alphaNibble = formatInfo.format == ARGB_4444;
    for (int64_t py = y0; py < y1; ++py) {
        const int64_t ry = (py << 16) + 32768 - cy;
        uint8_t* out = destination + (py * pitch + x0) * BytesPerPixel;
        for (int64_t px = x0; px < x1; ++px, out += BytesPerPixel) {
            const int64_t rx = (px << 16) + 32768 - cx;
            // Turn the destination offset back by the angle, undo the scale, and sample the nearest pixel.
            const int64_t u = ((rx * cosine + ry * sine) >> 16) * 65536 / scale + halfW;
            const int64_t v = ((ry * cosine - rx * sine) >> 16) * 65536 / scale + halfH;
            const int64_t su = u >> 16;
            const int64_t sv = v >> 16;
            if (su < 0 || su >= width || sv < 0 || sv >= height)
                continue;
            const uint8_t* in = square + ((offsetY + sv) * side + offsetX + su) * BytesPerPixel;
            if constexpr (BytesPerPixel == 4) {
                const uint32_t s = blend::load32(in);
                if (blend::transparent32(s))
                    continue;
                blend::store32(out, blend::pixel32<Mode>(s, blend::load32(out), context));
            } else {
                const uint16_t s = blend::load16(in);
                if (blend::transparent16(s, alphaNibble))
                    continue;
                blend::store16(out, blend::pixel16<Mode>(s, blend::load16(out), context));
            }
        }
    }
}

}  // namespace mt::graphics
