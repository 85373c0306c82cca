// The XML binary reader on arbitrary bytes behind the marker byte: it must give the tree of the plain
// reference reader (repeated attribute names merged as setAttribute merges them), and what it built must
// come back the same through the binary form and, where the text form can carry it, as text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "XmlTreeCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    std::vector<uint8_t> bytes(size + 1);
    bytes[0] = mt::XmlParser::BINARY_MARKER;
    if (size > 0)
        std::memcpy(bytes.data() + 1, data, size);
    std::string wrong = fuzzcheck::checkInput(bytes.data(), bytes.size());
    if (!wrong.empty()) {
        std::fprintf(stderr, "%s\n", wrong.c_str());
        __builtin_trap();
    }
    return 0;
}
