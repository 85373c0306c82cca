// The XML text reader on arbitrary bytes, then the writers on what it built: the binary form must give the
// same tree back.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "XmlTreeCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20) || (size > 0 && data[0] == mt::XmlParser::BINARY_MARKER))
        return 0;  // the binary form has its own target
    mt::MemoryStream stream(const_cast<uint8_t*>(data), static_cast<int32_t>(size), mt::STREAM_NOT_OWNER);
    mt::XmlParser parser;
    std::unique_ptr<mt::XmlElement> root(parser.parseStream(&stream));
    if (!root || parser.getElementsClosed() > parser.getElementsCreated() + static_cast<int>(size))
        __builtin_trap();
    fuzzcheck::checkWriters(root.get(), size % 2 == 0);
    return 0;
}
