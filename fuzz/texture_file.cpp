// Damaged and hostile texture files: loading them in every way, then drawing, unpacking and converting what
// loaded.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/TextureFileFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The loader's diagnostics go to standard output; the fuzzer's report goes to standard error.
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string problem = fuzzing::checkTextureFile(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "texture file check failed: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
