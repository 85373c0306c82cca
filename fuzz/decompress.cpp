// Decompression of arbitrary bytes through every road the compressor offers (a stream, a new buffer, a fixed
// buffer), which must agree with one another, and compression of the bytes, which must come back unchanged.
// Inputs of up to 1 MiB; what one input may inflate to is bounded by a counting output stream first, so
// that only outputs that fit the fuzzer's memory limits are built in memory.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mt/compression/CompressorZLIB.h"
#include "mt/stream/MemoryStream.h"

namespace {

void expect(bool condition) {
    if (!condition)
        __builtin_trap();
}

// Takes up to limit bytes in total and keeps only their count and checksum.
class CountingOutput : public mt::OutputStream {
  public:
    explicit CountingOutput(int32_t limit) : BaseStream(mt::STREAM_BINARY), limit(limit) {}
    int32_t available() override { return taken; }
    void reset() override {}
    bool isOpen() override { return true; }
    int32_t write(const void* src, int32_t n) override {
        int32_t accepted = std::max(0, std::min(n, limit - taken));
        checksum = crc32(checksum, static_cast<const Bytef*>(src), static_cast<uInt>(accepted));
        taken += accepted;
        return accepted;
    }
    bool setPosition(int32_t) override { return false; }
    int32_t tell() override { return taken; }

    int32_t taken = 0;
    uLong checksum = crc32(0, nullptr, 0);

  private:
    int32_t limit;
};

constexpr int32_t kLargestOutput = 4 << 20;
constexpr int32_t kFixedCapacity = 4096;

void checkDecompression(mt::compression::CompressorZLIB& compressor, const uint8_t* body, int length,
                        int hint) {
    mt::MemoryStream input(const_cast<uint8_t*>(body), length, mt::STREAM_NOT_OWNER);
    CountingOutput counter(kLargestOutput);
    int counted = compressor.decompress(&input, &counter, hint);
    expect(counted == counter.taken || counted < 0);
    if (counted == mt::compression::DECOMPRESS_ERROR_WRITE)
        return;  // inflates beyond what this target builds in memory

    static uint8_t fixed[kFixedCapacity];
    int fixedLength = compressor.decompressToBuffer(body, length, fixed, kFixedCapacity, hint);
    if (counter.taken > kFixedCapacity) {
        expect(fixedLength == mt::compression::COMPRESS_ERROR_DESTINATION_FULL);
    } else {
        expect(fixedLength == counted);
        if (counted > 0)
            expect(crc32(crc32(0, nullptr, 0), fixed, static_cast<uInt>(counted)) == counter.checksum);
    }

    int plainLength = 0;
    uint8_t* plain = compressor.decompressToNewBuffer(body, length, &plainLength, hint);
    expect(plainLength == counted);
    expect((plain != nullptr) == (counted > 0));
    if (plain)
        expect(crc32(crc32(0, nullptr, 0), plain, static_cast<uInt>(plainLength)) == counter.checksum);
    compressor.freeBuffer(plain);
}

void checkRoundTrip(mt::compression::CompressorZLIB& compressor, const uint8_t* body, int length, int quality,
                    int hint) {
    int packedLength = 0;
    uint8_t* packed = compressor.compressToNewBuffer(body, length, &packedLength, quality, hint);
    expect(packed != nullptr);  // real data always gives at least the stream header
    // The pack writer's call: a destination as large as the source; either the same bytes or "full". Large
    // inputs take it every eighth time only: it repeats the compression, the slowest step of this target.
    static uint8_t destination[1 << 20];
    if (length <= (1 << 18) || quality % 8 == 0) {
        int fitted = compressor.compressToBuffer(body, length, destination, length, quality, hint);
        if (packedLength <= length) {
            expect(fitted == packedLength &&
                   std::memcmp(destination, packed, static_cast<size_t>(fitted)) == 0);
        } else {
            expect(fitted == mt::compression::COMPRESS_ERROR_DESTINATION_FULL);
        }
    }
    int unpackedLength = 0;
    uint8_t* unpacked = compressor.decompressToNewBuffer(packed, packedLength, &unpackedLength, hint);
    expect(unpackedLength == length);
    expect(length == 0 || std::memcmp(unpacked, body, static_cast<size_t>(length)) == 0);
    compressor.freeBuffer(unpacked);
    compressor.freeBuffer(packed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20) + 1)
        return 0;
    static const int kHints[] = {0, 127, 255, 300};
    mt::compression::CompressorZLIB compressor;
    const int hint = kHints[data[0] % 4];
    const int quality = data[0];
    const uint8_t* body = data + 1;
    const int length = static_cast<int>(size - 1);
    checkDecompression(compressor, body, length, hint);
    checkRoundTrip(compressor, body, length, quality, hint);
    return 0;
}
