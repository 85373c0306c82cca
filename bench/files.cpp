// Reading through the file manager: 2,000 small archive members by path against the same files on disk and
// against PhysicsFS reading an equivalent ZIP archive; one 64 MiB stored member against fread, and one 64 MiB
// deflated member against zlib's inflate over the same stream; mounting an archive of 1,000, 10,000 and
// 100,000 members and opening one of them, whose cost per member should not grow with the count.
#include <benchmark/benchmark.h>
#include <physfs.h>
#include <stdlib.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mt/file/FileManagerImpl.h"
#include "mt/file/PackArchive.h"
#include "mt/file/PackWriter.h"

namespace {

constexpr int SMALL_COUNT = 2000;
constexpr int64_t LARGE_SIZE = 64ll << 20;

std::string text(size_t size, unsigned seed) {
    std::string out;
    out.reserve(size + 64);
    unsigned state = seed * 2654435761u + 1;
    while (out.size() < size) {
        state = state * 1103515245u + 12345u;
        out += "entry " + std::to_string(state % 5000) + " of the sample data, value " +
               std::to_string(state >> 20) + "\n";
    }
    out.resize(size);
    return out;
}

std::string noise(size_t size, unsigned seed) {
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

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v));
    out.push_back(static_cast<char>(v >> 8));
}
void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::string rawDeflate(const std::string& bytes) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A ZIP archive with the same members, deflated exactly where the pack archive deflates them.
void writeZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members,
              const std::vector<bool>& deflated) {
    std::string out, central;
    for (size_t i = 0; i < members.size(); ++i) {
        const auto& [name, bytes] = members[i];
        std::string stored = deflated[i] ? rawDeflate(bytes) : bytes;
        uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
        uint32_t offset = static_cast<uint32_t>(out.size());
        uint16_t method = deflated[i] ? 8 : 0;
        put32(out, 0x04034b50);
        put16(out, 20), put16(out, 0), put16(out, method), put16(out, 0), put16(out, 0x21);
        put32(out, crc), put32(out, static_cast<uint32_t>(stored.size())),
            put32(out, static_cast<uint32_t>(bytes.size()));
        put16(out, static_cast<uint32_t>(name.size())), put16(out, 0);
        out += name + stored;
        put32(central, 0x02014b50);
        put16(central, 20), put16(central, 20), put16(central, 0), put16(central, method), put16(central, 0),
            put16(central, 0x21);
        put32(central, crc), put32(central, static_cast<uint32_t>(stored.size())),
            put32(central, static_cast<uint32_t>(bytes.size()));
        put16(central, static_cast<uint32_t>(name.size())), put16(central, 0), put16(central, 0),
            put16(central, 0), put16(central, 0);
        put32(central, 0), put32(central, offset);
        central += name;
    }
    uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0), put16(out, 0), put16(out, static_cast<uint32_t>(members.size())),
        put16(out, static_cast<uint32_t>(members.size()));
    put32(out, static_cast<uint32_t>(central.size())), put32(out, centralOffset), put16(out, 0);
    writeFile(path, out);
}

struct Fixture {
    std::string root;
    std::vector<std::string> names;
    std::unique_ptr<mt::file::FileManager> manager;
    std::vector<char> buffer;
    std::string largeStream;  // the deflated large member's zlib stream

    Fixture() {
        char pattern[] = "/tmp/mt-bench-files-XXXXXX";
        root = mkdtemp(pattern);
        std::vector<std::pair<std::string, std::string>> members;
        std::vector<bool> deflated;
        mt::file::PackWriter writer(true, 6);
        for (int i = 0; i < SMALL_COUNT; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "dir%02d/file%04d.bin", i % 40, i);
            size_t size = 1024 + static_cast<size_t>((i * 7919) % (15 * 1024 + 1));
            std::string bytes =
                i % 2 ? text(size, static_cast<unsigned>(i)) : noise(size, static_cast<unsigned>(i));
            names.push_back(name);
            writeFile(root + "/files/" + name, bytes);
            writer.addMember(name, bytes.data(), static_cast<int64_t>(bytes.size()));
            members.emplace_back(name, bytes);
            deflated.push_back(i % 2 == 1);
        }
        writer.write((root + "/small.pak").c_str());
        writeZip(root + "/small.zip", members, deflated);

        std::string large = noise(LARGE_SIZE, 99);
        writeFile(root + "/large.bin", large);
        mt::file::PackWriter stored(false);
        stored.addMember("large.bin", large.data(), LARGE_SIZE);
        stored.write((root + "/large.pak").c_str());
        large = text(LARGE_SIZE, 7);
        mt::file::PackWriter packed(true, 6);
        packed.addMember("text.bin", large.data(), LARGE_SIZE);
        packed.write((root + "/text.pak").c_str());

        manager.reset(mt::file::createFileManager());
        manager->mountArchive((root + "/small.pak").c_str(), "small:");
        manager->mountArchive((root + "/large.pak").c_str(), "large:");
        manager->mountArchive((root + "/text.pak").c_str(), "text:");
        manager->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
        buffer.resize(LARGE_SIZE);

        mt::file::PackArchive archive(nullptr);
        archive.open((root + "/text.pak").c_str());
        const mt::file::PackEntry* entry = archive.findEntry(mt::file::packNameHash("text.bin"));
        largeStream.resize(static_cast<size_t>(entry->storedSize));
        archive.readAt(static_cast<int32_t>(entry->offset), largeStream.data(), entry->storedSize, 0);

        PHYSFS_init(nullptr);
        PHYSFS_mount((root + "/small.zip").c_str(), nullptr, 1);
    }
    ~Fixture() {
        PHYSFS_deinit();
        manager.reset();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

void SmallMembersThroughFileManager(benchmark::State& state) {
    Fixture& f = fixture();
    int64_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& name : f.names) {
            mt::file::File* file = f.manager->openFile(name.c_str(), 1, 0);
            bytes += file->read(f.buffer.data(), file->getSize());
            delete file;
        }
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * SMALL_COUNT);
}

void SmallMembersThroughPhysicsFS(benchmark::State& state) {
    Fixture& f = fixture();
    int64_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& name : f.names) {
            PHYSFS_File* file = PHYSFS_openRead(name.c_str());
            bytes +=
                PHYSFS_readBytes(file, f.buffer.data(), static_cast<PHYSFS_uint64>(PHYSFS_fileLength(file)));
            PHYSFS_close(file);
        }
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * SMALL_COUNT);
}

void SmallFilesFromDiskWithFread(benchmark::State& state) {
    Fixture& f = fixture();
    int64_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& name : f.names) {
            FILE* file = std::fopen((f.root + "/files/" + name).c_str(), "rb");
            bytes += static_cast<int64_t>(std::fread(f.buffer.data(), 1, 16 * 1024, file));
            std::fclose(file);
        }
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * SMALL_COUNT);
}

void SmallFilesFromDiskThroughFileManager(benchmark::State& state) {
    Fixture& f = fixture();
    int64_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& name : f.names) {
            mt::file::File* file = f.manager->openFile((f.root + "/files/" + name).c_str(), 1, 0);
            bytes += file->read(f.buffer.data(), file->getSize());
            delete file;
        }
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * SMALL_COUNT);
}

void LargeStoredMember(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        mt::file::File* file = f.manager->openFile("large.bin", 1, 0);
        if (file->read(f.buffer.data(), file->getSize()) != LARGE_SIZE)
            state.SkipWithError("short read");
        delete file;
    }
    state.SetBytesProcessed(state.iterations() * LARGE_SIZE);
}

void LargeFileWithFread(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        FILE* file = std::fopen((f.root + "/large.bin").c_str(), "rb");
        if (std::fread(f.buffer.data(), 1, LARGE_SIZE, file) != LARGE_SIZE)
            state.SkipWithError("short read");
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * LARGE_SIZE);
}

void LargeDeflatedMember(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        mt::file::File* file = f.manager->openFile("text.bin", 1, 0);
        if (file->read(f.buffer.data(), file->getSize()) != LARGE_SIZE)
            state.SkipWithError("short read");
        delete file;
    }
    state.SetBytesProcessed(state.iterations() * LARGE_SIZE);
}

void LargeStreamWithZlibInflate(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        z_stream stream{};
        inflateInit(&stream);
        stream.next_in = reinterpret_cast<Bytef*>(f.largeStream.data());
        stream.avail_in = static_cast<uInt>(f.largeStream.size());
        stream.next_out = reinterpret_cast<Bytef*>(f.buffer.data());
        stream.avail_out = static_cast<uInt>(LARGE_SIZE);
        if (inflate(&stream, Z_FINISH) != Z_STREAM_END || stream.total_out != LARGE_SIZE)
            state.SkipWithError("short");
        inflateEnd(&stream);
    }
    state.SetBytesProcessed(state.iterations() * LARGE_SIZE);
}

// Archives of many tiny stored members, one per member count, made on first use and removed at exit.
class ManyMemberArchives {
  public:
    ManyMemberArchives() {
        char pattern[] = "/tmp/mt-bench-many-XXXXXX";
        root = mkdtemp(pattern);
    }
    ~ManyMemberArchives() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    const std::string& archive(int count) {
        auto found = made.find(count);
        if (found != made.end())
            return found->second;
        mt::file::PackWriter writer(false);
        for (int i = 0; i < count; ++i) {
            std::string content = "member " + std::to_string(i);
            writer.addMember(memberName(i).c_str(), content.data(), static_cast<int64_t>(content.size()));
        }
        std::string path = root + "/many" + std::to_string(count) + ".pak";
        writer.write(path.c_str());
        return made[count] = path;
    }
    static std::string memberName(int index) {
        char name[64];
        std::snprintf(name, sizeof name, "dir%03d/member%06d.txt", index % 500, index);
        return name;
    }

  private:
    std::string root;
    std::map<int, std::string> made;
};

void MountAndOpenOneMember(benchmark::State& state) {
    static ManyMemberArchives archives;
    int count = static_cast<int>(state.range(0));
    const std::string& path = archives.archive(count);
    std::string wanted = "many:/" + ManyMemberArchives::memberName(count / 2);
    std::string expected = "member " + std::to_string(count / 2);
    std::unique_ptr<mt::file::FileManager> manager(mt::file::createFileManager());
    char buffer[64];
    for (auto _ : state) {
        if (!manager->mountArchive(path.c_str(), "many:")) {
            state.SkipWithError("mount failed");
            break;
        }
        std::unique_ptr<mt::file::File> file(manager->openFile(wanted.c_str(), 1, 0));
        if (!file || file->read(buffer, sizeof buffer) != static_cast<int32_t>(expected.size())) {
            state.SkipWithError("member not read");
            break;
        }
        file.reset();
        manager->unmountArchive("many:");
    }
    // Members per second, and the time per member (flat when mounting is linear in the member count).
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["time_per_member"] =
        benchmark::Counter(static_cast<double>(count),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(SmallMembersThroughFileManager)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallMembersThroughPhysicsFS)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallFilesFromDiskWithFread)->Unit(benchmark::kMillisecond);
BENCHMARK(SmallFilesFromDiskThroughFileManager)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeStoredMember)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeFileWithFread)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeDeflatedMember)->Unit(benchmark::kMillisecond);
BENCHMARK(LargeStreamWithZlibInflate)->Unit(benchmark::kMillisecond);
BENCHMARK(MountAndOpenOneMember)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
