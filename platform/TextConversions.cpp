#include "platform/CodePage.h"

// The conversions built on the host's two (code page -> UTF-16, UTF-16 -> UTF-8).
namespace platform {

bool multiByteToUtf8(uint32_t codePage, std::string_view text, std::string& out) {
    std::u16string wide;
    if (!multiByteToUtf16(codePage, text, wide)) {
        out.clear();
        return false;
    }
    out = utf16ToUtf8(wide);
    return true;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    multiByteToUtf16(kCodePageUtf8, text, out);
    return out;
}

size_t utf16Length(const char16_t* text) {
    size_t length = 0;
    if (text != nullptr) {
        while (text[length] != 0) {
            ++length;
        }
    }
    return length;
}

}  // namespace platform
