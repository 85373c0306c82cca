#include "mt/file/PackWriter.h"

#include <zlib.h>

#include <cstdio>
#include <memory>
#include <new>

#include "mt/file/PackArchive.h"
#include "platform/FileReplace.h"
#include "platform/HostFile.h"

namespace mt::file {

namespace {

void putLittle32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

std::string hashText(uint32_t hash) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", hash);
    return text;
}

}  // namespace

PackWriter::PackWriter(bool compress, int level, bool writeList)
    : compress(compress), level(level), writeList(writeList) {}

bool PackWriter::accept(const String& name) {
    std::string text(name.cstr(), static_cast<size_t>(name.length()));
    if (name.length() == 0 || name.length() > 0xFFFF) {
        error = "member name is empty or longer than 65535 bytes";
        return false;
    }
    // Stored under the hash that a lookup of the name computes, so that the name finds its member also when
    // it starts with '.' (a lookup then drops its first two characters).
    uint32_t hash = packLookupHash(name);
    if (name.length() <= 2 && *name.charPtrAt(0) == '.') {
        error = "member name '" + text +
                "' cannot be looked up: a name that starts with '.' loses its first " +
                "two characters on lookup";
        return false;
    }
    if (writeList && hash == packNameHash(PACK_LIST_NAME)) {
        error = "'" + text + "' has the same hash (" + hashText(hash) + ") as the member list '" +
                PACK_LIST_NAME + "'";
        return false;
    }
    auto taken = memberByHash.find(hash);
    if (taken != memberByHash.end()) {
        error =
            "'" + members[taken->second].name + "' and '" + text + "' have the same hash " + hashText(hash);
        return false;
    }
    Member member;
    member.name = text;
    member.hash = hash;
    members.push_back(std::move(member));
    try {
        memberByHash.emplace(hash, members.size() - 1);
    } catch (const std::bad_alloc&) {
        members.pop_back();
        throw;
    }
    return true;
}

void PackWriter::forgetLastMember() {
    memberByHash.erase(members.back().hash);
    members.pop_back();
}

const std::string& PackWriter::getError() const {
    // Made before any writer runs: reporting a lack of memory must not need memory.
    static const std::string outOfMemoryText = "out of memory";
    return outOfMemory ? outOfMemoryText : error;
}

bool PackWriter::addMember(const String& name, const void* bytes, int64_t size) {
    outOfMemory = false;
    bool added = false;
    try {
        if (size < 0 || size > INT32_MAX || (size > 0 && !bytes)) {
            error = "member '" + std::string(name.cstr()) + "' is larger than 2 GiB";
            return false;
        }
        if (!accept(name))
            return false;
        added = true;
        const auto* first = static_cast<const uint8_t*>(bytes);
        members.back().bytes.assign(first, first + size);
    } catch (const std::bad_alloc&) {
        if (added)
            forgetLastMember();
        outOfMemory = true;
        return false;
    }
    return true;
}

bool PackWriter::addFile(const String& name, const String& hostPath, bool deflate) {
    outOfMemory = false;
    bool added = false;
    try {
        if (!accept(name))
            return false;
        added = true;
        members.back().hostPath = hostPath.cstr();
        members.back().deflate = deflate;
    } catch (const std::bad_alloc&) {
        if (added)
            forgetLastMember();
        outOfMemory = true;
        return false;
    }
    return true;
}

bool PackWriter::loadMember(const Member& member, std::vector<uint8_t>& bytes) {
    if (member.hostPath.empty()) {
        bytes = member.bytes;
        return true;
    }
    platform::HostFile* file = platform::hostFileOpen(member.hostPath.c_str(), platform::HOST_FILE_READ);
    if (!file) {
        error = "cannot read '" + member.hostPath + "'";
        return false;
    }
    int64_t size = platform::hostFileSize(file);
    bool ok = false;
    if (size < 0) {
        error = "cannot read '" + member.hostPath + "'";
    } else if (size > INT32_MAX) {
        error = "'" + member.hostPath + "' is larger than 2 GiB";
    } else {
        std::unique_ptr<platform::HostFile, void (*)(platform::HostFile*)> closer(file,
                                                                                  platform::hostFileClose);
        file = nullptr;
        bytes.resize(static_cast<size_t>(size));
        ok = platform::hostFileRead(closer.get(), bytes.data(), size) == size;
        if (!ok)
            error = "cannot read '" + member.hostPath + "' whole";
    }
    platform::hostFileClose(file);
    return ok;
}

bool PackWriter::write(const String& archivePath) {
    outOfMemory = false;
    try {
        return writeArchive(archivePath);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;
        return false;
    }
}

bool PackWriter::refuseArchiveAsInput(const String& archivePath) {
    platform::HostFileIdentity archive;
    if (!platform::hostFileIdentity(archivePath.cstr(), archive))
        return false;
    for (const Member& member : members) {
        platform::HostFileIdentity input;
        if (!member.hostPath.empty() && platform::hostFileIdentity(member.hostPath.c_str(), input) &&
            input == archive) {
            error = "'" + member.hostPath + "' is the archive '" + archivePath.cstr() + "' itself";
            return true;
        }
    }
    return false;
}

bool PackWriter::writeArchive(const String& archivePath) {
    if (refuseArchiveAsInput(archivePath))
        return false;
    std::vector<const Member*> order;
    for (const Member& member : members)
        order.push_back(&member);
    Member list;
    if (writeList) {
        list.name = PACK_LIST_NAME;
        list.hash = packNameHash(PACK_LIST_NAME);
        uint8_t count[4];
        putLittle32(count, static_cast<uint32_t>(members.size()));
        list.bytes.assign(count, count + 4);
        for (const Member& member : members) {
            list.bytes.push_back(static_cast<uint8_t>(member.name.size()));
            list.bytes.push_back(static_cast<uint8_t>(member.name.size() >> 8));
            list.bytes.insert(list.bytes.end(), member.name.begin(), member.name.end());
        }
        order.push_back(&list);
    }

    // A new file beside the archive, renamed over it only when complete: a failure leaves the old archive.
    platform::ReplacementFile out;
    std::string outPath = platform::hostPath(archivePath.cstr());
    if (!out.begin(archivePath.cstr())) {
        error = "cannot create '" + outPath + "'";
        return false;
    }

    // Header and directory first (filled in at the end), member data after them.
    int64_t directorySize = 4 + static_cast<int64_t>(PACK_ENTRY_SIZE) * static_cast<int64_t>(order.size());
    if (8 + directorySize > INT32_MAX) {
        error = "the archive would be larger than 2 GiB";
        return false;
    }
    std::vector<uint8_t> head(static_cast<size_t>(8 + directorySize), 0);
    putLittle32(head.data(), PACK_MAGIC);
    putLittle32(head.data() + 4, static_cast<uint32_t>(directorySize));
    putLittle32(head.data() + 8, static_cast<uint32_t>(order.size()));
    if (!out.write(head.data(), head.size())) {
        error = "cannot write '" + outPath + "'";
        return false;
    }
    int64_t offset = static_cast<int64_t>(head.size());

    std::vector<uint8_t> bytes, packed;
    for (size_t i = 0; i < order.size(); ++i) {
        if (progress)
            progress(static_cast<int64_t>(i), static_cast<int64_t>(order.size()), order[i]->name.c_str());
        if (!loadMember(*order[i], bytes))
            return false;
        const std::vector<uint8_t>* stored = &bytes;
        uint8_t flags = 0;
        if (compress && order[i]->deflate && !bytes.empty()) {
            uLongf packedSize = compressBound(static_cast<uLong>(bytes.size()));
            packed.resize(packedSize);
            if (compress2(packed.data(), &packedSize, bytes.data(), static_cast<uLong>(bytes.size()),
                          level) == Z_OK &&
                packedSize < bytes.size()) {
                packed.resize(packedSize);
                stored = &packed;
                flags = PACK_FLAG_COMPRESSED;
            }
        }
        int64_t storedSize = static_cast<int64_t>(stored->size());
        if (offset + storedSize > INT32_MAX) {
            error = "the archive would be larger than 2 GiB";
            return false;
        }
        if (!out.write(stored->data(), stored->size())) {
            error = "cannot write '" + outPath + "'";
            return false;
        }
        uint8_t* entry = head.data() + 12 + PACK_ENTRY_SIZE * i;
        putLittle32(entry, order[i]->hash);
        putLittle32(entry + 4, static_cast<uint32_t>(storedSize));
        putLittle32(entry + 8, static_cast<uint32_t>(bytes.size()));
        entry[12] = flags;
        putLittle32(entry + 13, static_cast<uint32_t>(offset));
        offset += storedSize;
    }

    if (!out.writeAt(0, head.data(), head.size()) || !out.commit()) {
        error = "cannot write '" + outPath + "'";
        return false;
    }
    if (progress)
        progress(static_cast<int64_t>(order.size()), static_cast<int64_t>(order.size()), "");
    return true;
}

}  // namespace mt::file
