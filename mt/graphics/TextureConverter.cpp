#include "mt/graphics/TextureConverter.h"

#include <squish.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "mt/graphics/NeuQuant.h"
#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/PixelRef.h"
#include "mt/graphics/RowConversion.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSWRaw.h"

namespace mt::graphics {

namespace {

// The level-0 pixels of a texture, checked to cover its width x height at its pitch.
struct Level {
    uint8_t* pixels = nullptr;
    int32_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t format = 0;
};

// True when the texture's level 0 can be read for its whole size: pixels present, a pitch of at least the
// width, and (when the data knows its size) enough bytes for every row. An empty picture is readable.
bool readableLevel(Texture* texture, Level& level) {
    if (!texture || !texture->getData())
        return false;
    TextureData* data = texture->getData();
    const Size size = texture->getSize();
    if (size.width < 0 || size.height < 0)
        return false;
    level.width = size.width;
    level.height = size.height;
    level.format = texture->getFormat();
    LevelBuffer* buffer = data->lock();
    if (buffer) {
        level.pixels = static_cast<uint8_t*>(buffer->pixels);
        level.pitch = buffer->pitch;
    }
    if (level.width == 0 || level.height == 0)
        return true;
    if (!level.pixels)
        return false;
    int64_t needed;
    if (isDXT(level.format)) {
        needed = levelByteSize(level.format, level.width, level.height);
    } else {
        if (level.pitch < level.width)
            return false;
        const int64_t pixels = static_cast<int64_t>(level.height - 1) * level.pitch + level.width;
        if (pixels > INT32_MAX)
            return false;
        needed = levelByteSize(level.format, static_cast<int32_t>(pixels), 1);
    }
    if (needed < 0)
        return false;
    const int dataSize = data->getDataSize();
    return dataSize <= 0 || needed <= dataSize;
}

// A new kind-1 texture of the size and format with raw software data and its level 0 allocated, cleared
// unless the caller is about to write every pixel.
Texture* makeTarget(Size size, int format, bool clear = true) {
    const int64_t bytes = levelByteSize(format, size.width, size.height);
    if (bytes < 0)
        return nullptr;
    Texture* texture = new (std::nothrow) Texture(TEXTURE_IN_MEMORY, String(), size, format, nullptr, 0, 1);
    if (!texture)
        return nullptr;
    TextureDataSWRaw* data = new (std::nothrow) TextureDataSWRaw(texture, clear);
    if (!data || (bytes > 0 && !data->lock()->pixels)) {
        texture->release(true);
        return nullptr;
    }
    return texture;
}

struct TextureRelease {
    void operator()(Texture* texture) const { texture->release(true); }
};

uint8_t* level0Pixels(Texture* texture) {
    LevelBuffer* buffer = texture->lock();
    return buffer ? static_cast<uint8_t*>(buffer->pixels) : nullptr;
}

TextureDataSW* softwareData(Texture* texture) {
    return static_cast<TextureDataSW*>(texture->getData());
}

bool copyFrames(Texture* source, Texture* target) {
    const int count = source->getFrameCount();
    if (!target->setFrameCount(count))
        return false;
    for (int i = 0; i < count; ++i)
        target->getFrame(i) = source->getFrame(i);
    return true;
}

inline int clamp255(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, 0, 255));
}
inline int clamp255f(float v) {
    // Truncate toward zero, then limit to a channel.
    if (!(v > 0.0f))
        return 0;
    if (v >= 255.0f)
        return 255;
    return static_cast<int>(v);
}

// ABGR_8888 or BGR_888 rows to packed ARGB_8888 rows.
void rowsToARGB(const Level& source, uint8_t* target, RowPath path) {
    const size_t width = static_cast<size_t>(source.width);
    const size_t bytesPerPixel = source.format == ABGR_8888 ? 4 : 3;
    for (int32_t y = 0; y < source.height; ++y) {
        const uint8_t* in = source.pixels + static_cast<size_t>(y) * source.pitch * bytesPerPixel;
        uint8_t* out = target + static_cast<size_t>(y) * width * 4;
        if (bytesPerPixel == 4)
            convertRowABGRtoARGB(in, out, width, path);
        else
            convertRowBGRtoARGB(in, out, width);
    }
}

// Table-driven integer square root: T[i] = floor(16 sqrt(i)) for i < 256, the argument shifted down by two
// bits per factor 4 above 2^8 and the result shifted to match.
int isqrt(uint32_t x) {
    static const std::array<int, 256> table = [] {
        std::array<int, 256> t{};
        for (int i = 0; i < 256; ++i) {
            int v = 0;
            while ((v + 1) * (v + 1) <= 256 * i)
                ++v;
            t[static_cast<size_t>(i)] = v;
        }
        return t;
    }();
    if (x < (1u << 8))
        return table[x] >> 4;
    if (x < (1u << 10))
        return table[x >> 2] >> 3;
    if (x < (1u << 12))
        return table[x >> 4] >> 2;
    if (x < (1u << 14))
        return table[x >> 6] >> 1;
    int shift = 8;  // x >> 8 fits the table below 2^16
    int result = 0;
    for (int k = 0;; ++k, shift += 2) {
        if (shift >= 24 || x < (1u << (shift + 8))) {
            result = table[x >> shift] << k;
            break;
        }
    }
    return result;
}

}  // namespace

TextureConverter::TextureConverter() : quality(1.0f), paletteFormat(ABGR_1555) {}

// The ARGB_8888 copy that the PNG loader made of an ABGR_8888 picture while decoding it, as a new texture:
// the rows are what the row conversion below would write, so handing them out saves a pass over the
// picture. Null when the source holds no such copy.
Texture* adoptPreparedARGB(Texture* source) {
    auto* data = dynamic_cast<TextureDataSW*>(source->getData());
    if (!data || source->getFormat() != ABGR_8888)
        return nullptr;
    int32_t bytes = 0;
    void* pixels = data->takePreparedConversion(ARGB_8888, bytes);
    const Size size = source->getSize();
    if (!pixels || levelByteSize(ARGB_8888, size.width, size.height) != bytes) {
        std::free(pixels);
        return nullptr;
    }
    Texture* texture =
        new (std::nothrow) Texture(TEXTURE_IN_MEMORY, String(), size, ARGB_8888, nullptr, 0, 1);
    if (!texture) {
        std::free(pixels);
        return nullptr;
    }
    if (!new (std::nothrow) TextureDataSWRaw(texture, pixels, bytes)) {
        std::free(pixels);
        texture->release(true);
        return nullptr;
    }
    return texture;
}

Texture* TextureConverter::convert(Texture* source, int format, bool ditherOn) {
    dither = ditherOn;
    if (source && rowFastPath && format == ARGB_8888) {
        if (Texture* prepared = adoptPreparedARGB(source)) {
            if (!copyFrames(source, prepared)) {
                prepared->release(true);
                return nullptr;
            }
            return prepared;
        }
    }
    Level level;
    if (!readableLevel(source, level))
        return nullptr;
    Texture* result = nullptr;
    try {
        result = source->getFormat() == format ? copySameFormat(source) : convertFormat(source, format);
    } catch (const std::bad_alloc&) {
        // The working data of palettizing grows in containers; without memory there is no result.
        result = nullptr;
    }
    source->unlock();
    if (result && !copyFrames(source, result)) {
        result->release(true);
        result = nullptr;
    }
    return result;
}

Texture* TextureConverter::copySameFormat(Texture* source) {
    Level level;
    readableLevel(source, level);
    Texture* target = makeTarget(source->getSize(), level.format);
    if (!target)
        return nullptr;
    uint8_t* out = level0Pixels(target);
    if (out && level.pixels) {
        const int64_t targetBytes = levelByteSize(level.format, level.width, level.height);
        if (isDXT(level.format) || level.pitch == level.width) {
            std::memcpy(out, level.pixels, static_cast<size_t>(targetBytes));
        } else if (level.format == PAL_4 || level.format == PAL_2) {
            // Sub-byte rows at a wider pitch do not start on byte boundaries: copy index by index.
            const PixelRef from(level.pixels, level.format);
            const PixelRef to(out, level.format);
            for (int32_t y = 0; y < level.height; ++y)
                for (int32_t x = 0; x < level.width; ++x)
                    to.at(static_cast<int64_t>(y) * level.width + x)
                        .writeRaw(from.at(static_cast<int64_t>(y) * level.pitch + x).readRaw());
        } else {
            const size_t bpp = static_cast<size_t>(getBytesPerPixel(level.format));
            for (int32_t y = 0; y < level.height; ++y)
                std::memcpy(out + static_cast<size_t>(y) * level.width * bpp,
                            level.pixels + static_cast<size_t>(y) * level.pitch * bpp, level.width * bpp);
        }
    }
    if (Palette* palette = source->getData()->getPalette()) {
        Palette* copy = new (std::nothrow) Palette(*palette);
        if (!copy) {
            target->release(true);
            return nullptr;
        }
        target->getData()->setPalette(copy);
    }
    return target;
}

Texture* TextureConverter::convertFormat(Texture* source, int format) {
    // The direct colour formats (those a palette entry can have) and A_8 convert pixel by pixel.
    if (isPaletteEntryFormat(format) || format == A_8)
        return convertPlain(source, format);
    switch (format) {
        case PAL_8:
            return palettize(source, 8);
        case PAL_4:
            return palettize(source, 4);
        case PAL_2:
            return palettize(source, 2);
        case PAL_5A3:
            return palettize(source, 5);
        case DXT1:
        case DXT3:
        case DXT5:
            return encodeDXT(source, format);
        default:
            return nullptr;
    }
}

Texture* TextureConverter::convertPlain(Texture* source, int format) {
    Level level;
    readableLevel(source, level);
    // Every channel converts exactly from these formats to ARGB_8888, so the error carry stays zero and
    // whole rows can be converted at once; they cover the whole target, which needs no clearing first.
    const bool rows = rowFastPath && format == ARGB_8888 &&
                      (level.format == ABGR_8888 || level.format == BGR_888) && level.width > 0 &&
                      level.height > 0;
    Texture* target = makeTarget(source->getSize(), format, !rows);
    if (!target)
        return nullptr;
    uint8_t* out = level0Pixels(target);
    if (!out || level.width == 0 || level.height == 0)
        return target;
    if (rows) {
        rowsToARGB(level, out, rowPath);
        return target;
    }

    if (isDXT(level.format)) {
        if (!decodeDXT(source, target)) {
            target->release(true);
            return nullptr;
        }
        return target;
    }
    if (!isPlainFormat(level.format) && !isPalettized(level.format))
        return target;  // left zero

    // The error accumulators run over the whole picture, across row ends, in reading order.
    int64_t eR = 0, eG = 0, eB = 0, eA = 0;
    const PixelRef from(level.pixels, level.format, source);
    const PixelRef to(out, format, target);
    for (int32_t y = 0; y < level.height; ++y) {
        for (int32_t x = 0; x < level.width; ++x) {
            int r, g, b, a;
            from.at(static_cast<int64_t>(y) * level.pitch + x).readRGBA(r, g, b, a);
            const PixelRef pixel = to.at(static_cast<int64_t>(y) * level.width + x);
            pixel.writeRGBA(clamp255(r + eR), clamp255(g + eG), clamp255(b + eB), clamp255(a + eA));
            if (dither) {
                int r2, g2, b2, a2;
                pixel.readRGBA(r2, g2, b2, a2);
                eR += r - r2;
                eG += g - g2;
                eB += b - b2;
                eA += a - a2;
            }
        }
    }
    return target;
}

Texture* TextureConverter::palettize(Texture* source, int bits) {
    Level level;
    readableLevel(source, level);
    const int format = bits == 8 ? PAL_8 : bits == 4 ? PAL_4 : bits == 2 ? PAL_2 : PAL_5A3;
    const int n = 1 << bits;
    Texture* target = makeTarget(source->getSize(), format);
    if (!target)
        return nullptr;
    // Released on every way out but the last, also when a container of the working data cannot grow.
    std::unique_ptr<Texture, TextureRelease> owned(target);
    TextureDataSW* targetData = softwareData(target);
    targetData->setColorIndexed(true);
    Palette* palette = new (std::nothrow) Palette(n, paletteFormat);
    if (!palette) {
        return nullptr;
    }
    targetData->setPalette(palette);
    uint8_t* out = level0Pixels(target);
    const int32_t width = level.width;
    const int32_t height = level.height;
    if (!out || width == 0 || height == 0)
        return owned.release();

    // Working copy, 4 bytes per pixel in the order B, G, R, A.
    const size_t pixelCount = static_cast<size_t>(width) * height;
    if (pixelCount * 4 > INT32_MAX) {
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> work(new (std::nothrow) uint8_t[pixelCount * 4]);
    std::unique_ptr<float[]> values(new (std::nothrow) float[(pixelCount + width) * 4]());
    if (!work || !values) {
        return nullptr;
    }
    const PixelRef from(level.pixels, level.format, source);
    const bool transparentEntry = paletteFormat == ABGR_1555 && bits != 5;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            int r, g, b, a;
            from.at(static_cast<int64_t>(y) * level.pitch + x).readRGBA(r, g, b, a);
            if (bits == 5)
                a = 255;
            if (paletteFormat == ABGR_1555 && a == 0)
                r = g = b = 0;
            uint8_t* w = &work[(static_cast<size_t>(y) * width + x) * 4];
            w[0] = static_cast<uint8_t>(b);
            w[1] = static_cast<uint8_t>(g);
            w[2] = static_cast<uint8_t>(r);
            w[3] = static_cast<uint8_t>(a);
        }
    }
    auto packed = [&](size_t i) {
        const uint8_t* w = &work[i * 4];
        return static_cast<uint32_t>(w[3]) << 24 | static_cast<uint32_t>(w[2]) << 16 |
               static_cast<uint32_t>(w[1]) << 8 | w[0];
    };

    // Exact path: when the picture has few enough colours, each gets an entry of its own (entry 0 is the
    // colour 0, then the colours in the order first seen).
    bool exact = !dither;
    std::vector<uint32_t> colours;
    std::unordered_map<uint32_t, int> colourIndex;
    if (exact) {
        colours.push_back(0);
        colourIndex.emplace(0u, 0);
        for (size_t i = 0; i < pixelCount && exact; ++i) {
            const uint32_t c = packed(i);
            if (colourIndex.count(c))
                continue;
            if (static_cast<int>(colours.size()) == n) {
                exact = false;
                break;
            }
            colourIndex.emplace(c, static_cast<int>(colours.size()));
            colours.push_back(c);
        }
    }

    const PixelRef entries(palette->getData(), paletteFormat);
    const bool paletteUsable = palette->getData() != nullptr;
    int m = n;
    if (transparentEntry) {
        if (paletteUsable)
            entries.at(0).writeRGBA(0, 0, 0, 0);
        m = n - 1;
    }
    const int baseCycles = n > 64 ? 128 : n > 16 ? 32 : 16;
    NeuQuant network(work.get(), static_cast<int>(pixelCount * 4), m, 1,
                     static_cast<int>(quality * baseCycles));
    network.learn();
    network.unbias();
    network.buildIndex();
    if (paletteUsable) {
        for (int i = 0; i < m; ++i)
            entries.at(n - m + i).writeRGBA(network.component(i, 2), network.component(i, 1),
                                            network.component(i, 0), network.component(i, 3));
        if (exact) {
            for (size_t i = 0; i < colours.size(); ++i) {
                const uint32_t c = colours[i];
                entries.at(static_cast<int64_t>(i))
                    .writeRGBA((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, c >> 24);
            }
        }
    }

    // Floating-point R, G, B, A copy with one spare row to take the error diffused past the last pixel.
    for (size_t i = 0; i < pixelCount; ++i) {
        float* v = &values[i * 4];
        if (bits == 5) {
            int r, g, b, a;
            from.at(static_cast<int64_t>(i / width) * level.pitch + static_cast<int64_t>(i % width))
                .readRGBA(r, g, b, a);
            v[0] = static_cast<float>(r);
            v[1] = static_cast<float>(g);
            v[2] = static_cast<float>(b);
            v[3] = static_cast<float>(a);
        } else {
            const uint8_t* w = &work[i * 4];
            v[0] = w[2];
            v[1] = w[1];
            v[2] = w[0];
            v[3] = w[3];
        }
    }

    const PixelRef to(out, format, target);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            float* v = &values[i * 4];
            int index = 0;
            if (exact) {
                index = colourIndex[packed(i)];
            } else {
                const int r = clamp255f(v[0]), g = clamp255f(v[1]), b = clamp255f(v[2]), a = clamp255f(v[3]);
                int best = 1000;
                for (int k = 0; k < m; ++k) {
                    const int db = network.component(k, 0) - b;
                    const int dg = network.component(k, 1) - g;
                    const int dr = network.component(k, 2) - r;
                    const int da = network.component(k, 3) - a;
                    const int distance = isqrt(static_cast<uint32_t>(db * db + dg * dg + dr * dr + da * da));
                    if (distance < best) {
                        best = distance;
                        index = k;
                    }
                }
                if (transparentEntry)
                    index = v[3] >= 127.0f ? index + 1 : 0;
            }
            const int alphaLevel = bits == 5 ? clamp255f(v[3]) / 32 * 32 : 0;
            if (dither && paletteUsable) {
                int r2, g2, b2, a2;
                entries.at(index).readRGBA(r2, g2, b2, a2);
                if (bits == 5)
                    a2 = alphaLevel;
                // The error is taken from the value limited to 0-255, as the search saw it: with the gain of
                // 1.5, errors measured from unlimited values grow without bound in saturated areas.
                const float error[4] = {(clamp255f(v[0]) - r2) * 1.5f, (clamp255f(v[1]) - g2) * 1.5f,
                                        (clamp255f(v[2]) - b2) * 1.5f, (clamp255f(v[3]) - a2) * 1.5f};
                auto spread = [&](size_t at, float weight) {
                    for (int c = 0; c < 4; ++c)
                        values[at * 4 + c] += error[c] * weight;
                };
                spread(i + 1, 7.0f / 16.0f);
                if (y < height - 2) {
                    const size_t below = i + static_cast<size_t>(width);
                    if (x < width - 2)
                        spread(below + 1, 1.0f / 16.0f);
                    spread(below, 5.0f / 16.0f);
                    if (x > 0)
                        spread(below - 1, 3.0f / 16.0f);
                }
            }
            to.at(static_cast<int64_t>(i)).writeRaw(static_cast<uint32_t>(alphaLevel + index));
        }
    }
    return owned.release();
}

Texture* TextureConverter::encodeDXT(Texture* source, int format) {
    // The blocks are computed from ARGB_8888 pixels; other sources are converted to that first.
    Texture* argb = source;
    if (source->getFormat() != ARGB_8888) {
        const bool savedDither = dither;
        dither = false;
        argb = convertPlain(source, ARGB_8888);
        dither = savedDither;
        if (!argb)
            return nullptr;
    }
    Level level;
    readableLevel(argb, level);
    Texture* target = makeTarget(source->getSize(), format);
    uint8_t* out = target ? level0Pixels(target) : nullptr;
    if (target && out && level.width > 0 && level.height > 0) {
        const size_t pixelCount = static_cast<size_t>(level.width) * level.height;
        std::unique_ptr<uint8_t[]> rgba(new (std::nothrow) uint8_t[pixelCount * 4]);
        if (!rgba) {
            target->release(true);
            target = nullptr;
        } else {
            for (int32_t y = 0; y < level.height; ++y) {
                const uint8_t* in = level.pixels + static_cast<size_t>(y) * level.pitch * 4;
                uint8_t* row = &rgba[static_cast<size_t>(y) * level.width * 4];
                for (int32_t x = 0; x < level.width; ++x, in += 4, row += 4) {
                    row[0] = in[2];
                    row[1] = in[1];
                    row[2] = in[0];
                    row[3] = in[3];
                }
            }
            const int flags = format == DXT1 ? squish::kDxt1 : format == DXT3 ? squish::kDxt3 : squish::kDxt5;
            squish::CompressImage(rgba.get(), level.width, level.height, out, flags);
        }
    }
    if (argb != source)
        argb->release(true);
    return target;
}

bool TextureConverter::decodeDXT(Texture* source, Texture* target) {
    Level level;
    readableLevel(source, level);
    const int flags = level.format == DXT1   ? squish::kDxt1
                      : level.format == DXT3 ? squish::kDxt3
                                             : squish::kDxt5;
    // Decoded into ABGR_8888, whose bytes R, G, B, A are the decoder's own order, then converted on.
    Texture* decoded = makeTarget(source->getSize(), ABGR_8888);
    if (!decoded)
        return false;
    uint8_t* rgba = level0Pixels(decoded);
    if (rgba)
        squish::DecompressImage(rgba, level.width, level.height, level.pixels, flags);
    Texture* converted = convertPlain(decoded, target->getFormat());
    decoded->release(true);
    if (!converted)
        return false;
    uint8_t* from = level0Pixels(converted);
    uint8_t* to = level0Pixels(target);
    const int64_t bytes = levelByteSize(target->getFormat(), level.width, level.height);
    if (from && to && bytes > 0)
        std::memcpy(to, from, static_cast<size_t>(bytes));
    converted->release(true);
    return true;
}

}  // namespace mt::graphics
