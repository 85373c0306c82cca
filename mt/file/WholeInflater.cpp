#include "mt/file/WholeInflater.h"

#include <libdeflate.h>

#include <memory>

namespace mt::file {

namespace {

struct DecompressorFree {
    void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
};

// One decompressor per thread, made on first use and kept: making one costs about as much as inflating a
// small member, and a decompressor must not be used by two threads at once.
libdeflate_decompressor* threadDecompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

}  // namespace

bool WholeInflater::inflate(const uint8_t* input, size_t inputSize, uint8_t* out, size_t outSize) {
    if (!input || !out)
        return false;
    libdeflate_decompressor* decompressor = threadDecompressor();
    if (!decompressor)
        return false;
    // Without a place for the produced size, libdeflate succeeds only when the stream fills out exactly.
    return libdeflate_deflate_decompress(decompressor, input, inputSize, out, outSize, nullptr) ==
           LIBDEFLATE_SUCCESS;
}

}  // namespace mt::file
