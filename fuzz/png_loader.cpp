// Damaged and hostile PNG pictures: see fuzz/PngLoaderFuzz.h for what is checked.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/PngLoaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = fuzzing::checkPng(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "PNG check failed: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
