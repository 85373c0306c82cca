// The pack writer against the reader: what is written is what is read back, through the archive and the
// file manager, for any names and contents; names are refused only when no lookup could find them apart.
#include <cstdio>
#include <cstdlib>

#include "fuzz/PackArchiveFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string finding = fuzzing::checkPackWriter(data, size);
    if (!finding.empty()) {
        std::fprintf(stderr, "pack writer: %s\n", finding.c_str());
        std::abort();
    }
    return 0;
}
