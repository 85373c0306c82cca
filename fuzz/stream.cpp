// A cached stream over a pack member (or a memory stream) driven by a script from the input, every answer
// checked against a plain reader over the same bytes.
#include "fuzz/StreamFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzing::fuzzStream(data, size);
}
