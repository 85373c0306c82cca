#pragma once
// Opens bytes as a pack archive and reads everything it offers: every member in pieces with seeks, the
// member list, and directory listings, through a mount of the file manager. Shared by the libFuzzer target
// and by the test that replays its corpus.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "mt/file/FileManagerImpl.h"
#include "mt/file/FilePackFile.h"
#include "mt/file/PackArchive.h"
#include "mt/xml/XmlElement.h"

namespace fuzzing {

inline void readMember(mt::file::File* file) {
    // Enough to reach into large members without inflating every one of them whole.
    constexpr int32_t LIMIT = 1 << 18;
    static uint8_t buffer[4096];
    int32_t total = 0;
    int32_t chunk = 1;
    for (int32_t got; total < LIMIT && (got = file->read(buffer, chunk)) > 0;) {
        total += got;
        chunk = chunk * 3 % 4093 + 1;
    }
    file->seek(0, mt::file::ORIGIN_START);
    file->read(buffer, 16);
    if (file->getSize() <= LIMIT) {
        file->seek(-1, mt::file::ORIGIN_END);
        file->readByte();
        file->preload();
        file->seek(file->getSize() / 2, mt::file::ORIGIN_START);
        file->read(buffer, sizeof buffer);
    }
    file->isEof();
    file->tell();
}

inline int fuzzPackArchive(const uint8_t* data, size_t size) {
    static mt::file::FileManagerImpl* manager = new mt::file::FileManagerImpl();
    if (size > INT32_MAX)
        return 0;
    manager->registerMemoryBlock(data, static_cast<int32_t>(size));
    char path[64];
    std::snprintf(path, sizeof path, "mem:/%llu.%zu",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(data)), size);
    if (manager->mountArchive(path, "fuzz:")) {
        mt::file::PackArchive* archive = manager->getArchive("fuzz:");
        static std::vector<uint8_t> whole;
        for (int32_t i = 0; i < archive->getEntryCount(); ++i) {
            std::unique_ptr<mt::file::FilePackFile> member(archive->findHash(archive->entryAt(i).nameHash));
            if (!member)
                continue;
            readMember(member.get());
            // Read whole in one call, which takes another road through the inflater.
            member.reset(archive->findHash(archive->entryAt(i).nameHash));
            if (member && member->getSize() <= (1 << 18)) {
                whole.resize(static_cast<size_t>(member->getSize()) + 1);
                member->read(whole.data(), member->getSize());
                member->seek(1, mt::file::ORIGIN_START);
                member->read(whole.data(), 1);
            }
        }
        std::vector<mt::String> names = archive->readNameList();
        // By name through the manager: only names the archive has, so that nothing reaches the host.
        for (size_t i = 0; i < names.size() && i < 64; ++i) {
            const mt::file::PackEntry* entry = archive->findEntry(mt::file::packLookupHash(names[i]));
            if (!entry || !entry->sound)
                continue;
            mt::String memberPath("fuzz:/");
            memberPath.append(names[i]);
            std::unique_ptr<mt::file::File> file(manager->openFile(memberPath, 1, 0));
            if (file)
                readMember(file.get());
        }
        mt::XmlElement root;
        manager->listDirectory("fuzz:/", &root, true);
        manager->listDirectory("fuzz:/*/*.png", &root, false);
        manager->unmountArchive("fuzz:");
    }
    manager->unregisterMemoryBlock(data);
    return 0;
}

}  // namespace fuzzing
