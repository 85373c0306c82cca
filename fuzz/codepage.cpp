// Text from outside (language files, command lines built from data files) through the conversions that
// take it: any bytes in any code page, UTF-16 with stray surrogates, and command-line splitting.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/CodePage.h"
#include "platform/Process.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint32_t kCodePages[] = {1252, 1250, 1251, 932, 936, 65001, 65000, 1200, 50220, 54936, 874};
    if (size == 0) {
        return 0;
    }
    uint32_t codePage = kCodePages[data[0] % (sizeof(kCodePages) / sizeof(kCodePages[0]))];
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    std::u16string wide;
    if (platform::multiByteToUtf16(codePage, bytes, wide)) {
        // Every byte gives at most one unit, except four-byte sequences, which give a surrogate pair.
        if (wide.size() > bytes.size() + 1) {
            __builtin_trap();
        }
        std::string utf8 = platform::utf16ToUtf8(wide);
        // Valid UTF-16 from the decoder round-trips exactly.
        if (platform::utf8ToUtf16(utf8) != wide) {
            __builtin_trap();
        }
    }
    std::u16string units(reinterpret_cast<const char16_t*>(data), size / 2);
    platform::utf8ToUtf16(platform::utf16ToUtf8(units));

    size_t total = 0;
    for (const std::string& argument : platform::splitCommandLine(bytes)) {
        total += argument.size();
    }
    if (total > bytes.size()) {
        __builtin_trap();  // splitting never makes text
    }
    return 0;
}
