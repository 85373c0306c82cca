#include "mt/graphics/TexturePacker.h"

#include <algorithm>
#include <bit>
#include <new>

namespace mt::graphics {

namespace {

void appendWord(std::vector<uint8_t>& out, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    out.insert(out.end(), bytes, bytes + 4);
}

bool packableFormat(int32_t format) {
    return format == ARGB_8888 || format == RGB_565 || format == ARGB_4444;
}

}  // namespace

int32_t packedPixelFormat(int32_t format, bool colorIndexed, bool partial) {
    return format == RGB_565 && (colorIndexed || partial) ? ARGB_4444 : format;
}

uint32_t PixelConversion::resizeField(uint32_t value, int fromBits, int toBits) {
    if (toBits <= fromBits)
        return value >> (fromBits - toBits);
    uint32_t out = 0;
    for (int shift = toBits - fromBits; shift > -fromBits; shift -= fromBits)
        out |= shift >= 0 ? value << shift : value >> -shift;
    return out & ((1u << toBits) - 1u);
}

PixelConversion::PixelConversion(const PixelFormatInfo& from, const PixelFormatInfo& to, bool colorIndexed)
    : indexed(colorIndexed) {
    // Channel widths come from the masks (at most 8 bits each).
    auto plan = [this](uint32_t fromMask, int32_t fromShift, uint32_t toMask, int32_t toShift) {
        const int fromWidth = std::popcount(fromMask);
        const int toWidth = std::popcount(toMask);
        if (!fromMask || !toMask || fromWidth > 8 || toWidth > 8)
            return;
        Channel& c = channels[channelCount++];
        c.fromMask = fromMask;
        c.fromShift = fromShift;
        c.toShift = toShift;
        for (uint32_t v = 0; v < (1u << fromWidth); ++v)
            c.values[v] = static_cast<uint8_t>(resizeField(v, fromWidth, toWidth));
    };
    if (from.alphaMask) {
        plan(from.alphaMask, from.alphaShift, to.alphaMask, to.alphaShift);
    } else {
        alphaFromValue = true;
        opaque = to.alphaMask;
    }
    if (colorIndexed)
        return;
    plan(from.redMask, from.redShift, to.redMask, to.redShift);
    plan(from.greenMask, from.greenShift, to.greenMask, to.greenShift);
    plan(from.blueMask, from.blueShift, to.blueMask, to.blueShift);
}

uint32_t convertPixel(uint32_t pixel, const PixelFormatInfo& from, const PixelFormatInfo& to,
                      bool colorIndexed) {
    return PixelConversion(from, to, colorIndexed)(pixel);
}

PackedPixelClass classifyPixel(uint32_t pixel, const PixelFormatInfo& format) {
    if (!format.alphaMask)
        return pixel == 0 ? PIXEL_TRANSPARENT : PIXEL_OPAQUE;
    const uint32_t alpha = pixel & format.alphaMask;
    if (alpha == 0)
        return PIXEL_TRANSPARENT;
    return alpha == format.alphaMask ? PIXEL_OPAQUE : PIXEL_PARTIAL;
}

namespace {

bool packRows(const PixelRect& source, int32_t sourceFormat, int32_t destFormat, int32_t storage,
              bool colorIndexed, std::vector<uint8_t>& out);

}  // namespace

bool packFrame(const PixelRect& source, int32_t sourceFormat, int32_t destFormat, int32_t storage,
               bool colorIndexed, std::vector<uint8_t>& out) {
    const size_t before = out.size();
    try {
        if (packRows(source, sourceFormat, destFormat, storage, colorIndexed, out))
            return true;
    } catch (const std::bad_alloc&) {
    }
    out.resize(before);
    return false;
}

namespace {

bool packRows(const PixelRect& source, int32_t sourceFormat, int32_t destFormat, int32_t storage,
              bool colorIndexed, std::vector<uint8_t>& out) {
    const int32_t sourceBytes = getBytesPerPixel(sourceFormat);
    if ((sourceBytes != 2 && sourceBytes != 4) || !packableFormat(destFormat) ||
        (storage != STORAGE_PACKED_PLAIN && storage != STORAGE_PACKED_ALPHA) || !source.pixels ||
        source.width < 0 || source.height < 0 || source.pitch < source.width)
        return false;
    const int32_t destBytes = getBytesPerPixel(destFormat);
    const bool alphaRuns = storage == STORAGE_PACKED_ALPHA;

    // Layouts of the pixels as they are held: opaque (and plain-run) pixels, and partly transparent ones.
    const PixelFormatInfo fromWhole =
        makePixelFormatInfo(packedPixelFormat(sourceFormat, colorIndexed, false));
    const PixelFormatInfo fromPartial =
        makePixelFormatInfo(packedPixelFormat(sourceFormat, colorIndexed, true));
    const PixelFormatInfo toWhole = makePixelFormatInfo(packedPixelFormat(destFormat, colorIndexed, false));
    const PixelFormatInfo toPartial =
        makePixelFormatInfo(packedPixelFormat(destFormat, colorIndexed, alphaRuns));
    const PixelConversion wholeConversion(fromWhole, toWhole, colorIndexed);
    const PixelConversion partialConversion(fromPartial, toPartial, colorIndexed);

    std::vector<uint8_t> classes(static_cast<size_t>(source.width));
    for (int32_t y = 0; y < source.height; ++y) {
        const uint8_t* row = source.pixels + static_cast<size_t>(y) * source.pitch * sourceBytes;
        if (source.classes) {
            const uint8_t* given = source.classes + static_cast<size_t>(y) * source.pitch;
            for (int32_t x = 0; x < source.width; ++x)
                classes[x] = std::min<uint8_t>(given[x], PIXEL_OPAQUE);
        } else {
            for (int32_t x = 0; x < source.width; ++x)
                classes[x] = classifyPixel(loadPixel(row + x * sourceBytes, sourceBytes), fromWhole);
        }
        auto emitRun = [&](int32_t from, int32_t to) {
            appendWord(out, static_cast<uint32_t>(to - from) * destBytes);
            const size_t start = out.size();
            out.resize(start + static_cast<size_t>(to - from) * destBytes);
            uint8_t* written = out.data() + start;
            for (int32_t x = from; x < to; ++x, written += destBytes) {
                const bool partial = classes[x] == PIXEL_PARTIAL;
                const bool same =
                    partial ? fromPartial.format == toPartial.format : fromWhole.format == toWhole.format;
                uint32_t pixel = loadPixel(row + x * sourceBytes, sourceBytes);
                if (!same)
                    pixel = partial ? partialConversion(pixel) : wholeConversion(pixel);
                storePixel(written, destBytes, pixel);
            }
        };
        int32_t x = 0;
        while (x < source.width) {
            const int32_t skipStart = x;
            while (x < source.width && classes[x] == PIXEL_TRANSPARENT)
                ++x;
            appendWord(out, static_cast<uint32_t>(x - skipStart) * destBytes);
            if (alphaRuns) {
                const int32_t partialStart = x;
                while (x < source.width && classes[x] == PIXEL_PARTIAL)
                    ++x;
                emitRun(partialStart, x);
                const int32_t opaqueStart = x;
                while (x < source.width && classes[x] == PIXEL_OPAQUE)
                    ++x;
                emitRun(opaqueStart, x);
            } else {
                const int32_t runStart = x;
                while (x < source.width && classes[x] != PIXEL_TRANSPARENT)
                    ++x;
                emitRun(runStart, x);
            }
        }
    }
    return true;
}

}  // namespace

namespace {

// Stores a run's pixels (and classes) at its place in out.
struct RunStore {
    const PixelRect& out;
    int32_t bytesPerPixel;
    void operator()(const PackedRun& run) const {
        const size_t at = static_cast<size_t>(run.row) * out.pitch + run.column;
        std::memcpy(out.pixels + at * bytesPerPixel, run.pixels,
                    static_cast<size_t>(run.count) * bytesPerPixel);
        if (out.classes)
            std::memset(out.classes + at, run.partial ? PIXEL_PARTIAL : PIXEL_OPAQUE,
                        static_cast<size_t>(run.count));
    }
};

}  // namespace

bool unpackFrame(const uint8_t* data, size_t size, int64_t offset, int32_t bytesPerPixel, int32_t storage,
                 const PixelRect& out) {
    if (!out.pixels || out.pitch < out.width)
        return false;
    return walkPackedFrame(data, size, offset, out.width, out.height, bytesPerPixel, storage,
                           RunStore{out, bytesPerPixel});
}

bool unpackRow(const uint8_t* data, size_t size, size_t& pos, int32_t bytesPerPixel, int32_t storage,
               const PixelRect& out) {
    if (!data || !out.pixels || out.width <= 0 || bytesPerPixel <= 0 || pos > size)
        return false;
    return walkPackedRow(data, size, pos, out.width, 0, static_cast<uint32_t>(bytesPerPixel),
                         storage == STORAGE_PACKED_ALPHA ? 2 : 1, RunStore{out, bytesPerPixel});
}

}  // namespace mt::graphics
