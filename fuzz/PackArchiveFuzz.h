#pragma once
// Opens bytes as a pack archive and reads everything it offers: every member in pieces, with seeks, whole
// in one call and after preload, the member list, and directory listings, through a mount of the file
// manager. Every road to a member must give the same bytes, never more than its size. Shared by the
// libFuzzer target and by the test that replays its corpus.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "mt/file/FileManagerImpl.h"
#include "mt/file/FilePackFile.h"
#include "mt/file/PackArchive.h"
#include "mt/file/PackWriter.h"
#include "mt/xml/XmlElement.h"

namespace fuzzing {

// Members larger than this are read only in part, so that one input cannot make a run inflate for long.
constexpr int32_t PACK_READ_LIMIT = 1 << 18;
// Members checked in one archive at most.
constexpr int32_t PACK_CHECKED_MEMBERS = 512;

// The first broken promise of a run; empty while every check held.
class PackFindings {
  public:
    void check(bool holds, const std::string& what) {
        if (!holds && first.empty())
            first = what;
    }
    const std::string& result() const { return first; }

  private:
    std::string first;
};

// Reads a member from where it stands to the end (or the limit) in pieces of changing size.
inline std::string readInPieces(mt::file::File* file, PackFindings& findings) {
    std::string out;
    static uint8_t buffer[4096];
    int64_t start = file->tell();
    int32_t chunk = 1;
    for (int32_t got;
         static_cast<int32_t>(out.size()) < PACK_READ_LIMIT && (got = file->read(buffer, chunk)) > 0;) {
        findings.check(got <= chunk, "a read returned more than asked");
        out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(got));
        findings.check(file->tell() == start + static_cast<int64_t>(out.size()),
                       "tell() differs from the bytes read");
        chunk = chunk * 3 % 4093 + 1;
    }
    findings.check(start + static_cast<int64_t>(out.size()) <= file->getSize(),
                   "a member gave more than its size");
    return out;
}

// Two reads of the same member agree: a damaged stream may end at different points on different roads
// through the inflater (the output room of each call decides where the error shows), but the bytes that
// both delivered are the same; a member that reads whole on one road reads whole on every road.
inline bool agree(const std::string& a, const std::string& b, bool whole) {
    if (whole)
        return a == b;
    size_t common = std::min(a.size(), b.size());
    return a.compare(0, common, b, 0, common) == 0;
}

// Every road through one member gives the same bytes.
inline void checkMember(mt::file::PackArchive& archive, uint32_t hash, PackFindings& findings) {
    std::unique_ptr<mt::file::FilePackFile> member(archive.findHash(hash));
    if (!member)
        return;
    int32_t size = member->getSize();
    std::string pieces = readInPieces(member.get(), findings);
    if (size > PACK_READ_LIMIT)
        return;
    findings.check(member->isEof() == (member->tell() >= size), "isEof() disagrees with the position");

    // In one call from a fresh file: the other road through the inflater.
    std::unique_ptr<mt::file::FilePackFile> once(archive.findHash(hash));
    std::string whole(static_cast<size_t>(size) + 1, '\0');
    int32_t got = once ? once->read(whole.data(), size) : 0;
    whole.resize(static_cast<size_t>(std::max(got, 0)));
    bool sound = got == size;
    findings.check(agree(whole, pieces, sound), "a member read whole differs from the member read in pieces");

    // Back to places already read: the same bytes again.
    uint8_t byte = 0;
    if (!pieces.empty()) {
        member->seek(-1, mt::file::ORIGIN_END);
        findings.check(member->read(&byte, 1) <= 1, "a read returned more than asked");
        int32_t middle = static_cast<int32_t>(pieces.size() / 2);
        member->seek(middle, mt::file::ORIGIN_START);
        std::string again = readInPieces(member.get(), findings);
        findings.check(
            agree(again,
                  whole.size() > static_cast<size_t>(middle) ? whole.substr(static_cast<size_t>(middle))
                                                             : std::string(),
                  sound),
            "a seek back reads other bytes");
    }

    // Preloaded (plain members keep their bytes in memory).
    std::unique_ptr<mt::file::FilePackFile> preloaded(archive.findHash(hash));
    if (preloaded) {
        preloaded->seek(0, mt::file::ORIGIN_START);
        preloaded->preload();
        findings.check(agree(readInPieces(preloaded.get(), findings), whole, sound),
                       "a preloaded member reads other bytes");
    }
}

// Returns the first broken promise, or an empty text.
inline std::string checkPackArchive(const uint8_t* data, size_t size) {
    static mt::file::FileManagerImpl* manager = new mt::file::FileManagerImpl();
    PackFindings findings;
    if (size > INT32_MAX)
        return findings.result();
    manager->registerMemoryBlock(data, static_cast<int32_t>(size));
    char path[64];
    std::snprintf(path, sizeof path, "mem:/%llu.%zu",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(data)), size);
    if (manager->mountArchive(path, "fuzz:")) {
        mt::file::PackArchive* archive = manager->getArchive("fuzz:");
        // Every member of small archives; of large ones the first and the last, which bounds the time of one
        // run while the mount still reads the whole directory.
        int32_t count = archive->getEntryCount();
        for (int32_t i = 0; i < count; ++i) {
            if (i < PACK_CHECKED_MEMBERS / 2 || count - i <= PACK_CHECKED_MEMBERS / 2)
                checkMember(*archive, archive->entryAt(i).nameHash, findings);
        }
        std::vector<mt::String> names = archive->readNameList();
        // By name through the manager: only names the archive has, so that nothing reaches the host; the
        // manager must give what the archive gives.
        for (size_t i = 0; i < names.size() && i < 64; ++i) {
            uint32_t hash = mt::file::packLookupHash(names[i]);
            const mt::file::PackEntry* entry = archive->findEntry(hash);
            if (!entry || !entry->sound || entry->size > PACK_READ_LIMIT ||
                static_cast<int32_t>(std::strlen(names[i].cstr())) != names[i].length()) {
                continue;
            }
            mt::String memberPath("fuzz:/");
            memberPath.append(names[i]);
            std::unique_ptr<mt::file::File> file(manager->openFile(memberPath, 1, 0));
            std::unique_ptr<mt::file::FilePackFile> direct(archive->findHash(hash));
            findings.check((file != nullptr) == (direct != nullptr), "the manager and the archive disagree");
            if (file && direct) {
                std::string byName = readInPieces(file.get(), findings);
                std::string byHash = readInPieces(direct.get(), findings);
                findings.check(agree(byName, byHash, byHash.size() == static_cast<size_t>(entry->size)),
                               "a member read by name through the manager gives other bytes");
            }
        }
        mt::XmlElement root;
        manager->listDirectory("fuzz:/", &root, true);
        manager->listDirectory("fuzz:/*/*.png", &root, false);
        manager->unmountArchive("fuzz:");
    }
    manager->unregisterMemoryBlock(data);
    return findings.result();
}

// ---- the writer against the reader ----

// What the writer is given: options, then members as a name and content each.
struct PackWriterInput {
    bool compress = true;
    int level = 6;
    bool writeList = true;
    std::vector<std::pair<std::string, std::string>> members;
};

// Options byte (bit 0 compress, bit 1 list, bits 4-7 level), then per member: a name length byte (255: three
// more bytes, little-endian, give it), the name, three length bytes (little-endian) and the content. Lengths
// are cut to the bytes present.
inline PackWriterInput parsePackWriterInput(const uint8_t* data, size_t size) {
    PackWriterInput input;
    if (size == 0)
        return input;
    input.compress = data[0] & 1;
    input.writeList = data[0] & 2;
    input.level = (data[0] >> 4) % 10;
    size_t at = 1;
    auto take = [&](size_t wanted) {
        size_t n = std::min(wanted, size - at);
        std::string out(reinterpret_cast<const char*>(data + at), n);
        at += n;
        return out;
    };
    auto number = [&](int bytes) {
        size_t value = 0;
        for (int i = 0; i < bytes && at < size; ++i)
            value |= static_cast<size_t>(data[at++]) << (8 * i);
        return value;
    };
    while (at < size) {
        size_t nameLength = number(1);
        if (nameLength == 255)
            nameLength = number(3);
        std::string name = take(nameLength);
        std::string content = take(number(3));
        input.members.emplace_back(std::move(name), std::move(content));
    }
    return input;
}

inline std::string readWhole(mt::file::File* file) {
    std::string out;
    char buffer[65536];
    for (int32_t got; (got = file->read(buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(got));
    return out;
}

// The writer check needs a private folder (mkdtemp) and POSIX file calls, so it is built on POSIX hosts only.
#ifndef _WIN32
// A folder of this process for the archives the writer makes, removed when the process ends.
inline const std::string& packWriterFolder() {
    struct Folder {
        Folder() {
            std::string base = std::filesystem::exists("/dev/shm")
                                   ? std::string("/dev/shm")
                                   : std::filesystem::temp_directory_path().string();
            std::string pattern = base + "/pack-writer-fuzz-XXXXXX";
            made = mkdtemp(pattern.data()) != nullptr;
            if (made)
                path = pattern;
        }
        ~Folder() {
            std::error_code ignored;
            if (made)
                std::filesystem::remove_all(path, ignored);
        }
        bool made = false;
        std::string path = ".";
    };
    static const Folder folder;
    return folder.path;
}

// Writes the members with the writer and reads the archive back through the archive and the file manager:
// every member the writer took reads back as it was given, under its name in any case and either kind of
// slash; a name is refused only when it is empty, too long, cannot be looked up, or is looked up as a name
// already taken. Returns the first broken promise, or an empty text.
inline std::string checkPackWriter(const uint8_t* data, size_t size) {
    static mt::file::FileManagerImpl* manager = new mt::file::FileManagerImpl();
    PackFindings findings;
    PackWriterInput input = parsePackWriterInput(data, size);
    mt::file::PackWriter writer(input.compress, input.level, input.writeList);
    std::vector<const std::pair<std::string, std::string>*> stored;
    std::vector<uint32_t> taken;
    if (input.writeList)
        taken.push_back(mt::file::packNameHash(mt::file::PACK_LIST_NAME));
    for (const auto& member : input.members) {
        const std::string& name = member.first;
        mt::String text(name.data(), static_cast<int32_t>(name.size()));
        uint32_t hash = mt::file::packLookupHash(text);
        bool unusable = name.empty() || name.size() > 0xFFFF || (name.size() <= 2 && name[0] == '.');
        bool clash = std::find(taken.begin(), taken.end(), hash) != taken.end();
        bool accepted =
            writer.addMember(text, member.second.data(), static_cast<int64_t>(member.second.size()));
        findings.check(accepted == !(unusable || clash),
                       "the writer refused a name it can store, or took one it cannot");
        findings.check(accepted || !writer.getError().empty(), "a refusal without a reason");
        if (accepted) {
            stored.push_back(&member);
            taken.push_back(hash);
        }
    }
    std::string path = packWriterFolder() + "/written.pak";
    findings.check(writer.write(path.c_str()), "the writer failed: " + writer.getError());
    if (!findings.result().empty())
        return findings.result();

    mt::file::PackArchive archive(nullptr);
    findings.check(archive.open(path.c_str()), "the written archive does not open");
    findings.check(archive.getEntryCount() == static_cast<int32_t>(stored.size()) + (input.writeList ? 1 : 0),
                   "the archive holds another number of members");
    if (input.writeList) {
        std::vector<mt::String> names = archive.readNameList();
        bool same = names.size() == stored.size();
        for (size_t i = 0; same && i < names.size(); ++i)
            same = std::string(names[i].cstr(), static_cast<size_t>(names[i].length())) == stored[i]->first;
        findings.check(same, "the member list differs from the names written");
    }
    for (const auto* member : stored) {
        std::string name = member->first;
        std::unique_ptr<mt::file::FilePackFile> file(
            archive.find(mt::String(name.data(), static_cast<int32_t>(name.size()))));
        findings.check(file && readWhole(file.get()) == member->second, "a member reads back other bytes");
        // Another spelling of the name: ASCII letters in the other case, '/' and '\\' swapped.
        std::string other = name;
        for (char& c : other) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            else if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
            else if (c == '/')
                c = '\\';
            else if (c == '\\')
                c = '/';
        }
        file.reset(archive.find(mt::String(other.data(), static_cast<int32_t>(other.size()))));
        findings.check(file && file->getSize() == static_cast<int32_t>(member->second.size()),
                       "another spelling of a name finds another member");
    }
    // Through the file manager, as the programs open members (names without a zero byte: paths are texts).
    if (manager->mountArchive(path.c_str(), "pak:")) {
        for (const auto* member : stored) {
            if (member->first.find('\0') != std::string::npos)
                continue;
            mt::String memberPath("pak:/");
            memberPath.append(member->first.c_str());
            std::unique_ptr<mt::file::File> file(manager->openFile(memberPath, 1, 0));
            findings.check(file && file->isPacked() && readWhole(file.get()) == member->second,
                           "a member read through the file manager gives other bytes");
        }
        manager->unmountArchive("pak:");
    } else {
        findings.check(false, "the written archive does not mount");
    }
    ::unlink(path.c_str());
    return findings.result();
}
#endif

}  // namespace fuzzing
