// Raw deflate streams through the whole-stream inflater, judged against zlib (see WholeInflaterFuzz.h).
#include <cstdio>
#include <cstdlib>

#include "fuzz/WholeInflaterFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string finding = fuzzing::checkWholeInflater(data, size);
    if (!finding.empty()) {
        std::fprintf(stderr, "whole inflater: %s\n", finding.c_str());
        std::abort();
    }
    return 0;
}
