#include "mt/graphics/PNGImageLoader.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/RowConversion.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/stream/InputStream.h"

namespace mt::graphics {

// Everything libpng's callbacks and the error return need. Plain data only: libpng unwinds with longjmp,
// which must never cross a C++ object with a destructor. It lives in the caller of the setjmp functions, so
// its fields keep their values across the jump.
struct PngDecode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    InputStream* in = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    size_t rowBytes = 0;
};

namespace {

// libpng's read function: fills the whole request from the stream, or reports an error (a short read
// means truncated data; libpng must not parse bytes that were never delivered).
void readFromStream(png_structp png, png_bytep data, size_t length) {
    PngDecode* decode = static_cast<PngDecode*>(png_get_io_ptr(png));
    size_t done = 0;
    while (done < length) {
        const size_t want = length - done > 0x40000000u ? 0x40000000u : length - done;
        const int32_t got = decode->in->read(data + done, static_cast<int32_t>(want));
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    if (done < length)
        png_error(png, "Read error: unexpected end of data");
}

// libpng's error and warning handlers: silent. A damaged picture is reported by the loader's null result;
// libpng's own handlers would print a line of their own on standard error.
[[noreturn]] void quietError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void quietWarning(png_structp, png_const_charp) {}

// Reads the header and requests the transformations that turn every picture into 8-bit RGB or RGBA rows.
// False when libpng reported an error.
[[gnu::noinline]] bool readHeader(PngDecode* d) {
    if (setjmp(png_jmpbuf(d->png)))
        return false;
    png_read_info(d->png, d->info);
    png_get_IHDR(d->png, d->info, &d->width, &d->height, &d->bitDepth, &d->colorType, &d->interlace, nullptr,
                 nullptr);
    png_set_strip_16(d->png);
    png_set_packing(d->png);
    if (d->colorType == PNG_COLOR_TYPE_GRAY) {
        // Grey becomes RGB (or RGBA through a tRNS key), so that rows hold 3 or 4 bytes per pixel.
        png_set_expand(d->png);
        png_set_gray_to_rgb(d->png);
    }
    if (d->colorType == PNG_COLOR_TYPE_PALETTE) {
        // Palette indices become RGB; a tRNS chunk becomes an alpha channel.
        png_set_expand(d->png);
    }
    if (d->colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(d->png);
    png_set_interlace_handling(d->png);
    png_read_update_info(d->png, d->info);
    png_get_IHDR(d->png, d->info, &d->width, &d->height, &d->bitDepth, &d->colorType, &d->interlace, nullptr,
                 nullptr);
    d->rowBytes = png_get_rowbytes(d->png, d->info);
    return true;
}

// Decodes every row (all passes of an interlaced picture) into the row pointers. False on a libpng error;
// rows not reached keep what they held.
[[gnu::noinline]] bool readImage(PngDecode* d, png_bytepp rows) {
    if (setjmp(png_jmpbuf(d->png)))
        return false;
    png_read_image(d->png, rows);
    png_read_end(d->png, d->info);
    return true;
}

// Decodes the rows of a non-interlaced RGBA picture one at a time and converts each to ARGB_8888 while it
// is still in the cache, with the converter's own row function. False on a libpng error.
[[gnu::noinline]] bool readImageConverting(PngDecode* d, uint8_t* pixels, uint8_t* argb) {
    if (setjmp(png_jmpbuf(d->png)))
        return false;
    const size_t rowBytes = d->rowBytes;
    const RowPath path = fastestRowPath();
    for (png_uint_32 y = 0; y < d->height; ++y) {
        uint8_t* row = pixels + y * rowBytes;
        png_read_row(d->png, row, nullptr);
        convertRowABGRtoARGB(row, argb + y * rowBytes, d->width, path);
    }
    png_read_end(d->png, d->info);
    return true;
}

// A new texture, or the target, with the picture's size, format and frame 0; null without memory.
Texture* makeTexture(Texture* target, const PngDecode& d, int format) {
    const Size size{static_cast<int32_t>(d.width), static_cast<int32_t>(d.height)};
    Texture* result = target;
    if (target) {
        target->setSize(size);
        target->setFormat(format);
    } else {
        result = new (std::nothrow) Texture(TEXTURE_IN_MEMORY, String(), size, format, nullptr, 0, 1);
    }
    if (!result || !result->setFrameCount(1)) {
        if (result != target)
            mt::releaseReference(result, true);
        return nullptr;
    }
    Frame& frame = result->getFrame(0);
    frame.pairs[0] = FramePair{};
    frame.pairs[1] = FramePair{};
    frame.pairs[2] = FramePair{static_cast<int16_t>(size.width), static_cast<int16_t>(size.height)};
    return result;
}

}  // namespace

PNGImageLoader::PNGImageLoader() : extension("png") {
    // Without memory for these eight bytes the loader still decodes; only getSignature is empty.
    try {
        signature.assign({137, 80, 78, 71, 13, 10, 26, 10});
    } catch (const std::bad_alloc&) {
    }
}

PNGImageLoader::~PNGImageLoader() = default;

Texture* PNGImageLoader::load(InputStream* in) {
    return decode(nullptr, in, true);
}

Texture* PNGImageLoader::readInfo(InputStream* in) {
    return decode(nullptr, in, false);
}

Texture* PNGImageLoader::loadInto(Texture* target, InputStream* in) {
    if (!target)
        return nullptr;
    return decode(target, in, true);
}

Texture* PNGImageLoader::decode(Texture* target, InputStream* in, bool readPixels) {
    if (!in)
        return nullptr;
    PngDecode d;
    d.in = in;
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!d.png)
        return nullptr;
    d.info = png_create_info_struct(d.png);
    if (!d.info) {
        png_destroy_read_struct(&d.png, nullptr, nullptr);
        return nullptr;
    }
    png_set_read_fn(d.png, &d, readFromStream);
    png_set_user_limits(d.png, static_cast<png_uint_32>(maxSide), static_cast<png_uint_32>(maxSide));

    Texture* result = nullptr;
    bool failed = !readHeader(&d);
    if (!failed) {
        const bool rgb = d.colorType == PNG_COLOR_TYPE_RGB;
        const int format = rgb ? BGR_888 : ABGR_8888;
        const size_t rowBytes = static_cast<size_t>(d.width) * (rgb ? 3 : 4);
        const uint64_t bytes = static_cast<uint64_t>(rowBytes) * d.height;
        // The transformations above always give 8-bit RGB or RGBA rows; anything else is not read. The
        // pixels' size is checked before anything is allocated for them.
        failed = bytes > static_cast<uint64_t>(maxBytes) || d.bitDepth != 8 || d.rowBytes != rowBytes;
        if (!failed) {
            result = makeTexture(target, d, format);
            failed = !result || (readPixels && !decodePixels(target, result, &d));
        }
    }
    png_destroy_read_struct(&d.png, &d.info, nullptr);
    if (failed) {
        if (result != target)
            mt::releaseReference(result, true);
        return nullptr;
    }
    return result;
}

bool PNGImageLoader::decodePixels(Texture* target, Texture* texture, PngDecode* d) {
    const size_t bytes = d->rowBytes * d->height;
    // A new texture's pixels are not cleared first: decoding writes every one of them (interlaced pictures
    // too, pass by pass), and a picture that fails to decode is not handed out.
    TextureData* data = target ? target->getData() : new (std::nothrow) TextureDataSWRaw(texture, false);
    LevelBuffer* level = data ? data->lock() : nullptr;
    uint8_t* pixels = level ? static_cast<uint8_t*>(level->pixels) : nullptr;
    if (target) {
        // A target whose data has no level-0 buffer takes the header only.
        if (!pixels)
            return true;
        if (data->getDataSize() <= 0 || bytes > static_cast<uint64_t>(data->getDataSize()))
            return true;
    } else if (!pixels) {
        return bytes == 0;
    }
    if (bytes == 0)
        return true;

    // The common picture (8-bit RGBA, rows in order) is converted to ARGB_8888 in the same pass, for the
    // converter to hand out; see TextureDataSW::setPreparedConversion.
    auto* software = target ? nullptr : static_cast<TextureDataSW*>(data);
    const bool prepare =
        software && prepareARGB && texture->getFormat() == ABGR_8888 && d->interlace == PNG_INTERLACE_NONE;
    uint8_t* argb =
        prepare ? static_cast<uint8_t*>(TextureDataSW::allocatePixelBlock(bytes, false)) : nullptr;
    if (argb) {
        if (!readImageConverting(d, pixels, argb)) {
            std::free(argb);
            return false;
        }
        software->setPreparedConversion(ARGB_8888, argb, static_cast<int32_t>(bytes));
        return true;
    }
    std::unique_ptr<png_bytep[]> rows(new (std::nothrow) png_bytep[d->height]);
    if (!rows)
        return false;
    for (png_uint_32 y = 0; y < d->height; ++y)
        rows[y] = pixels + y * d->rowBytes;
    return readImage(d, rows.get());
}

}  // namespace mt::graphics
