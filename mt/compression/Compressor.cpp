#include "mt/compression/Compressor.h"

#include <cstring>

#include "mt/stream/MemoryStream.h"

namespace mt::compression {
namespace {

// An output stream over a caller's buffer of fixed capacity. It accepts bytes until the buffer is full and
// never writes past it; a write that does not fit is cut, so the writer sees a short count.
class FixedOutputStream : public OutputStream {
  public:
    FixedOutputStream(uint8_t* buffer, int capacity)
        : BaseStream(STREAM_BINARY | STREAM_NOT_OWNER),
          buffer(buffer),
          capacity(buffer && capacity > 0 ? capacity : 0) {}

    int32_t available() override { return size; }
    void reset() override { size = 0; }
    bool isOpen() override { return buffer != nullptr; }

    int32_t write(const void* src, int32_t n) override {
        if (!src || n <= 0)
            return 0;
        int32_t count = n < capacity - size ? n : capacity - size;
        if (count > 0) {
            std::memcpy(buffer + size, src, static_cast<size_t>(count));
            size += count;
        }
        return count;
    }
    bool setPosition(int32_t position) override {
        if (position < 0 || position > capacity)
            return false;
        size = position;
        return true;
    }
    int32_t tell() override { return size; }

  private:
    uint8_t* buffer;
    int32_t capacity;
    int32_t size = 0;
};

}  // namespace

uint8_t* Compressor::toNewBuffer(bool compressing, const uint8_t* source, int length, int* resultLength,
                                 int quality, int bufferHint) {
    int ignored;
    int& result = resultLength ? *resultLength : ignored;
    if (!source || length < 0) {
        result = compressing ? COMPRESS_ERROR_NO_SOURCE : DECOMPRESS_ERROR_DATA;
        return nullptr;
    }
    // The source is only read: the stream neither writes to it nor frees it.
    MemoryStream input(const_cast<uint8_t*>(source), length, STREAM_BINARY | STREAM_NOT_OWNER);
    MemoryStream output(STREAM_BINARY);
    result = compressing ? compress(&input, &output, quality, bufferHint)
                         : decompress(&input, &output, bufferHint);
    if (result < 1)
        return nullptr;
    uint8_t* copy = allocateBuffer(result);
    if (!copy) {
        result = COMPRESS_ERROR_MEMORY;
        return nullptr;
    }
    int32_t available = 0;
    const uint8_t* produced = output.peekBuffer(available);
    if (!produced || available < result) {
        // Cannot happen with a fresh memory stream; refuse rather than copy garbage.
        freeBuffer(copy);
        result = COMPRESS_ERROR_WRITE;
        return nullptr;
    }
    std::memcpy(copy, produced, static_cast<size_t>(result));
    return copy;
}

int Compressor::toBuffer(bool compressing, const uint8_t* source, int length, uint8_t* destination,
                         int capacity, int quality, int bufferHint) {
    if (!source || length < 0)
        return compressing ? COMPRESS_ERROR_NO_SOURCE : DECOMPRESS_ERROR_DATA;
    MemoryStream input(const_cast<uint8_t*>(source), length, STREAM_BINARY | STREAM_NOT_OWNER);
    FixedOutputStream output(destination, capacity);
    if (compressing) {
        int result = compress(&input, &output, quality, bufferHint);
        return result == COMPRESS_ERROR_WRITE ? COMPRESS_ERROR_DESTINATION_FULL : result;
    }
    int result = decompress(&input, &output, bufferHint);
    return result == DECOMPRESS_ERROR_WRITE ? COMPRESS_ERROR_DESTINATION_FULL : result;
}

uint8_t* Compressor::compressToNewBuffer(const uint8_t* source, int length, int* resultLength, int quality,
                                         int bufferHint) {
    return toNewBuffer(true, source, length, resultLength, quality, bufferHint);
}

int Compressor::compressToBuffer(const uint8_t* source, int length, uint8_t* destination, int capacity,
                                 int quality, int bufferHint) {
    return toBuffer(true, source, length, destination, capacity, quality, bufferHint);
}

uint8_t* Compressor::decompressToNewBuffer(const uint8_t* source, int length, int* resultLength,
                                           int bufferHint) {
    return toNewBuffer(false, source, length, resultLength, 0, bufferHint);
}

int Compressor::decompressToBuffer(const uint8_t* source, int length, uint8_t* destination, int capacity,
                                   int bufferHint) {
    return toBuffer(false, source, length, destination, capacity, 0, bufferHint);
}

}  // namespace mt::compression
