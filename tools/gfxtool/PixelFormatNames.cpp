#include "tools/gfxtool/PixelFormatNames.h"

#include <cstdlib>

#include "mt/graphics/PixelFormat.h"

namespace gfxtool {

namespace {

using namespace mt::graphics;

struct NamedFormat {
    int32_t code;
    const char* name;
};

constexpr NamedFormat kNames[] = {
    {RGB_888, "RGB_888"},     {ARGB_8888, "ARGB_8888"}, {RGB_565, "RGB_565"},
    {ARGB_4444, "ARGB_4444"}, {PAL_8, "PAL_8"},         {ARGB_1555, "ARGB_1555"},
    {ABGR_8888, "ABGR_8888"}, {BGR_888, "BGR_888"},     {BGR_565, "BGR_565"},
    {ABGR_4444, "ABGR_4444"}, {PAL_4, "PAL_4"},         {DXT1, "DXT1"},
    {DXT3, "DXT3"},           {DXT5, "DXT5"},           {ABGR_1555, "ABGR_1555"},
    {PAL_2, "PAL_2"},         {PAL_5A3, "PAL_5A3"},     {A_8, "A_8"},
};

// Lower case without '_' and spaces: "ARGB_8888" and "argb 8888" both become "argb8888".
std::string folded(const std::string& text) {
    std::string key;
    for (char c : text) {
        if (c == '_' || c == ' ')
            continue;
        key += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

}  // namespace

const char* pixelFormatName(int32_t format) {
    for (const NamedFormat& named : kNames) {
        if (named.code == format)
            return named.name;
    }
    return nullptr;
}

int32_t parsePixelFormat(const std::string& text) {
    const std::string key = folded(text);
    if (key == "8888")
        return ARGB_8888;
    if (key == "565")
        return RGB_565;
    if (key == "4444")
        return ARGB_4444;
    for (const NamedFormat& named : kNames) {
        if (key == folded(named.name))
            return named.code;
    }
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const int32_t code = std::atoi(text.c_str());
    return code >= PIXEL_FORMAT_FIRST && code <= PIXEL_FORMAT_LAST ? code : 0;
}

std::string describePixelFormat(int32_t format) {
    const char* name = pixelFormatName(format);
    if (name)
        return std::to_string(format) + " (" + name + ")";
    const bool known = format >= PIXEL_FORMAT_FIRST && format <= PIXEL_FORMAT_LAST;
    return std::to_string(format) + (known ? " (no pixel layout)" : " (not a pixel format)");
}

}  // namespace gfxtool
