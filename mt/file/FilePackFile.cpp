#include "mt/file/FilePackFile.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>

#include "mt/file/PackStorage.h"

namespace mt::file {

namespace {
uint8_t* allocateContent(int32_t size) {
    void* memory = nullptr;
    // At least one cache line, so that an empty member still has a buffer.
    size_t bytes = std::max<size_t>(static_cast<size_t>(size), 64);
    return posix_memalign(&memory, 64, bytes) == 0 ? static_cast<uint8_t*>(memory) : nullptr;
}
}  // namespace

FilePackFile::FilePackFile(std::shared_ptr<PackStorage> storage, const PackEntry& entry)
    : storage(std::move(storage)),
      entry(entry),
      content(nullptr),
      position(0),
      consumed(0),
      contentStart(0),
      contentLength(0),
      direct(entry.flags == 0),
      inflaterReady(false),
      inflateFinished(false),
      inflater{} {}

FilePackFile::~FilePackFile() {
    if (inflaterReady)
        inflateEnd(&inflater);
    free(content);
}

bool FilePackFile::init() {
    if (!entry.sound || !storage)
        return false;
    if (direct)
        return true;
    if (!(entry.flags & PACK_FLAG_COMPRESSED) || (entry.flags & PACK_FLAG_UNREADABLE_VARIANT))
        return false;
    content = allocateContent(entry.size);
    if (!content)
        return false;
    inflater.zalloc = Z_NULL;
    inflater.zfree = Z_NULL;
    inflater.opaque = Z_NULL;
    inflater.next_in = Z_NULL;
    inflater.avail_in = 0;
    if (inflateInit(&inflater) != Z_OK)
        return false;
    inflaterReady = true;
    inflater.next_out = content;
    inflater.avail_out = static_cast<uInt>(entry.size);
    return true;
}

int32_t FilePackFile::read(void* dst, int32_t n) {
    if (!dst || n <= 0 || position < 0 || position >= entry.size)
        return 0;
    n = std::min(n, entry.size - position);
    return direct ? readDirect(static_cast<uint8_t*>(dst), n) : readCompressed(static_cast<uint8_t*>(dst), n);
}

int32_t FilePackFile::readDirect(uint8_t* dst, int32_t n) {
    int32_t done = 0;
    if (content && position >= contentStart && position < contentStart + contentLength) {
        int32_t k = std::min(n, contentStart + contentLength - position);
        std::memcpy(dst, content + (position - contentStart), static_cast<size_t>(k));
        done = k;
        position += k;
    }
    if (done < n) {
        int32_t got = storage->readAt(static_cast<int64_t>(entry.offset) + position, dst + done, n - done, 0);
        done += got;
        position += got;
    }
    return done;
}

int32_t FilePackFile::readCompressed(uint8_t* dst, int32_t n) {
    while (!inflateFinished && static_cast<int64_t>(inflater.total_out) - position < n) {
        if (inflater.avail_in == 0) {
            int32_t left = entry.storedSize - consumed;
            if (left <= 0) {
                inflateFinished = true;
                break;
            }
            int32_t chunk = std::min(INPUT_CHUNK, left);
            int32_t got = storage->readAt(static_cast<int64_t>(entry.offset) + consumed, input, chunk, left);
            if (got <= 0) {
                inflateFinished = true;
                break;
            }
            consumed += got;
            inflater.next_in = input;
            inflater.avail_in = static_cast<uInt>(got);
        } else if (inflate(&inflater, Z_SYNC_FLUSH) != Z_OK) {
            inflateFinished = true;
        }
    }
    int64_t ready = static_cast<int64_t>(inflater.total_out) - position;
    int32_t count = static_cast<int32_t>(std::clamp<int64_t>(ready, 0, n));
    if (count > 0)
        std::memcpy(dst, content + position, static_cast<size_t>(count));
    position += count;
    return count;
}

uint8_t FilePackFile::readByte() {
    uint8_t byte = 0;
    return read(&byte, 1) == 1 ? byte : 0;
}

bool FilePackFile::seek(int32_t offset, int32_t origin) {
    int64_t target;
    switch (origin) {
        case ORIGIN_START:
            target = offset;
            break;
        case ORIGIN_END:
            target = static_cast<int64_t>(entry.size) + offset;
            break;
        case ORIGIN_CURRENT:
            target = static_cast<int64_t>(position) + offset;
            break;
        default:
            return true;  // any other origin leaves the position
    }
    if (target < 0)
        return false;
    position = static_cast<int32_t>(std::min<int64_t>(target, entry.size));
    return true;
}

void FilePackFile::preload() {
    if (!direct || position >= entry.size)
        return;
    int32_t length = entry.size - position;
    uint8_t* bytes = allocateContent(length);
    if (!bytes)
        return;
    int32_t got = storage->readAt(static_cast<int64_t>(entry.offset) + position, bytes, length, 0);
    free(content);
    content = bytes;
    contentStart = position;
    contentLength = got;
}

}  // namespace mt::file
