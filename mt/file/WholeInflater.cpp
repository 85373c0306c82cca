#include "mt/file/WholeInflater.h"

#include <array>
#include <bit>
#include <cstring>

namespace mt::file {

namespace {

// A table entry: bits 0-4 the bits to take for it (the code and the extra bits that follow it, of a length
// or a distance), 8-11 the length of the code alone (in a subtable's root entry: the subtable's index bits),
// 12-14 flags, 16-31 the value (literal, base length, base distance, where the subtable starts; 0 for the
// end of the block and 1 for symbols without a meaning).
constexpr uint32_t EXCEPTIONAL = 1u << 12;
constexpr uint32_t SUBTABLE = 1u << 13;
constexpr uint32_t LITERAL = 1u << 14;

constexpr uint32_t tableEntry(uint32_t flags, uint32_t extraBits, uint32_t value) {
    return flags | extraBits | value << 16;
}
// The entry with its code's length added (into both the bits to take and the code's own length).
constexpr uint32_t withCodeLength(uint32_t entry, uint32_t length) {
    return entry + length + (length << 8);
}
inline uint32_t takenBits(uint32_t entry) {
    return entry & 31;
}
inline uint32_t innerBits(uint32_t entry) {
    return (entry >> 8) & 15;
}
inline uint32_t valueOf(uint32_t entry) {
    return entry >> 16;
}

constexpr unsigned MAX_CODE_LENGTH = 15;
constexpr unsigned PRECODE_ROOT = 7;
constexpr unsigned PRECODE_SYMBOLS = 19;
constexpr unsigned LITLEN_SYMBOLS = 288;
constexpr unsigned DISTANCE_SYMBOLS = 32;
// A valid stream ends inside its input, so no zero byte added past the end may be used; a few are allowed
// to be in the bit buffer, unread.
constexpr unsigned MAX_OVERRUN = 8;

constexpr uint16_t LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t DISTANCE_BASE[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                        33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block gives the code lengths of the code-length code.
constexpr uint8_t PRECODE_ORDER[PRECODE_SYMBOLS] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                    11, 4,  12, 3, 13, 2, 14, 1, 15};

// The code's length bits in reverse order: codes are stored from their most significant bit on, and the
// bit buffer gives the first stored bit lowest.
uint32_t reversed(uint32_t code, unsigned length) {
    static constexpr auto REVERSED_BYTE = [] {
        std::array<uint8_t, 256> table{};
        for (unsigned byte = 0; byte < 256; ++byte) {
            for (unsigned bit = 0; bit < 8; ++bit)
                table[byte] = static_cast<uint8_t>(table[byte] | ((byte >> bit) & 1) << (7 - bit));
        }
        return table;
    }();
    uint32_t sixteen =
        static_cast<uint32_t>(REVERSED_BYTE[code & 0xFF]) << 8 | REVERSED_BYTE[(code >> 8) & 0xFF];
    return sixteen >> (16 - length);
}

// Fills table for the code lengths of count symbols (entries: what each symbol decodes to): the low root
// bits of the input index it, and codes longer than that continue in subtables after the root table. False
// unless the code is complete and fits capacity; incomplete codes are left to zlib.
bool buildTable(const uint8_t* lengths, unsigned count, const uint32_t* entries, unsigned root,
                uint32_t* table, unsigned capacity) {
    uint16_t perLength[MAX_CODE_LENGTH + 1] = {};
    for (unsigned symbol = 0; symbol < count; ++symbol)
        ++perLength[lengths[symbol]];
    perLength[0] = 0;
    int unused = 1;
    unsigned longest = 0;
    for (unsigned length = 1; length <= MAX_CODE_LENGTH; ++length) {
        unused = unused * 2 - perLength[length];
        if (unused < 0)
            return false;
        if (perLength[length])
            longest = length;
    }
    if (unused != 0)
        return false;
    // The symbols in the order of their canonical codes: by code length, then by value.
    uint16_t start[MAX_CODE_LENGTH + 2] = {};
    for (unsigned length = 1; length <= MAX_CODE_LENGTH; ++length)
        start[length + 1] = static_cast<uint16_t>(start[length] + perLength[length]);
    unsigned total = start[MAX_CODE_LENGTH + 1];
    uint16_t sorted[LITLEN_SYMBOLS];
    for (unsigned symbol = 0; symbol < count; ++symbol) {
        if (lengths[symbol])
            sorted[start[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
    }
    uint32_t nextCode[MAX_CODE_LENGTH + 1] = {};
    uint32_t code = 0;
    for (unsigned length = 1; length <= MAX_CODE_LENGTH; ++length) {
        code = (code + perLength[length - 1]) << 1;
        nextCode[length] = code;
    }

    // Codes no longer than the root: each is written once, at its index in a table as wide as the code; the
    // table then doubles (copying itself) on the way to the next length, which repeats every shorter code at
    // all the indices whose low bits are its own. A slot copied before its code is written is overwritten
    // when that code (longer, its index below the table's width then) or its subtable comes.
    unsigned i = 0;
    for (unsigned length = 1; length <= root; ++length) {
        if (length > 1)
            std::memcpy(table + (1u << (length - 1)), table, sizeof(uint32_t) << (length - 1));
        for (unsigned k = 0; k < perLength[length]; ++k, ++i) {
            unsigned symbol = sorted[i];
            table[reversed(nextCode[length]++, length)] = withCodeLength(entries[symbol], length);
        }
    }
    uint32_t rootSize = 1u << root;
    uint32_t next = rootSize;
    uint32_t prefix = UINT32_MAX, subStart = 0, subBits = 0;
    uint16_t remaining[MAX_CODE_LENGTH + 1];
    std::memcpy(remaining, perLength, sizeof remaining);
    for (; i < total; ++i) {
        unsigned symbol = sorted[i];
        unsigned length = lengths[symbol];
        uint32_t index = reversed(nextCode[length]++, length);
        uint32_t entry = withCodeLength(entries[symbol], length);
        if ((index & (rootSize - 1)) != prefix) {
            // A new subtable, just large enough for the codes below this prefix: they come next in canonical
            // order, so the remaining counts per length tell when its slots are all taken.
            prefix = index & (rootSize - 1);
            subBits = length - root;
            int slots = 1 << subBits;
            while (subBits + root < longest) {
                slots -= remaining[subBits + root];
                if (slots <= 0)
                    break;
                ++subBits;
                slots <<= 1;
            }
            if (next + (1u << subBits) > capacity)
                return false;
            table[prefix] = tableEntry(SUBTABLE, subBits << 8, next);
            subStart = next;
            next += 1u << subBits;
        }
        for (uint32_t at = index >> root; at < (1u << subBits); at += 1u << (length - root))
            table[subStart + at] = entry;
        --remaining[length];
    }
    return true;
}

// What each symbol decodes to, and the tables of the fixed code; made once.
struct StaticTables {
    uint32_t precodeEntries[PRECODE_SYMBOLS];
    uint32_t litlenEntries[LITLEN_SYMBOLS];
    uint32_t distanceEntries[DISTANCE_SYMBOLS];
    uint32_t fixedLitlen[WholeInflater::LITLEN_ENOUGH];
    uint32_t fixedDistance[WholeInflater::DISTANCE_ENOUGH];

    StaticTables() {
        for (uint32_t symbol = 0; symbol < PRECODE_SYMBOLS; ++symbol)
            precodeEntries[symbol] = tableEntry(0, 0, symbol);
        for (uint32_t symbol = 0; symbol < 256; ++symbol)
            litlenEntries[symbol] = tableEntry(LITERAL, 0, symbol);
        litlenEntries[256] = tableEntry(EXCEPTIONAL, 0, 0);
        for (uint32_t i = 0; i < 29; ++i)
            litlenEntries[257 + i] = tableEntry(0, LENGTH_EXTRA[i], LENGTH_BASE[i]);
        // Symbols 286 and 287 (and distances 30 and 31) have codes in the fixed code but mean nothing.
        litlenEntries[286] = litlenEntries[287] = tableEntry(EXCEPTIONAL, 0, 1);
        for (uint32_t i = 0; i < 30; ++i)
            distanceEntries[i] = tableEntry(0, DISTANCE_EXTRA[i], DISTANCE_BASE[i]);
        distanceEntries[30] = distanceEntries[31] = tableEntry(EXCEPTIONAL, 0, 1);

        uint8_t lengths[LITLEN_SYMBOLS];
        std::memset(lengths, 8, 144);
        std::memset(lengths + 144, 9, 112);
        std::memset(lengths + 256, 7, 24);
        std::memset(lengths + 280, 8, 8);
        buildTable(lengths, LITLEN_SYMBOLS, litlenEntries, WholeInflater::LITLEN_ROOT, fixedLitlen,
                   WholeInflater::LITLEN_ENOUGH);
        std::memset(lengths, 5, DISTANCE_SYMBOLS);
        buildTable(lengths, DISTANCE_SYMBOLS, distanceEntries, WholeInflater::DISTANCE_ROOT, fixedDistance,
                   WholeInflater::DISTANCE_ENOUGH);
    }
};

const StaticTables& staticTables() {
    static const StaticTables tables;
    return tables;
}

// Copies a match of length bytes from back bytes before out; returns where the output continues. Short of
// the end of the output, whole chunks are copied, the last one running past the match into bytes not
// written yet.
inline uint8_t* copyMatch(uint8_t* out, const uint8_t* outEnd, size_t length, size_t back) {
    uint8_t* to = out;
    const uint8_t* from = out - back;
    uint8_t* end = out + length;
    size_t room = static_cast<size_t>(outEnd - end);
    if (back >= 16 && room >= 16) {
        do {
            uint8_t chunk[16];
            std::memcpy(chunk, from, 16);
            std::memcpy(to, chunk, 16);
            from += 16;
            to += 16;
        } while (to < end);
    } else if (back >= 8 && room >= 8) {
        do {
            uint64_t word;
            std::memcpy(&word, from, 8);
            std::memcpy(to, &word, 8);
            from += 8;
            to += 8;
        } while (to < end);
    } else if (back == 1) {
        std::memset(to, *from, length);
    } else {
        while (to < end)
            *to++ = *from++;
    }
    return end;
}

}  // namespace

bool WholeInflater::inflate(const uint8_t* input, size_t inputSize, uint8_t* out, size_t outSize) {
    if (!input || !out)
        return false;
    WholeInflater inflater(input, inputSize, out, outSize);
    return inflater.run();
}

WholeInflater::WholeInflater(const uint8_t* input, size_t inputSize, uint8_t* out, size_t outSize)
    : in(input), inEnd(input + inputSize), outStart(out), out(out), outEnd(out + outSize) {}

bool WholeInflater::refill() {
    if (inEnd - in >= 8) {
        // Eight bytes at once; those that do not fit stay in the input and are read again next time.
        uint64_t word;
        std::memcpy(&word, in, 8);
        if constexpr (std::endian::native == std::endian::big)
            word = __builtin_bswap64(word);
        bits |= word << bitCount;
        in += (63 - bitCount) >> 3;
        bitCount |= 56;
        return true;
    }
    while (bitCount < 56) {
        uint64_t byte = 0;
        if (in < inEnd)
            byte = *in++;
        else
            ++overrun;
        bits |= byte << bitCount;
        bitCount += 8;
    }
    return overrun <= MAX_OVERRUN;
}

uint32_t WholeInflater::take(unsigned count) {
    auto value = static_cast<uint32_t>(bits) & ((1u << count) - 1);
    bits >>= count;
    bitCount -= count;
    return value;
}

bool WholeInflater::run() {
    const StaticTables& tables = staticTables();
    bool last = false;
    while (!last) {
        if (bitCount < 3 && !refill())
            return false;
        last = take(1) != 0;
        uint32_t type = take(2);
        bool ok = false;
        if (type == 0)
            ok = storedBlock();
        else if (type == 1)
            ok = huffmanBlock(tables.fixedLitlen, tables.fixedDistance);
        else if (type == 2)
            ok = dynamicTables() && huffmanBlock(litlen, distance);
        if (!ok)
            return false;
    }
    // The whole output, and no bit taken from past the end of the input.
    return out == outEnd && bitCount >= overrun * 8;
}

bool WholeInflater::storedBlock() {
    take(bitCount & 7);
    if (bitCount < 32 && !refill())
        return false;
    uint32_t length = take(16);
    if ((take(16) ^ 0xFFFF) != length)
        return false;
    // The whole bytes still in the bit buffer go back to the input; the stored bytes are copied from there.
    unsigned buffered = bitCount / 8;
    if (buffered < overrun)
        return false;
    in -= buffered - overrun;
    bits = 0;
    bitCount = 0;
    overrun = 0;
    if (length > static_cast<size_t>(inEnd - in) || length > static_cast<size_t>(outEnd - out))
        return false;
    std::memcpy(out, in, length);
    in += length;
    out += length;
    return true;
}

bool WholeInflater::dynamicTables() {
    const StaticTables& tables = staticTables();
    if (bitCount < 14 && !refill())
        return false;
    unsigned litlenCount = take(5) + 257;
    unsigned distanceCount = take(5) + 1;
    unsigned precodeCount = take(4) + 4;
    if (litlenCount > 286 || distanceCount > 30)
        return false;
    uint8_t precodeLengths[PRECODE_SYMBOLS] = {};
    for (unsigned i = 0; i < precodeCount; ++i) {
        if (bitCount < 3 && !refill())
            return false;
        precodeLengths[PRECODE_ORDER[i]] = static_cast<uint8_t>(take(3));
    }
    uint32_t precode[1u << PRECODE_ROOT];
    if (!buildTable(precodeLengths, PRECODE_SYMBOLS, tables.precodeEntries, PRECODE_ROOT, precode,
                    1u << PRECODE_ROOT)) {
        return false;
    }
    // The code lengths of both codes form one sequence; a repeat may run from one into the other.
    uint8_t lengths[286 + 30];
    unsigned total = litlenCount + distanceCount;
    for (unsigned i = 0; i < total;) {
        if (bitCount < PRECODE_ROOT + 7 && !refill())
            return false;
        uint32_t entry = precode[bits & ((1u << PRECODE_ROOT) - 1)];
        take(takenBits(entry));
        uint32_t symbol = valueOf(entry);
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            continue;
        }
        uint8_t value = 0;
        unsigned repeat;
        if (symbol == 16) {
            if (i == 0)
                return false;
            value = lengths[i - 1];
            repeat = 3 + take(2);
        } else if (symbol == 17) {
            repeat = 3 + take(3);
        } else {
            repeat = 11 + take(7);
        }
        if (repeat > total - i)
            return false;
        std::memset(lengths + i, value, repeat);
        i += repeat;
    }
    if (lengths[256] == 0)
        return false;
    return buildTable(lengths, litlenCount, tables.litlenEntries, LITLEN_ROOT, litlen, LITLEN_ENOUGH) &&
           buildTable(lengths + litlenCount, distanceCount, tables.distanceEntries, DISTANCE_ROOT, distance,
                      DISTANCE_ENOUGH);
}

bool WholeInflater::huffmanBlock(const uint32_t* litlenTable, const uint32_t* distanceTable) {
    for (;;) {
        // 48 bits hold the longest length with its extra bits and distance with its extra bits.
        if (bitCount < 48 && !refill())
            return false;
        uint32_t entry = litlenTable[bits & ((1u << LITLEN_ROOT) - 1)];
        if (entry & SUBTABLE)
            entry = litlenTable[valueOf(entry) + ((bits >> LITLEN_ROOT) & ((1u << innerBits(entry)) - 1))];
        auto low = static_cast<uint32_t>(bits);
        take(takenBits(entry));
        if (entry & LITERAL) {
            if (out == outEnd)
                return false;
            *out++ = static_cast<uint8_t>(valueOf(entry));
            continue;
        }
        if (entry & EXCEPTIONAL)
            return valueOf(entry) == 0;  // the end of the block, or a symbol without a meaning
        // The extra bits sit above the code in the bits taken.
        size_t length = valueOf(entry) + ((low & ((1u << takenBits(entry)) - 1)) >> innerBits(entry));
        entry = distanceTable[bits & ((1u << DISTANCE_ROOT) - 1)];
        if (entry & SUBTABLE)
            entry =
                distanceTable[valueOf(entry) + ((bits >> DISTANCE_ROOT) & ((1u << innerBits(entry)) - 1))];
        low = static_cast<uint32_t>(bits);
        take(takenBits(entry));
        if (entry & EXCEPTIONAL)
            return false;
        size_t back = valueOf(entry) + ((low & ((1u << takenBits(entry)) - 1)) >> innerBits(entry));
        if (back > static_cast<size_t>(out - outStart) || length > static_cast<size_t>(outEnd - out))
            return false;
        out = copyMatch(out, outEnd, length, back);
    }
}

}  // namespace mt::file
