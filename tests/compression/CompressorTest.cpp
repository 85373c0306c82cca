#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "mt/compression/CompressorZLIB.h"
#include "mt/stream/MemoryStream.h"

using namespace mt::compression;
using Bytes = std::vector<uint8_t>;

namespace {

// Text with repetition, so that every level compresses it differently.
Bytes sampleData(size_t size, unsigned seed = 7) {
    static const char* words[] = {"alpha ",   "beta ", "gamma ", "delta\n",
                                  "epsilon ", "zeta ", "eta\t",  "theta "};
    std::mt19937 random(seed);
    Bytes data;
    while (data.size() < size) {
        const char* word = words[random() % 8];
        data.insert(data.end(), word, word + std::strlen(word));
        if (random() % 5 == 0)
            data.push_back(static_cast<uint8_t>(random()));
    }
    data.resize(size);
    return data;
}

// What zlib itself produces for the same data fed in chunks of `chunk` bytes with a sync flush after each
// chunk but the last, which finishes the stream.
Bytes zlibReference(const Bytes& data, int level, size_t chunk) {
    z_stream stream{};
    EXPECT_EQ(deflateInit(&stream, level), Z_OK);
    Bytes out;
    uint8_t buffer[4096];
    size_t offset = 0;
    bool last;
    do {
        size_t take = std::min(chunk, data.size() - offset);
        last = offset + take == data.size();
        stream.next_in = const_cast<uint8_t*>(data.data() + offset);
        stream.avail_in = static_cast<uInt>(take);
        offset += take;
        do {
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
            out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
        } while (stream.avail_out == 0);
    } while (!last);
    deflateEnd(&stream);
    return out;
}

Bytes compressWith(CompressorZLIB& compressor, const Bytes& data, int quality, int hint,
                   int* result = nullptr) {
    int length = 0;
    uint8_t* packed =
        compressor.compressToNewBuffer(data.data(), static_cast<int>(data.size()), &length, quality, hint);
    if (result)
        *result = length;
    Bytes out;
    if (packed)
        out.assign(packed, packed + length);
    compressor.freeBuffer(packed);
    return out;
}

// An output stream that takes at most `limit` bytes in total.
class LimitedOutput : public mt::OutputStream {
  public:
    explicit LimitedOutput(int limit) : BaseStream(mt::STREAM_BINARY), limit(limit) {}
    int32_t available() override { return taken; }
    void reset() override {}
    bool isOpen() override { return true; }
    int32_t write(const void*, int32_t n) override {
        int32_t accepted = std::min(n, limit - taken);
        taken += accepted;
        return accepted;
    }
    bool setPosition(int32_t) override { return false; }
    int32_t tell() override { return taken; }

  private:
    int limit;
    int taken = 0;
};

// An input stream that claims to hold data but never delivers any.
class EmptyButClaimingInput : public mt::InputStream {
  public:
    EmptyButClaimingInput() : BaseStream(0) {}
    int32_t available() override { return 100; }
    void reset() override {}
    bool isOpen() override { return true; }
    int32_t read(void*, int32_t) override { return 0; }
    bool setPosition(int32_t) override { return false; }
    bool peekByte(uint8_t&) override { return false; }
    int32_t tell() override { return 0; }
};

}  // namespace

TEST(Compressor, QualitySelectsLevelAndHeader) {
    CompressorZLIB compressor;
    EXPECT_EQ(CompressorZLIB::levelForQuality(0), 0);
    EXPECT_EQ(CompressorZLIB::levelForQuality(101), 1);
    EXPECT_EQ(CompressorZLIB::levelForQuality(102), 2);
    EXPECT_EQ(CompressorZLIB::levelForQuality(127), 2);
    EXPECT_EQ(CompressorZLIB::levelForQuality(255), 5);
    EXPECT_EQ(CompressorZLIB::levelForQuality(1000), 5);
    EXPECT_EQ(CompressorZLIB::levelForQuality(-40), 0);

    Bytes data = sampleData(5000);
    Bytes q127 = compressWith(compressor, data, 127, 127);
    ASSERT_GE(q127.size(), 2u);
    EXPECT_EQ(q127[0], 0x78);
    EXPECT_EQ(q127[1], 0x5E);
    EXPECT_TRUE(compressor.isCompressedData(q127.data(), static_cast<int>(q127.size())));
    EXPECT_LT(q127.size(), data.size());

    Bytes stored = compressWith(compressor, data, 0, 127);
    ASSERT_GE(stored.size(), 2u);
    EXPECT_EQ(stored[0], 0x78);
    EXPECT_EQ(stored[1], 0x01);
    EXPECT_FALSE(compressor.isCompressedData(stored.data(), static_cast<int>(stored.size())));
    EXPECT_GT(stored.size(), data.size());  // level 0 stores

    EXPECT_EQ(compressWith(compressor, data, 255, 127), zlibReference(data, 5, 131072));
    EXPECT_FALSE(compressor.isCompressedData(q127.data(), 1));
    EXPECT_FALSE(compressor.isCompressedData(nullptr, 2));
}

TEST(Compressor, OutputEqualsZlibWithSyncFlushPerChunk) {
    CompressorZLIB compressor;
    Bytes data = sampleData(300000);
    // Hints below 255 read 128 KiB chunks: three chunks, two sync flushes.
    Bytes big = compressWith(compressor, data, 127, 0);
    EXPECT_EQ(big, zlibReference(data, 2, 131072));
    // Hints above 255 read 512-byte chunks.
    Bytes small = compressWith(compressor, data, 200, 300);
    EXPECT_EQ(small, zlibReference(data, 3, 512));
    // Hint 255 takes the whole input as one chunk.
    Bytes whole = compressWith(compressor, data, 255, 255);
    EXPECT_EQ(whole, zlibReference(data, 5, data.size()));
    EXPECT_NE(small, zlibReference(data, 3, data.size()));  // the flushes are visible in the bytes

    for (const Bytes* packed : {&big, &small, &whole}) {
        int length = 0;
        uint8_t* plain =
            compressor.decompressToNewBuffer(packed->data(), static_cast<int>(packed->size()), &length, 255);
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(Bytes(plain, plain + length), data);
        compressor.freeBuffer(plain);
    }
}

TEST(Compressor, EmptyInputGivesAnEmptyValidStream) {
    CompressorZLIB compressor;
    const uint8_t nothing[1] = {0};
    for (int hint : {0, 255, 300}) {
        int length = 0;
        uint8_t* packed = compressor.compressToNewBuffer(nothing, 0, &length, 127, hint);
        ASSERT_NE(packed, nullptr) << hint;
        Bytes bytes(packed, packed + length);
        compressor.freeBuffer(packed);
        EXPECT_EQ(bytes, zlibReference({}, 2, 1)) << hint;

        int plainLength = -7;
        EXPECT_EQ(compressor.decompressToNewBuffer(bytes.data(), length, &plainLength, hint), nullptr);
        EXPECT_EQ(plainLength, 0);
        mt::MemoryStream in(bytes.data(), length, mt::STREAM_NOT_OWNER);
        mt::MemoryStream out(mt::STREAM_BINARY);
        EXPECT_EQ(compressor.decompress(&in, &out, hint), 0);
    }
    // A stream that claims data but delivers none cannot keep the compressor looping.
    EmptyButClaimingInput liar;
    mt::MemoryStream out(mt::STREAM_BINARY);
    EXPECT_EQ(compressor.compress(&liar, &out, 127, 255), 8);
}

TEST(Compressor, BufferOperationsAndTheirLimits) {
    CompressorZLIB compressor;
    Bytes data = sampleData(20000);
    Bytes expected = compressWith(compressor, data, 127, 127);

    Bytes destination(expected.size(), 0xEE);
    EXPECT_EQ(compressor.compressToBuffer(data.data(), static_cast<int>(data.size()), destination.data(),
                                          static_cast<int>(destination.size()), 127, 127),
              static_cast<int>(expected.size()));
    EXPECT_EQ(destination, expected);  // an exact fit is enough
    EXPECT_EQ(compressor.compressToBuffer(data.data(), static_cast<int>(data.size()), destination.data(),
                                          static_cast<int>(expected.size()) - 1, 127, 127),
              COMPRESS_ERROR_DESTINATION_FULL);
    EXPECT_EQ(compressor.compressToBuffer(data.data(), 10, nullptr, 0, 127, 127),
              COMPRESS_ERROR_DESTINATION_FULL);

    int length = 123;
    EXPECT_EQ(compressor.compressToNewBuffer(nullptr, 10, &length, 127, 127), nullptr);
    EXPECT_EQ(length, COMPRESS_ERROR_NO_SOURCE);
    EXPECT_EQ(compressor.compressToBuffer(nullptr, 10, destination.data(), 100, 127, 127),
              COMPRESS_ERROR_NO_SOURCE);

    // Decompression into a buffer mirrors compression into one.
    Bytes plain(data.size(), 0);
    EXPECT_EQ(compressor.decompressToBuffer(expected.data(), static_cast<int>(expected.size()), plain.data(),
                                            static_cast<int>(plain.size()), 127),
              static_cast<int>(data.size()));
    EXPECT_EQ(plain, data);
    EXPECT_EQ(compressor.decompressToBuffer(expected.data(), static_cast<int>(expected.size()), plain.data(),
                                            static_cast<int>(plain.size()) - 1, 127),
              COMPRESS_ERROR_DESTINATION_FULL);
    EXPECT_EQ(compressor.decompressToNewBuffer(nullptr, 10, &length, 127), nullptr);
    EXPECT_EQ(length, DECOMPRESS_ERROR_DATA);

    EXPECT_STREQ(compressor.getName(), "zlib");
    EXPECT_EQ(compressor.reservedA(5), -1);
    EXPECT_EQ(compressor.reservedB(5), -1);
    EXPECT_EQ(compressor.allocateBuffer(-1), nullptr);
}

TEST(Compressor, DecompressionResultCodes) {
    CompressorZLIB compressor;
    Bytes data = sampleData(70000);
    Bytes packed = compressWith(compressor, data, 127, 127);
    auto decompress = [&](Bytes input, int hint = 127) {
        mt::MemoryStream in(input.data(), static_cast<int>(input.size()), mt::STREAM_NOT_OWNER);
        mt::MemoryStream out(mt::STREAM_BINARY);
        return compressor.decompress(&in, &out, hint);
    };

    EXPECT_EQ(decompress(packed), static_cast<int>(data.size()));
    for (int hint : {0, 255, 300}) {
        Bytes truncated(packed.begin(), packed.end() - 5);
        EXPECT_EQ(decompress(truncated, hint), DECOMPRESS_ERROR_DATA) << hint;
        Bytes trailing = packed;
        trailing.insert(trailing.end(), {'j', 'u', 'n', 'k'});
        EXPECT_EQ(decompress(trailing, hint), static_cast<int>(data.size())) << hint;
    }
    EXPECT_EQ(decompress({}), DECOMPRESS_ERROR_DATA);
    Bytes corrupt = packed;
    corrupt[0] = 0x12;  // not a zlib header
    EXPECT_EQ(decompress(corrupt), DECOMPRESS_ERROR_DATA);
    Bytes badChecksum = packed;
    badChecksum.back() ^= 0xFF;
    EXPECT_EQ(decompress(badChecksum), DECOMPRESS_ERROR_DATA);
    Bytes withDictionary = {0x78, 0xBB, 0, 0, 0, 1, 0x03, 0x00};  // asks for a preset dictionary
    EXPECT_EQ(decompress(withDictionary), DECOMPRESS_ERROR_DATA);

    // Output streams that refuse bytes.
    mt::MemoryStream in(packed.data(), static_cast<int>(packed.size()), mt::STREAM_NOT_OWNER);
    LimitedOutput shortOutput(1000);
    EXPECT_EQ(compressor.decompress(&in, &shortOutput, 127), DECOMPRESS_ERROR_WRITE);
    mt::MemoryStream source(data.data(), static_cast<int>(data.size()), mt::STREAM_NOT_OWNER);
    LimitedOutput tiny(10);
    EXPECT_EQ(compressor.compress(&source, &tiny, 127, 127), COMPRESS_ERROR_WRITE);
}

TEST(Compressor, ResultsCountTheBytesOfThisCallOnly) {
    CompressorZLIB compressor;
    Bytes data = sampleData(3000);
    Bytes packed = compressWith(compressor, data, 127, 127);
    // An output that already holds bytes, some of them read: the result is still the size of what was added.
    mt::MemoryStream out(mt::STREAM_BINARY);
    out.write("prefix", 6);
    char skip[2];
    out.read(skip, 2);
    mt::MemoryStream in(data.data(), static_cast<int>(data.size()), mt::STREAM_NOT_OWNER);
    EXPECT_EQ(compressor.compress(&in, &out, 127, 127), static_cast<int>(packed.size()));
    EXPECT_EQ(out.available(), static_cast<int>(packed.size()) + 4);
    mt::MemoryStream packedIn(packed.data(), static_cast<int>(packed.size()), mt::STREAM_NOT_OWNER);
    EXPECT_EQ(compressor.decompress(&packedIn, &out, 127), static_cast<int>(data.size()));
    EXPECT_EQ(out.available(), static_cast<int>(packed.size() + data.size()) + 4);
}
