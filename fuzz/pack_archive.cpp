// Damaged and hostile pack archives: opening them and reading what they offer must never crash, hang, read
// outside a buffer or allocate without bound.
#include "fuzz/PackArchiveFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzing::fuzzPackArchive(data, size);
}
