// Damaged and hostile pack archives: opening them and reading what they offer must never crash, hang, read
// outside a buffer or allocate without bound, and every road to a member must give the same bytes.
#include <cstdio>
#include <cstdlib>

#include "fuzz/PackArchiveFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string finding = fuzzing::checkPackArchive(data, size);
    if (!finding.empty()) {
        std::fprintf(stderr, "pack archive: %s\n", finding.c_str());
        std::abort();
    }
    return 0;
}
