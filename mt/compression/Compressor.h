#pragma once
#include <cstdint>

namespace mt {
class InputStream;
class OutputStream;
}  // namespace mt

namespace mt::compression {

// Negative results of the compressor; a non-negative result is a byte count.
enum CompressResult : int {
    COMPRESS_ERROR_INIT = -1000,              // the compression stream could not be set up
    COMPRESS_ERROR_MEMORY = -1001,            // out of memory
    COMPRESS_ERROR_DESTINATION_FULL = -1002,  // the result does not fit the caller's buffer
    COMPRESS_ERROR_WRITE = -1003,             // the output stream accepted fewer bytes than offered
    COMPRESS_ERROR_NO_SOURCE = -1004,         // no source data
    DECOMPRESS_ERROR_DATA = -3,               // corrupt or truncated data, or no data at all
    DECOMPRESS_ERROR_WRITE = -5,              // the output stream accepted fewer bytes than offered
};

// A lossless stream compressor. An implementation provides the two stream operations; the buffer-to-buffer
// operations are built on them here.
//
// quality (0 to 255) selects how hard the compressor works; the buffer hint selects the size of the work
// buffers: 255 sizes them from the input, below 255 gives 128 KiB, above 255 gives 512 bytes.
class Compressor {
  public:
    virtual ~Compressor() = default;

    // Compresses everything the input delivers into the output; the number of bytes this call wrote, or a
    // negative code. The count is what was written, not what the output reports as available: an output
    // that already held data, was partly read, or is not a memory stream would make that a different number.
    virtual int compress(InputStream* input, OutputStream* output, int quality, int bufferHint) = 0;
    // The compressed form of length bytes at source in a buffer from allocateBuffer (release it with
    // freeBuffer), its size in *resultLength; null when the result is not at least one byte, with the
    // negative code in *resultLength (COMPRESS_ERROR_NO_SOURCE for a null source).
    virtual uint8_t* compressToNewBuffer(const uint8_t* source, int length, int* resultLength, int quality,
                                         int bufferHint);
    // Compresses into destination (capacity bytes); the compressed size, COMPRESS_ERROR_DESTINATION_FULL
    // when it does not fit (the destination's contents are then unspecified), or another negative code.
    virtual int compressToBuffer(const uint8_t* source, int length, uint8_t* destination, int capacity,
                                 int quality, int bufferHint);
    // Decompresses one compressed stream from the input into the output; bytes after its end are ignored.
    // The number of bytes this call wrote (as for compress), or a negative code.
    virtual int decompress(InputStream* input, OutputStream* output, int bufferHint) = 0;
    // Like compressToNewBuffer, for decompression.
    virtual uint8_t* decompressToNewBuffer(const uint8_t* source, int length, int* resultLength,
                                           int bufferHint);
    // Like compressToBuffer, for decompression: COMPRESS_ERROR_DESTINATION_FULL when the result does not fit.
    virtual int decompressToBuffer(const uint8_t* source, int length, uint8_t* destination, int capacity,
                                   int bufferHint);
    virtual int reservedA(int value) = 0;
    virtual int reservedB(int value) = 0;
    // Whether data starts like this compressor's own output.
    virtual bool isCompressedData(const uint8_t* data, int length) = 0;
    virtual void freeBuffer(uint8_t* buffer) = 0;
    // size bytes, or null (also for a negative size).
    virtual uint8_t* allocateBuffer(int size) = 0;
    virtual const char* getName() = 0;

  private:
    uint8_t* toNewBuffer(bool compressing, const uint8_t* source, int length, int* resultLength, int quality,
                         int bufferHint);
    int toBuffer(bool compressing, const uint8_t* source, int length, uint8_t* destination, int capacity,
                 int quality, int bufferHint);
};

}  // namespace mt::compression
