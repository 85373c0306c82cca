// The XML binary reader on arbitrary bytes behind the marker byte, then the binary writer on what it built.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "XmlTreeCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    std::vector<uint8_t> bytes(size + 1);
    bytes[0] = mt::XmlParser::BINARY_MARKER;
    if (size > 0)
        std::memcpy(bytes.data() + 1, data, size);
    mt::MemoryStream stream(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
    mt::XmlParser parser;
    std::unique_ptr<mt::XmlElement> root(parser.parseStream(&stream));
    if (!root)
        __builtin_trap();
    fuzzcheck::checkWriters(root.get(), size % 2 == 0);
    return 0;
}
