#include "mt/graphics/PNGImageLoader.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/stream/InputStream.h"

namespace mt::graphics {

namespace {

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
    png_uint_32 rowsDone = 0;  // rows completed by png_read_image (all passes count)
};

// Counts finished rows, so that an error leaves a known part of the picture decoded.
void countRow(png_structp png, png_uint_32, int) {
    ++static_cast<PngDecode*>(png_get_io_ptr(png))->rowsDone;
}

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

}  // namespace

PNGImageLoader::PNGImageLoader() : extension("png"), signature{137, 80, 78, 71, 13, 10, 26, 10} {}

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
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
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
    std::vector<png_bytep> rows;
    if (readHeader(&d)) {
        const bool rgb = d.colorType == PNG_COLOR_TYPE_RGB;
        const int format = rgb ? BGR_888 : ABGR_8888;
        const int bytesPerPixel = rgb ? 3 : 4;
        const Size size{static_cast<int32_t>(d.width), static_cast<int32_t>(d.height)};
        if (target) {
            result = target;
            result->setSize(size);
            result->setFormat(format);
        } else {
            result = new (std::nothrow) Texture(TEXTURE_IN_MEMORY, String(), size, format, nullptr, 0, 1);
        }
        if (result) {
            result->setFrameCount(1);
            Frame& frame = result->getFrame(0);
            frame.pairs[0] = FramePair{};
            frame.pairs[1] = FramePair{};
            frame.pairs[2] = FramePair{static_cast<int16_t>(size.width), static_cast<int16_t>(size.height)};
        }
        const size_t rowBytes = static_cast<size_t>(d.width) * bytesPerPixel;
        // The transformations above always give 8-bit RGB or RGBA rows; anything else is not read.
        if (result && readPixels && d.bitDepth == 8 && d.rowBytes == rowBytes) {
            // A new texture's pixels are not cleared first: decoding writes every one of them, and after an
            // error the rows not reached are cleared below.
            TextureData* data =
                target ? target->getData() : new (std::nothrow) TextureDataSWRaw(result, false);
            LevelBuffer* level = data ? data->lock() : nullptr;
            uint8_t* pixels = level ? static_cast<uint8_t*>(level->pixels) : nullptr;
            const uint64_t needed = static_cast<uint64_t>(rowBytes) * d.height;
            const bool fits = !target || (data && data->getDataSize() > 0 &&
                                          needed <= static_cast<uint64_t>(data->getDataSize()));
            if (pixels && fits && d.height > 0) {
                rows.resize(d.height);
                for (png_uint_32 y = 0; y < d.height; ++y)
                    rows[y] = pixels + y * rowBytes;
                // Passes of an interlaced picture each fill some pixels of every row: start from zeros.
                const bool interlaced = d.interlace != PNG_INTERLACE_NONE;
                if (interlaced)
                    std::memset(pixels, 0, static_cast<size_t>(needed));
                png_set_read_status_fn(d.png, countRow);
                if (!readImage(&d, rows.data()) && !interlaced && d.rowsDone < d.height)
                    std::memset(rows[d.rowsDone], 0, static_cast<size_t>(d.height - d.rowsDone) * rowBytes);
            }
        }
    }
    png_destroy_read_struct(&d.png, &d.info, nullptr);
    return result;
}

}  // namespace mt::graphics
