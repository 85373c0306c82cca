#include "mt/file/WholeInflater.h"

#include <libdeflate.h>

#include <memory>

namespace mt::file {

namespace {

struct DecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
};

}  // namespace

bool WholeInflater::inflate(const uint8_t* input, size_t inputSize, uint8_t* out, size_t outSize) {
    if (!input || !out)
        return false;
    // A decompressor of its own for every call: making one is a single allocation without set-up, which
    // measured no slower than keeping one per thread, and no thread can then use another's.
    std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(libdeflate_alloc_decompressor());
    if (!decompressor)
        return false;
    // Without a place for the produced size, libdeflate succeeds only when the stream fills out exactly.
    return libdeflate_deflate_decompress(decompressor.get(), input, inputSize, out, outSize, nullptr) ==
           LIBDEFLATE_SUCCESS;
}

}  // namespace mt::file
