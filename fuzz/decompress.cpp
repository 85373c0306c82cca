// Decompression of arbitrary bytes into new and fixed buffers, and compression of them: what is compressed
// must come back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mt/compression/CompressorZLIB.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 18))
        return 0;
    static const int kHints[] = {0, 127, 255, 300};
    mt::compression::CompressorZLIB compressor;
    const int hint = kHints[data[0] % 4];
    const int quality = data[0];
    const uint8_t* body = data + 1;
    const int length = static_cast<int>(size - 1);

    int plainLength = 0;
    uint8_t* plain = compressor.decompressToNewBuffer(body, length, &plainLength, hint);
    if ((plain == nullptr) != (plainLength < 1))
        __builtin_trap();
    compressor.freeBuffer(plain);
    static uint8_t fixed[4096];
    int fixedLength = compressor.decompressToBuffer(body, length, fixed, sizeof fixed, hint);
    if (fixedLength > static_cast<int>(sizeof fixed))
        __builtin_trap();

    int packedLength = 0;
    uint8_t* packed = compressor.compressToNewBuffer(body, length, &packedLength, quality, hint);
    if (!packed)
        __builtin_trap();  // compression of real data always gives at least the stream header
    int unpackedLength = 0;
    uint8_t* unpacked = compressor.decompressToNewBuffer(packed, packedLength, &unpackedLength, hint);
    if (unpackedLength != length ||
        (length > 0 && std::memcmp(unpacked, body, static_cast<size_t>(length)) != 0))
        __builtin_trap();
    compressor.freeBuffer(unpacked);
    compressor.freeBuffer(packed);
    return 0;
}
