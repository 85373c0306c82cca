#include "mt/graphics/TextureDataSWPackedPlain.h"

#include <algorithm>

#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/Texture.h"

namespace mt::graphics {

TextureDataSWPackedPlain::TextureDataSWPackedPlain(Texture* texture) : TextureDataSW(texture) {
    storageFormat = STORAGE_PACKED_PLAIN;
    const Size size = texture ? texture->getSize() : Size{};
    width = size.width;
    height = size.height;
    createFrameTable(1);
    setBlendMode(0);
}

TextureDataSWPackedPlain::~TextureDataSWPackedPlain() = default;

bool TextureDataSWPackedPlain::hasColorTable32() const {
    return colorIndexed && colorTable && colorTableCount > 0 && colorTableFormat == ARGB_8888;
}

bool TextureDataSWPackedPlain::hasColorTable16() const {
    return colorIndexed && colorTable && colorTableCount > 0 && colorTableFormat == formatInfo.format &&
           (colorTableFormat == RGB_565 || colorTableFormat == ARGB_4444);
}

void TextureDataSWPackedPlain::selectRuns() {
    const int32_t format = formatInfo.format;
    const bool table = format == ARGB_8888 ? hasColorTable32() : hasColorTable16();
    runWhole = packed::selectRun(format, blendMode, false, table);
    // Plain data has no partly transparent runs.
    runPartial = runWhole;
    plainCopy = blendMode == 0 && !table;
}

void TextureDataSWPackedPlain::setBlendMode(int mode) {
    blendMode = mode;
    plainCopy = false;
    selectRuns();
}

void TextureDataSWPackedPlain::setColorModulation(int, uint32_t colour, int) {
    modulationColour = colour & 0xFFFFFFu;
}

int32_t TextureDataSWPackedPlain::getPackedSize() const {
    if (!level0->pixels)
        return 0;
    // Packed data handed in from outside carries its byte size as its pitch.
    return dataSize > 0 ? dataSize : std::max(0, level0->pitch);
}

bool TextureDataSWPackedPlain::unpackFrame(int frame, void* pixels, uint8_t* classes, int pitch) {
    const int32_t bytesPerPixel = formatInfo.bytesPerPixel;
    if (frame < 0 || frame >= getFrameCount() || !pixels || (bytesPerPixel != 2 && bytesPerPixel != 4))
        return false;
    PixelRect out;
    out.pixels = static_cast<uint8_t*>(pixels);
    out.classes = classes;
    out.width = width;
    out.height = height;
    out.pitch = pitch;
    return mt::graphics::unpackFrame(static_cast<const uint8_t*>(level0->pixels),
                                     static_cast<size_t>(getPackedSize()), getFrameOffset(frame),
                                     bytesPerPixel, storageFormat, out);
}

void TextureDataSWPackedPlain::draw(const DrawTarget* target, void* destination, const int* destinationPitch,
                                    int x, int y, int alpha, int frame) {
    if (!target || !destination || !destinationPitch)
        return;
    if (frame < 0 || frame >= getFrameCount())
        frame = 0;
    useDrawTarget(*target);
    const int32_t format = formatInfo.format;
    if (format != ARGB_8888 && format != RGB_565 && format != ARGB_4444)
        return;
    alpha = std::clamp(alpha, 0, 255);
    constantAlpha = format == ARGB_4444 ? alpha / 16 : alpha;
    selectRuns();
    const uint8_t* data = static_cast<const uint8_t*>(level0->pixels);
    if (!data || width <= 0 || height <= 0 || !runWhole || !runPartial)
        return;

    packed::RunContext context;
    context.base.alpha = constantAlpha;
    context.base.additive = additiveTable;
    context.base.table16 = blendTable16;
    if (format == ARGB_8888 && hasColorTable32()) {
        context.base.colorTable = static_cast<const uint32_t*>(colorTable);
        context.base.colorTableCount = static_cast<uint32_t>(colorTableCount);
    } else if (format != ARGB_8888 && hasColorTable16()) {
        context.table16 = static_cast<const uint16_t*>(colorTable);
        context.table16Count = static_cast<uint32_t>(colorTableCount);
    }
    context.modulation = modulationColour;

    // Rows and columns of the frame that land inside the clip rectangle. Mirrored, column c of the frame
    // goes to x + width - 1 - c. A frame wholly inside the clip walks with nothing cut.
    const int64_t firstRow = std::max<int64_t>(0, static_cast<int64_t>(clipTop) - y);
    const int64_t endRow = std::min<int64_t>(height, static_cast<int64_t>(clipBottom) - y);
    int64_t firstColumn, endColumn;
    if (mirrored) {
        firstColumn = std::max<int64_t>(0, static_cast<int64_t>(x) + width - clipRight);
        endColumn = std::min<int64_t>(width, static_cast<int64_t>(x) + width - clipLeft);
    } else {
        firstColumn = std::max<int64_t>(0, static_cast<int64_t>(clipLeft) - x);
        endColumn = std::min<int64_t>(width, static_cast<int64_t>(clipRight) - x);
    }
    if (firstRow >= endRow || firstColumn >= endColumn)
        return;

    const int32_t bytesPerPixel = formatInfo.bytesPerPixel;
    uint8_t* out = static_cast<uint8_t*>(destination);
    const int64_t pitch = *destinationPitch;
    const bool mirror = mirrored;
    walkPackedFrame(data, static_cast<size_t>(getPackedSize()), getFrameOffset(frame), width,
                    static_cast<int32_t>(endRow), bytesPerPixel, storageFormat, [&](const PackedRun& run) {
                        if (run.row < firstRow)
                            return;
                        const int64_t from = std::max<int64_t>(run.column, firstColumn);
                        const int64_t to =
                            std::min<int64_t>(static_cast<int64_t>(run.column) + run.count, endColumn);
                        if (from >= to)
                            return;
                        const uint8_t* source = run.pixels + (from - run.column) * bytesPerPixel;
                        uint8_t* row = out + (static_cast<int64_t>(y) + run.row) * pitch * bytesPerPixel;
                        const packed::RunFunction function = run.partial ? runPartial : runWhole;
                        if (mirror)
                            function(row + (static_cast<int64_t>(x) + width - 1 - from) * bytesPerPixel,
                                     -bytesPerPixel, source, static_cast<int>(to - from), context);
                        else
                            function(row + (static_cast<int64_t>(x) + from) * bytesPerPixel, bytesPerPixel,
                                     source, static_cast<int>(to - from), context);
                    });
}

}  // namespace mt::graphics
