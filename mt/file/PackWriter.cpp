#include "mt/file/PackWriter.h"

#include <zlib.h>

#include <cstdio>
#include <memory>

#include "mt/file/PackArchive.h"
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

// Closes and, unless kept, deletes a partly written archive.
struct OutputFile {
    platform::HostFile* file = nullptr;
    std::string path;
    bool keep = false;
    ~OutputFile() {
        platform::hostFileClose(file);
        if (!keep && !path.empty())
            platform::hostDeleteFile(path.c_str());
    }
};

}  // namespace

PackWriter::PackWriter(bool compress, int level, bool writeList)
    : compress(compress), level(level), writeList(writeList) {}

bool PackWriter::accept(const String& name) {
    if (name.length() == 0 || name.length() > 0xFFFF) {
        error = "member name is empty or longer than 65535 bytes";
        return false;
    }
    uint32_t hash = packNameHash(name);
    std::string text(name.cstr(), static_cast<size_t>(name.length()));
    if (writeList && hash == packNameHash(PACK_LIST_NAME)) {
        error = "'" + text + "' has the same hash (" + hashText(hash) + ") as the member list '" +
                PACK_LIST_NAME + "'";
        return false;
    }
    for (const Member& member : members) {
        if (member.hash == hash) {
            error = "'" + member.name + "' and '" + text + "' have the same hash " + hashText(hash);
            return false;
        }
    }
    Member member;
    member.name = text;
    member.hash = hash;
    members.push_back(std::move(member));
    return true;
}

bool PackWriter::addMember(const String& name, const void* bytes, int64_t size) {
    if (size < 0 || size > INT32_MAX || (size > 0 && !bytes)) {
        error = "member '" + std::string(name.cstr()) + "' is larger than 2 GiB";
        return false;
    }
    if (!accept(name))
        return false;
    const auto* first = static_cast<const uint8_t*>(bytes);
    members.back().bytes.assign(first, first + size);
    return true;
}

bool PackWriter::addFile(const String& name, const String& hostPath, bool deflate) {
    if (!accept(name))
        return false;
    members.back().hostPath = hostPath.cstr();
    members.back().deflate = deflate;
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
    bool ok = size >= 0 && size <= INT32_MAX;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = platform::hostFileRead(file, bytes.data(), size) == size;
    }
    platform::hostFileClose(file);
    if (!ok)
        error = "cannot read '" + member.hostPath + "' whole (or it is larger than 2 GiB)";
    return ok;
}

bool PackWriter::write(const String& archivePath) {
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

    OutputFile out;
    out.file = platform::hostFileOpen(archivePath.cstr(), platform::HOST_FILE_WRITE);
    if (!out.file) {
        error = "cannot create '" + std::string(archivePath.cstr()) + "'";
        return false;
    }
    out.path = platform::hostPath(archivePath.cstr());

    // Header and directory first (filled in at the end), member data after them.
    int64_t directorySize = 4 + static_cast<int64_t>(PACK_ENTRY_SIZE) * static_cast<int64_t>(order.size());
    std::vector<uint8_t> head(static_cast<size_t>(8 + directorySize), 0);
    putLittle32(head.data(), PACK_MAGIC);
    putLittle32(head.data() + 4, static_cast<uint32_t>(directorySize));
    putLittle32(head.data() + 8, static_cast<uint32_t>(order.size()));
    if (platform::hostFileWrite(out.file, head.data(), static_cast<int64_t>(head.size())) !=
        static_cast<int64_t>(head.size())) {
        error = "cannot write '" + out.path + "'";
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
        if (platform::hostFileWrite(out.file, stored->data(), storedSize) != storedSize) {
            error = "cannot write '" + out.path + "'";
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

    if (!platform::hostFileSeek(out.file, 0, platform::HOST_SEEK_START) ||
        platform::hostFileWrite(out.file, head.data(), static_cast<int64_t>(head.size())) !=
            static_cast<int64_t>(head.size()) ||
        !platform::hostFileFlush(out.file)) {
        error = "cannot write '" + out.path + "'";
        return false;
    }
    out.keep = true;
    if (progress)
        progress(static_cast<int64_t>(order.size()), static_cast<int64_t>(order.size()), "");
    return true;
}

}  // namespace mt::file
