// String operations decoded from bytes, each checked against a model built on std::string.
#include "fuzz/StringFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzing::fuzzString(data, size);
}
