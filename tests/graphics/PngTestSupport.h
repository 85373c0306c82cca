#pragma once
#include <png.h>

#include <cstdint>
#include <vector>

// Writes PNG files into memory with libpng, for the loader's tests and benchmarks.
namespace pngtest {

struct PngLayout {
    int width = 0;
    int height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;  // tRNS for palette pictures
    bool hasKey = false;                 // tRNS colour key for grey and RGB pictures
    png_color_16 key{};
    int compression = 6;
};

// rows: height rows of packed samples in PNG order (16-bit samples big-endian), as libpng writes them.
inline std::vector<uint8_t> writePng(const PngLayout& layout, const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* buffer = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            buffer->insert(buffer->end(), data, data + length);
        },
        nullptr);
    png_set_compression_level(png, layout.compression);
    png_set_IHDR(png, info, static_cast<png_uint_32>(layout.width), static_cast<png_uint_32>(layout.height),
                 layout.bitDepth, layout.colorType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    if (!layout.paletteAlpha.empty())
        png_set_tRNS(png, info, layout.paletteAlpha.data(), static_cast<int>(layout.paletteAlpha.size()),
                     nullptr);
    if (layout.hasKey)
        png_set_tRNS(png, info, nullptr, 0, const_cast<png_color_16*>(&layout.key));
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const auto& row : rows)
        pointers.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace pngtest
