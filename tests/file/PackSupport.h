#pragma once
#include <zlib.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "mt/file/PackArchive.h"

// Builds archive bytes field by field, so that tests can describe sound and damaged archives alike.
struct RawEntry {
    uint32_t hash;
    uint32_t storedSize;
    uint32_t size;
    uint8_t flags;
    uint32_t offset;
};

inline void putLittle32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(value >> (8 * i)));
}

// Header and directory for the entries; member data (data) follows at offset 12 + 17 * count.
inline std::string rawArchive(const std::vector<RawEntry>& entries, const std::string& data,
                              int32_t entryCount = INT32_MIN, int32_t directorySize = -1) {
    int32_t count = entryCount != INT32_MIN ? entryCount : static_cast<int32_t>(entries.size());
    std::string out;
    putLittle32(out, mt::file::PACK_MAGIC);
    putLittle32(out, static_cast<uint32_t>(
                         directorySize >= 0 ? directorySize : 4 + 17 * static_cast<int32_t>(entries.size())));
    putLittle32(out, static_cast<uint32_t>(count));
    for (const RawEntry& entry : entries) {
        putLittle32(out, entry.hash);
        putLittle32(out, entry.storedSize);
        putLittle32(out, entry.size);
        out.push_back(static_cast<char>(entry.flags));
        putLittle32(out, entry.offset);
    }
    return out + data;
}

inline uint32_t dataStart(size_t entryCount) {
    return static_cast<uint32_t>(12 + 17 * entryCount);
}

inline std::string deflated(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()),
              static_cast<uLong>(bytes.size()), 9);
    out.resize(size);
    return out;
}

// A "filepack.list" body naming the given paths.
inline std::string nameList(const std::vector<std::string>& names) {
    std::string out;
    putLittle32(out, static_cast<uint32_t>(names.size()));
    for (const std::string& name : names) {
        out.push_back(static_cast<char>(name.size()));
        out.push_back(static_cast<char>(name.size() >> 8));
        out += name;
    }
    return out;
}

// Text that deflates well, different for every seed.
inline std::string sampleText(size_t size, unsigned seed) {
    std::string out;
    out.reserve(size);
    unsigned state = seed * 2654435761u + 1;
    while (out.size() < size) {
        state = state * 1103515245u + 12345u;
        out += "line " + std::to_string(state % 1000) + " of the sample text\n";
    }
    out.resize(size);
    return out;
}

// Bytes that do not deflate.
inline std::string noise(size_t size, unsigned seed) {
    std::string out(size, '\0');
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 7;
    for (char& c : out) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = static_cast<char>(state);
    }
    return out;
}
