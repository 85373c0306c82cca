#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "PackSupport.h"
#include "mt/file/WholeInflater.h"

using mt::file::WholeInflater;

namespace {

// A raw deflate stream of bytes; chunk > 0 flushes after every chunk bytes (more blocks, empty stored ones
// among them with Z_SYNC_FLUSH).
std::string rawDeflated(const std::string& bytes, int level, int strategy, int windowBits = -15,
                        size_t chunk = 0, int flush = Z_SYNC_FLUSH) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, strategy), Z_OK);
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 64 + bytes.size() / 8, '\0');
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    size_t at = 0;
    do {
        size_t piece = chunk ? std::min(chunk, bytes.size() - at) : bytes.size() - at;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at));
        stream.avail_in = static_cast<uInt>(piece);
        at += piece;
        deflate(&stream, at == bytes.size() ? Z_FINISH : flush);
    } while (at < bytes.size());
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// What zlib makes of the stream with room for size bytes: the bytes, and whether the stream ended there.
std::string zlibInflated(const std::string& stream, size_t size, bool& ended) {
    z_stream inflater{};
    inflateInit2(&inflater, -15);
    std::string out(size, '\0');
    inflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    inflater.avail_in = static_cast<uInt>(stream.size());
    inflater.next_out = reinterpret_cast<Bytef*>(out.data());
    inflater.avail_out = static_cast<uInt>(size);
    ended = inflate(&inflater, Z_FINISH) == Z_STREAM_END;
    out.resize(inflater.total_out);
    inflateEnd(&inflater);
    return out;
}

bool inflateInto(const std::string& stream, std::string& out) {
    return WholeInflater::inflate(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(),
                                  reinterpret_cast<uint8_t*>(out.data()), out.size());
}

// Inputs that give every kind of match: short and long distances (up to the whole window), overlapping
// copies of every distance below a word, long runs, literals only.
std::vector<std::string> samples() {
    std::vector<std::string> out = {"", "x", sampleText(120000, 3), noise(70000, 4)};
    std::string far = noise(32768, 5);
    out.push_back(far + far.substr(0, 300) + far);
    std::string periodic;
    for (int period = 1; period <= 9; ++period) {
        std::string unit = noise(static_cast<size_t>(period), static_cast<unsigned>(period));
        for (int i = 0; i < 400; ++i)
            periodic += unit;
    }
    out.push_back(periodic);
    out.push_back(std::string(100000, 'a'));
    // Bytes of very uneven frequencies, and matches at uneven distances: codes up to the longest lengths,
    // looked up through subtables.
    std::mt19937 random(2);
    std::string skewed;
    while (skewed.size() < 200000) {
        uint32_t draw = random();
        if (draw % 3 == 0 && skewed.size() > 40000) {
            size_t back = 1 + (random() >> (1 + random() % 31)) % 32768;
            skewed += skewed.substr(skewed.size() - back, 3 + random() % 20);
        } else {
            skewed.push_back(static_cast<char>(__builtin_ctz(draw | 0x80000000u) * 7));
        }
    }
    out.push_back(skewed);
    return out;
}

// A stream written bit by bit, for blocks no encoder would write.
class BitWriter {
  public:
    void bits(uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i)
            put((value >> i) & 1);
    }
    // A Huffman code: its bits go out from the most significant one.
    void code(uint32_t value, unsigned length) {
        for (unsigned i = length; i-- > 0;)
            put((value >> i) & 1);
    }
    // A symbol of the fixed literal/length code.
    void fixed(unsigned symbol) {
        if (symbol < 144)
            code(0x30 + symbol, 8);
        else if (symbol < 256)
            code(0x190 + symbol - 144, 9);
        else if (symbol < 280)
            code(symbol - 256, 7);
        else
            code(0xC0 + symbol - 280, 8);
    }
    const std::string& bytes() const { return out; }

  private:
    void put(uint32_t bit) {
        if (used % 8 == 0)
            out.push_back('\0');
        out.back() = static_cast<char>(out.back() | bit << (used % 8));
        ++used;
    }
    std::string out;
    unsigned used = 0;
};

// A dynamic block of 'a', length 3 and its end whose distance code has one code of one bit; the match takes
// the bit value distanceBit, of which zlib knows only 0.
BitWriter singleDistanceCode(uint32_t distanceBit) {
    BitWriter single;
    single.bits(1, 1), single.bits(2, 2);
    single.bits(1, 5), single.bits(0, 5), single.bits(14, 4);  // 258 and 1 code lengths, 18 precode lengths
    // Precode lengths in their order 16 17 18 0 8 7 9 6 10 5 11 4 12 3 13 2 14 1: 18 takes one bit, 1 and 2
    // two bits each (codes 0, 10, 11).
    const unsigned precode[18] = {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2};
    for (unsigned length : precode)
        single.bits(length, 3);
    // 97 zeros, 'a' of length 1, 158 zeros, end of block and length 3 of length 2, the one distance.
    single.code(0, 1), single.bits(86, 7), single.code(2, 2);
    single.code(0, 1), single.bits(127, 7), single.code(0, 1), single.bits(9, 7);
    single.code(3, 2), single.code(3, 2), single.code(2, 2);
    // 'a' (code 0), length 3 (code 11) one byte back (the distance bit), end of block (code 10).
    single.code(0, 1), single.code(3, 2), single.code(distanceBit, 1), single.code(2, 2);
    return single;
}

}  // namespace

TEST(WholeInflater, GivesZlibsBytesForEveryLevelStrategyWindowAndBlockKind) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    for (const std::string& sample : samples()) {
        for (int level : {0, 1, 6, 9}) {
            for (int strategy : strategies) {
                for (int windowBits : {-15, -9}) {
                    std::string stream = rawDeflated(sample, level, strategy, windowBits);
                    std::string out(sample.size(), '\0');
                    ASSERT_TRUE(inflateInto(stream, out))
                        << sample.size() << " bytes, level " << level << ", strategy " << strategy;
                    ASSERT_EQ(out, sample);
                }
            }
        }
        // Many blocks, with empty stored blocks between them, and blocks that end on byte boundaries.
        for (int flush : {Z_SYNC_FLUSH, Z_FULL_FLUSH, Z_BLOCK}) {
            std::string stream = rawDeflated(sample, 6, Z_DEFAULT_STRATEGY, -15, 3001, flush);
            std::string out(sample.size(), '\0');
            ASSERT_TRUE(inflateInto(stream, out)) << sample.size() << " bytes, flush " << flush;
            ASSERT_EQ(out, sample);
        }
    }
    // Bytes after the last block are not looked at.
    std::string text = sampleText(5000, 6);
    std::string out(text.size(), '\0');
    ASSERT_TRUE(inflateInto(rawDeflated(text, 6, Z_DEFAULT_STRATEGY) + "trailing bytes", out));
    EXPECT_EQ(out, text);
}

TEST(WholeInflater, RefusesAnythingButOneWholeStreamOfExactlyTheSize) {
    std::string text = sampleText(20000, 7);
    std::string stream = rawDeflated(text, 6, Z_DEFAULT_STRATEGY, -15, 7000);
    std::string shorter(text.size() - 1, '\0'), longer(text.size() + 1, '\0');
    EXPECT_FALSE(inflateInto(stream, shorter));
    EXPECT_FALSE(inflateInto(stream, longer));
    for (size_t cut = 0; cut < stream.size(); ++cut) {
        std::string out(text.size(), '\0');
        ASSERT_FALSE(inflateInto(stream.substr(0, cut), out)) << cut;
    }
    std::string stored = rawDeflated(text.substr(0, 3000), 0, Z_DEFAULT_STRATEGY);
    for (size_t cut = 0; cut < stored.size(); ++cut) {
        std::string out(3000, '\0');
        ASSERT_FALSE(inflateInto(stored.substr(0, cut), out)) << cut;
    }
    std::string empty;
    EXPECT_FALSE(WholeInflater::inflate(nullptr, 0, reinterpret_cast<uint8_t*>(empty.data()), 0));
}

TEST(WholeInflater, NeverSucceedsWhereZlibWouldGiveOtherBytes) {
    // Damaged streams: whatever the inflater accepts, zlib must decode to the same bytes and end there.
    std::mt19937 random(11);
    std::vector<std::string> streams = {rawDeflated(sampleText(3000, 8), 6, Z_DEFAULT_STRATEGY),
                                        rawDeflated(sampleText(3000, 9), 9, Z_FIXED),
                                        rawDeflated(noise(600, 10), 0, Z_DEFAULT_STRATEGY),
                                        rawDeflated(sampleText(2000, 11), 1, Z_HUFFMAN_ONLY, -15, 500)};
    int accepted = 0, refused = 0;
    for (int trial = 0; trial < 6000; ++trial) {
        std::string stream = streams[static_cast<size_t>(trial) % streams.size()];
        int flips = 1 + trial % 3;
        for (int i = 0; i < flips; ++i)
            stream[random() % stream.size()] ^= static_cast<char>(1 << (random() % 8));
        size_t size =
            trial % 5 == 0 ? random() % 4000 : (trial % 4 == 2 ? 600 : 3000 - 1000 * (trial % 4 == 3));
        std::string out(size, '\0');
        if (inflateInto(stream, out)) {
            bool ended = false;
            ASSERT_EQ(zlibInflated(stream, size, ended), out) << trial;
            ASSERT_TRUE(ended) << trial;
            ++accepted;
        } else {
            ++refused;
        }
    }
    // Both outcomes occurred (a flipped literal bit often still decodes).
    EXPECT_GT(accepted, 100);
    EXPECT_GT(refused, 100);
}

TEST(WholeInflater, RefusesWhatZlibRefusesAndTakesIncompleteCodesAsZlibDoes) {
    auto refused = [](const std::string& stream, size_t size) {
        std::string out(size, '\0');
        bool ended = false;
        EXPECT_FALSE(inflateInto(stream, out));
        // Short of the size or not a whole stream: zlib does not accept it either.
        return zlibInflated(stream, size, ended).size() < size || !ended;
    };
    {
        BitWriter tooFar;  // one literal, then a match two bytes back
        tooFar.bits(1, 1), tooFar.bits(1, 2), tooFar.fixed('a'), tooFar.fixed(257), tooFar.code(1, 5);
        tooFar.fixed(256);
        EXPECT_TRUE(refused(tooFar.bytes(), 4));
    }
    {
        BitWriter reserved;  // block type 3
        reserved.bits(1, 1), reserved.bits(3, 2), reserved.bits(0, 16);
        EXPECT_TRUE(refused(reserved.bytes(), 0));
    }
    {
        BitWriter badLength;  // literal/length symbol 286 of the fixed code
        badLength.bits(1, 1), badLength.bits(1, 2), badLength.fixed('a'), badLength.fixed(286);
        badLength.bits(0, 16);
        EXPECT_TRUE(refused(badLength.bytes(), 4));
    }
    {
        BitWriter badDistance;  // distance symbol 30 of the fixed code
        badDistance.bits(1, 1), badDistance.bits(1, 2), badDistance.fixed('a'), badDistance.fixed(257);
        badDistance.code(30, 5), badDistance.fixed(256);
        EXPECT_TRUE(refused(badDistance.bytes(), 4));
    }
    {
        BitWriter badStored;  // LEN and NLEN disagree
        badStored.bits(1, 1), badStored.bits(0, 2), badStored.bits(0, 5), badStored.bits(2, 16);
        badStored.bits(0xFFFF, 16), badStored.bits('a', 8), badStored.bits('b', 8);
        EXPECT_TRUE(refused(badStored.bytes(), 2));
    }
    {
        BitWriter good;  // the same fixed block with a match one byte back is fine
        good.bits(1, 1), good.bits(1, 2), good.fixed('a'), good.fixed(257), good.code(0, 5), good.fixed(256);
        std::string out(4, '\0');
        EXPECT_TRUE(inflateInto(good.bytes(), out));
        EXPECT_EQ(out, "aaaa");
    }
    // A dynamic block whose distance code has a single one-bit code: incomplete, which zlib accepts.
    BitWriter single = singleDistanceCode(0);
    std::string out(4, '\0');
    EXPECT_TRUE(inflateInto(single.bytes(), out));
    EXPECT_EQ(out, "aaaa");
    bool ended = false;
    EXPECT_EQ(zlibInflated(single.bytes(), 4, ended), "aaaa");
    EXPECT_TRUE(ended);
}

TEST(WholeInflater, TakesTheStreamsZlibRefusesThatLibdeflateDecodes) {
    // These are the known places where libdeflate is laxer than zlib (see WholeInflater.h). Should a later
    // libdeflate refuse them too, the header's account of the differences is to be brought up to date.
    auto zlibRefuses = [](const std::string& stream, size_t size) {
        bool ended = false;
        return zlibInflated(stream, size, ended).size() < size || !ended;
    };
    BitWriter length258;  // 'a', then the reserved symbol 286 of the fixed code one byte back
    length258.bits(1, 1), length258.bits(1, 2), length258.fixed('a'), length258.fixed(286);
    length258.code(0, 5), length258.fixed(256);
    std::string out(259, '\0');
    EXPECT_TRUE(inflateInto(length258.bytes(), out));
    EXPECT_EQ(out, std::string(259, 'a'));
    EXPECT_TRUE(zlibRefuses(length258.bytes(), 259));

    BitWriter unusedBit = singleDistanceCode(1);
    out.assign(4, '\0');
    EXPECT_TRUE(inflateInto(unusedBit.bytes(), out));
    EXPECT_EQ(out, "aaaa");
    EXPECT_TRUE(zlibRefuses(unusedBit.bytes(), 4));
}
