#pragma once
// A CachedInputStream over a pack archive member (or over a memory stream) is driven by a script of reads,
// line reads, typed reads with and without swapped bytes, peeks, seeks and resets decoded from the input,
// and every answer is checked against a plain reader over the same bytes. Shared by the libFuzzer target
// and by the test that replays its corpus; a mismatch traps.
//
// Input: one configuration byte, the script length (two bytes, little-endian), the script, then the member's
// bytes. Configuration bits: 0 deflate the member, 1-3 the cache size, 4 a caller's cache buffer, 5 swap
// bytes from the start, 6 a memory stream as the source instead of the member.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/FuzzBytes.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/file/PackWriter.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/FileInputStream.h"
#include "mt/stream/MemoryStream.h"

namespace fuzzing {

inline void expect(bool condition) {
    if (!condition)
        __builtin_trap();
}

// The stream's rules restated over a byte string.
class PlainReader {
  public:
    explicit PlainReader(const std::string& bytes) : bytes(bytes) {}

    bool swap = false;
    int32_t position = 0;

    int32_t size() const { return static_cast<int32_t>(bytes.size()); }
    int32_t read(void* dst, int32_t n) {
        int32_t count = std::max(0, std::min(n, size() - position));
        std::memcpy(dst, bytes.data() + position, static_cast<size_t>(count));
        position += count;
        return count;
    }
    bool peek(uint8_t& value) const {
        if (position >= size())
            return false;
        value = static_cast<uint8_t>(bytes[static_cast<size_t>(position)]);
        return true;
    }
    // A typed value of width bytes: a short read keeps the rest of the target; a swapped value is only
    // taken whole.
    void readValue(uint8_t* target, int width) {
        uint8_t raw[8];
        int32_t got = read(raw, width);
        if (got <= 0 || (swap && got < width))
            return;
        if (swap)
            std::reverse(raw, raw + width);
        std::memcpy(target, raw, static_cast<size_t>(got));
    }
    bool readLine(char* buffer, int32_t capacity) {
        if (capacity < 1)
            return false;
        if (capacity == 1) {
            buffer[0] = '\0';
            return false;
        }
        int32_t stored = 0;
        while (stored < capacity - 1) {
            uint8_t byte;
            if (!peek(byte)) {
                buffer[stored] = '\0';
                return stored > 0;
            }
            ++position;
            if (byte == '\n')
                break;
            if (byte == '\r') {
                uint8_t next;
                if (peek(next) && next == '\n')
                    ++position;
                break;
            }
            buffer[stored++] = static_cast<char>(byte);
        }
        buffer[stored] = '\0';
        return true;
    }

  private:
    const std::string& bytes;
};

// The member bytes as a one-member archive written by the pack writer, read back into memory.
inline bool buildArchive(const std::string& member, bool deflate, std::vector<uint8_t>& archive) {
    static const std::string path = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder && *folder ? folder : "/tmp") + "/stream_fuzz_" + std::to_string(getpid()) +
               ".pak";
    }();
    mt::file::PackWriter writer(deflate, 1);
    if (!writer.addMember("stream.bin", member.data(), static_cast<int64_t>(member.size())) ||
        !writer.write(path.c_str()))
        return false;
    std::ifstream in(path, std::ios::binary);
    archive.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return !archive.empty();
}

// Runs the script against stream and the plain reader over bytes.
inline void runScript(mt::InputStream& stream, FuzzBytes& script, PlainReader& plain) {
    static char line[400];
    static char expectedLine[400];
    static uint8_t got[1 << 17];
    static uint8_t want[1 << 17];
    const int32_t size = plain.size();
    for (int step = 0; step < 300 && !script.done(); ++step) {
        switch (script.byte() % 12) {
            case 0: {  // small reads, and reads larger than any cache
                int32_t n =
                    static_cast<int32_t>(script.byte() % 2 ? script.byte() : script.u32() % sizeof got);
                int32_t count = stream.read(got, n);
                expect(count == plain.read(want, n));
                expect(count <= 0 || std::memcmp(got, want, static_cast<size_t>(count)) == 0);
                break;
            }
            case 1: {
                int32_t capacity = script.byte() % 300;
                line[0] = expectedLine[0] = 'x';
                bool result = stream.readLine(line, capacity);
                expect(result == plain.readLine(expectedLine, capacity));
                if (capacity > 0)
                    expect(std::strcmp(line, expectedLine) == 0);
                break;
            }
            case 2: {  // every typed read, the target starting from a known pattern
                uint8_t width = script.byte() % 9;
                alignas(8) uint8_t actual[8];
                alignas(8) uint8_t expected[8];
                std::memset(actual, 0xA5, sizeof actual);
                std::memset(expected, 0xA5, sizeof expected);
                switch (width) {
                    case 0:
                        stream.readDouble(*reinterpret_cast<double*>(actual));
                        plain.readValue(expected, 8);
                        break;
                    case 1:
                        stream.readFloat(*reinterpret_cast<float*>(actual));
                        plain.readValue(expected, 4);
                        break;
                    case 2:
                        stream.readUInt32(*reinterpret_cast<uint32_t*>(actual));
                        plain.readValue(expected, 4);
                        break;
                    case 3:
                        stream.readInt32(*reinterpret_cast<int32_t*>(actual));
                        plain.readValue(expected, 4);
                        break;
                    case 4:
                        stream.readUInt16(*reinterpret_cast<uint16_t*>(actual));
                        plain.readValue(expected, 2);
                        break;
                    case 5:
                        stream.readInt16(*reinterpret_cast<int16_t*>(actual));
                        plain.readValue(expected, 2);
                        break;
                    case 6:
                        stream.readUInt8(actual[0]);
                        plain.readValue(expected, 1);
                        break;
                    case 7:
                        stream.readInt8(*reinterpret_cast<int8_t*>(actual));
                        plain.readValue(expected, 1);
                        break;
                    default: {
                        bool value = true;
                        stream.readBool(value);
                        uint8_t byte = 0;
                        expect(value == (plain.read(&byte, 1) == 1 && byte != 0));
                        break;
                    }
                }
                expect(std::memcmp(actual, expected, sizeof actual) == 0);
                break;
            }
            case 3: {
                uint8_t actual = 0;
                uint8_t expected = 0;
                bool found = stream.peekByte(actual);
                expect(found == plain.peek(expected));
                expect(!found || actual == expected);
                break;
            }
            case 4: {
                int32_t target = static_cast<int32_t>(script.u32() % (static_cast<uint32_t>(size) + 1));
                expect(stream.setPosition(target));
                plain.position = target;
                break;
            }
            case 5: {  // relative to the current position or to the end, always inside the data
                bool fromEnd = script.byte() % 2;
                int32_t base = fromEnd ? size : plain.position;
                int32_t target = static_cast<int32_t>(script.u32() % (static_cast<uint32_t>(size) + 1));
                expect(stream.seek(target - base, fromEnd ? 2 : 1));
                plain.position = target;
                break;
            }
            case 6:
                stream.reset();
                break;
            case 7:
                plain.swap = !plain.swap;
                stream.setSwapBytes(plain.swap);
                break;
            case 8: {
                int32_t length = -1;
                expect(stream.peekBuffer(length) == nullptr && length == 0);
                break;
            }
            default:
                break;
        }
        expect(stream.tell() == plain.position);
        expect(stream.available() == size - plain.position);
    }
}

inline int fuzzStream(const uint8_t* data, size_t size) {
    static const int32_t kCacheSizes[] = {0, 1, 2, 3, 7, 255, 4096, 8096};
    static mt::file::FileManagerImpl* manager = new mt::file::FileManagerImpl();
    if (size < 3 || size > (2u << 20))
        return 0;
    FuzzBytes in(data, size);
    uint8_t config = in.byte();
    size_t scriptLength = std::min<size_t>(in.u16(), in.left());
    std::string scriptBytes = in.take(scriptLength);
    std::string member = in.take(in.left());
    FuzzBytes script(reinterpret_cast<const uint8_t*>(scriptBytes.data()), scriptBytes.size());
    PlainReader plain(member);
    plain.swap = (config & 32) != 0;
    const int32_t cacheSize = kCacheSizes[(config >> 1) & 7];
    std::vector<uint8_t> borrowed(static_cast<size_t>(cacheSize));

    auto drive = [&](mt::InputStream& source) {
        std::unique_ptr<mt::CachedInputStream> cached(
            (config & 16) ? new mt::CachedInputStream(&source, borrowed.data(), cacheSize)
                          : new mt::CachedInputStream(&source, cacheSize));
        cached->setSwapBytes(plain.swap);
        expect(cached->tell() == 0 && cached->available() == plain.size());
        runScript(*cached, script, plain);
    };

    if (config & 64) {
        mt::MemoryStream source(reinterpret_cast<uint8_t*>(member.data()),
                                static_cast<int32_t>(member.size()), mt::STREAM_NOT_OWNER);
        drive(source);
        return 0;
    }
    std::vector<uint8_t> archive;
    if (!buildArchive(member, (config & 1) != 0, archive))
        __builtin_trap();  // the writer takes any bytes under a plain name
    manager->registerMemoryBlock(archive.data(), static_cast<int32_t>(archive.size()));
    char path[64];
    std::snprintf(path, sizeof path, "mem:/%llu.%zu",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(archive.data())),
                  archive.size());
    expect(manager->mountArchive(path, "fuzz:"));
    {
        std::unique_ptr<mt::file::File> file(manager->openFile("fuzz:/stream.bin", 1, 0));
        expect(file != nullptr && file->getSize() == plain.size());
        mt::FileInputStream source(file.get(), mt::STREAM_NOT_OWNER);
        drive(source);
    }
    manager->unmountArchive("fuzz:");
    manager->unregisterMemoryBlock(archive.data());
    return 0;
}

}  // namespace fuzzing
