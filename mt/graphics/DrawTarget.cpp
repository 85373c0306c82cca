#include "mt/graphics/DrawTarget.h"

#include <array>

namespace mt::graphics {

const uint8_t* defaultAdditiveTable() {
    // Built once in static storage, so that no allocation can fail here.
    static const std::array<uint8_t, 256 * 256> table = [] {
        std::array<uint8_t, 256 * 256> t{};
        for (int a = 0; a < 256; ++a)
            for (int c = 0; c < 256; ++c)
                t[a * 256 + c] = static_cast<uint8_t>(c * a / 255);
        return t;
    }();
    return table.data();
}

const uint16_t* defaultBlendTable16() {
    static const std::array<uint16_t, 65536> table = [] {
        std::array<uint16_t, 65536> t{};
        for (int a = 0; a < 16; ++a) {
            for (int c = 0; c < 4096; ++c) {
                const int r = ((c >> 8) & 0xF) * a / 15;
                const int g = ((c >> 4) & 0xF) * a / 15;
                const int b = (c & 0xF) * a / 15;
                t[a << 12 | c] = static_cast<uint16_t>(r << 8 | g << 4 | b);
            }
        }
        return t;
    }();
    return table.data();
}

}  // namespace mt::graphics
