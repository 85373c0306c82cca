#pragma once
#include "mt/compression/Compressor.h"

namespace mt::compression {

// The compressor on zlib: deflate and inflate in the zlib stream format (two-byte header, Adler-32
// trailer). Quality q gives the zlib level q / 51, clamped to 0..5; compression flushes the deflate stream
// (a sync flush) after every input chunk, so the output depends on the work buffer size.
class CompressorZLIB : public Compressor {
  public:
    // Work buffer size with buffer hint 255 when the input reports nothing available.
    static constexpr int MIN_BUFFER_SIZE = 512;
    // Work buffer size for hints below 255.
    static constexpr int DEFAULT_BUFFER_SIZE = 131072;
    // Upper bound of the decompression work buffers with hint 255; their size does not change the result.
    static constexpr int MAX_DECOMPRESS_BUFFER_SIZE = 16 << 20;

    int compress(InputStream* input, OutputStream* output, int quality, int bufferHint) override;
    int decompress(InputStream* input, OutputStream* output, int bufferHint) override;
    int reservedA(int) override { return -1; }
    int reservedB(int) override { return -1; }
    // True for data that starts with 0x78 0x5E, the header of levels 2 to 5 (quality 102 and above).
    bool isCompressedData(const uint8_t* data, int length) override;
    void freeBuffer(uint8_t* buffer) override;
    uint8_t* allocateBuffer(int size) override;
    const char* getName() override { return "zlib"; }

    // The zlib level for a quality value.
    static int levelForQuality(int quality);
};

}  // namespace mt::compression
