#include "mt/compression/CompressorZLIB.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

#include "mt/stream/InputStream.h"
#include "mt/stream/OutputStream.h"

namespace mt::compression {
namespace {

// The two work buffers of one stream operation, released on every way out.
struct WorkBuffers {
    explicit WorkBuffers(int size)
        : input(new (std::nothrow) uint8_t[static_cast<size_t>(size)]),
          output(new (std::nothrow) uint8_t[static_cast<size_t>(size)]) {}
    bool valid() const { return input && output; }
    std::unique_ptr<uint8_t[]> input;
    std::unique_ptr<uint8_t[]> output;
};

int bufferSizeFor(int bufferHint, int64_t fromInput) {
    if (bufferHint < 255)
        return CompressorZLIB::DEFAULT_BUFFER_SIZE;
    if (bufferHint > 255)
        return CompressorZLIB::MIN_BUFFER_SIZE;
    // An input that reports nothing would leave the loops without room to make progress.
    if (fromInput < 1)
        return CompressorZLIB::MIN_BUFFER_SIZE;
    return static_cast<int>(std::min<int64_t>(fromInput, INT_MAX));
}

int clampCount(int64_t count) {
    return static_cast<int>(std::min<int64_t>(count, INT_MAX));
}

}  // namespace

int CompressorZLIB::levelForQuality(int quality) {
    return std::clamp(quality / 51, 0, 5);
}

int CompressorZLIB::compress(InputStream* input, OutputStream* output, int quality, int bufferHint) {
    if (!input)
        return COMPRESS_ERROR_NO_SOURCE;
    if (!output)
        return COMPRESS_ERROR_WRITE;
    const int size = bufferSizeFor(bufferHint, input->available());

    z_stream stream{};
    int status = deflateInit(&stream, levelForQuality(quality));
    if (status != Z_OK)
        return status == Z_MEM_ERROR ? COMPRESS_ERROR_MEMORY : COMPRESS_ERROR_INIT;
    WorkBuffers buffers(size);
    if (!buffers.valid()) {
        deflateEnd(&stream);
        return COMPRESS_ERROR_MEMORY;
    }

    int64_t written = 0;
    int flush;
    do {
        int32_t got = std::max(0, input->read(buffers.input.get(), size));
        // The last chunk finishes the stream. A read that delivers nothing finishes it too, even when the
        // input still claims to have data, so that a misreporting stream cannot keep the loop going.
        flush = (got > 0 && input->available() != 0) ? Z_SYNC_FLUSH : Z_FINISH;
        stream.next_in = buffers.input.get();
        stream.avail_in = static_cast<uInt>(got);
        do {
            stream.next_out = buffers.output.get();
            stream.avail_out = static_cast<uInt>(size);
            deflate(&stream, flush);
            int32_t produced = size - static_cast<int32_t>(stream.avail_out);
            if (produced > 0 && output->write(buffers.output.get(), produced) < produced) {
                deflateEnd(&stream);
                return COMPRESS_ERROR_WRITE;
            }
            written += produced;
        } while (stream.avail_out == 0);
    } while (flush != Z_FINISH);

    deflateEnd(&stream);
    return clampCount(written);
}

int CompressorZLIB::decompress(InputStream* input, OutputStream* output, int bufferHint) {
    if (!input)
        return DECOMPRESS_ERROR_DATA;
    if (!output)
        return DECOMPRESS_ERROR_WRITE;
    int size = bufferSizeFor(bufferHint, 2 * static_cast<int64_t>(input->available()));
    size = std::min(size, MAX_DECOMPRESS_BUFFER_SIZE);

    z_stream stream{};
    int status = inflateInit(&stream);
    if (status != Z_OK)
        return status == Z_MEM_ERROR ? COMPRESS_ERROR_MEMORY : COMPRESS_ERROR_INIT;
    WorkBuffers buffers(size);
    if (!buffers.valid()) {
        inflateEnd(&stream);
        return COMPRESS_ERROR_MEMORY;
    }

    int64_t written = 0;
    status = Z_OK;
    while (status != Z_STREAM_END) {
        int32_t got = input->read(buffers.input.get(), size);
        if (got <= 0)
            break;
        stream.next_in = buffers.input.get();
        stream.avail_in = static_cast<uInt>(got);
        do {
            stream.next_out = buffers.output.get();
            stream.avail_out = static_cast<uInt>(size);
            status = inflate(&stream, Z_NO_FLUSH);
            if (status == Z_MEM_ERROR || status == Z_DATA_ERROR || status == Z_NEED_DICT ||
                status == Z_STREAM_ERROR) {
                inflateEnd(&stream);
                return status == Z_MEM_ERROR ? COMPRESS_ERROR_MEMORY : DECOMPRESS_ERROR_DATA;
            }
            int32_t produced = size - static_cast<int32_t>(stream.avail_out);
            if (produced > 0 && output->write(buffers.output.get(), produced) < produced) {
                inflateEnd(&stream);
                return DECOMPRESS_ERROR_WRITE;
            }
            written += produced;
        } while (stream.avail_out == 0 && status != Z_STREAM_END);
    }

    inflateEnd(&stream);
    // Input that ran out before the end of the compressed stream (or no input at all) is corrupt.
    if (status != Z_STREAM_END)
        return DECOMPRESS_ERROR_DATA;
    return clampCount(written);
}

bool CompressorZLIB::isCompressedData(const uint8_t* data, int length) {
    return data && length >= 2 && data[0] == 0x78 && data[1] == 0x5E;
}

void CompressorZLIB::freeBuffer(uint8_t* buffer) {
    delete[] buffer;
}

uint8_t* CompressorZLIB::allocateBuffer(int size) {
    if (size < 0)
        return nullptr;
    return new (std::nothrow) uint8_t[static_cast<size_t>(size)];
}

}  // namespace mt::compression
