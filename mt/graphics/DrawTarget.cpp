#include "mt/graphics/DrawTarget.h"

#include <vector>

namespace mt::graphics {

const uint8_t* defaultAdditiveTable() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(256 * 256);
        for (int a = 0; a < 256; ++a)
            for (int c = 0; c < 256; ++c)
                t[a * 256 + c] = static_cast<uint8_t>(c * a / 255);
        return t;
    }();
    return table.data();
}

const uint16_t* defaultBlendTable16() {
    static const std::vector<uint16_t> table = [] {
        std::vector<uint16_t> t(65536);
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
