// The XML text reader on arbitrary bytes: it must give the tree of the plain reference reader, and what it
// built must come back the same through the binary form and, where the text form can carry it, as text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "XmlTreeCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20) || (size > 0 && data[0] == mt::XmlParser::BINARY_MARKER))
        return 0;  // the binary form has its own target
    std::string wrong = fuzzcheck::checkInput(data, size);
    if (!wrong.empty()) {
        std::fprintf(stderr, "%s\n", wrong.c_str());
        __builtin_trap();
    }
    return 0;
}
