#include "mt/file/FilePackFile.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "mt/file/PackStorage.h"
#include "mt/file/WholeInflater.h"

namespace mt::file {

namespace {

constexpr int32_t ZLIB_HEADER_SIZE = 2;

// The header of a zlib stream: deflate with a window of at most 32 KiB, no preset dictionary, check bits
// right.
bool zlibHeaderValid(const uint8_t* header) {
    return (header[0] & 0x0F) == Z_DEFLATED && (header[0] >> 4) <= 7 && (header[1] & 0x20) == 0 &&
           ((header[0] << 8) | header[1]) % 31 == 0;
}

constexpr std::align_val_t kContentAlignment{64};

uint8_t* allocateContent(int32_t size) {
    // At least one cache line, so that an empty member still has a buffer.
    size_t bytes = std::max<size_t>(static_cast<size_t>(size), 64);
    return static_cast<uint8_t*>(::operator new(bytes, kContentAlignment, std::nothrow));
}

void releaseContent(uint8_t* content) {
    ::operator delete(content, kContentAlignment);
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
    releaseContent(content);
}

bool FilePackFile::init() {
    if (!entry.sound || !storage)
        return false;
    if (direct)
        return true;
    if (!(entry.flags & PACK_FLAG_COMPRESSED) || (entry.flags & PACK_FLAG_UNREADABLE_VARIANT))
        return false;
    inflater.zalloc = Z_NULL;
    inflater.zfree = Z_NULL;
    inflater.opaque = Z_NULL;
    inflater.next_in = Z_NULL;
    inflater.avail_in = 0;
    // The stream's two header bytes are checked here and its checksum is left unchecked: the bytes are
    // delivered as they are inflated, so a checksum that fails at the end could not take them back.
    if (inflateInit2(&inflater, -MAX_WBITS) != Z_OK)
        return false;
    inflaterReady = true;
    return true;
}

bool FilePackFile::keepWholeOutput() {
    if (content)
        return true;
    content = allocateContent(entry.size);
    if (!content)
        return false;
    if (inflater.total_out > 0) {
        // The output so far went to the callers: inflate again from the start, into the buffer this time.
        inflateReset(&inflater);
        inflater.avail_in = 0;
        consumed = 0;  // the header is checked again
        inflateFinished = false;
    }
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

bool FilePackFile::checkHeader() {
    if (consumed >= ZLIB_HEADER_SIZE)
        return true;
    uint8_t header[ZLIB_HEADER_SIZE];
    if (storage->readAt(entry.offset, header, ZLIB_HEADER_SIZE, entry.storedSize) != ZLIB_HEADER_SIZE ||
        !zlibHeaderValid(header)) {
        inflateFinished = true;
        return false;
    }
    consumed = ZLIB_HEADER_SIZE;
    return true;
}

bool FilePackFile::inflateUntil(int64_t wanted) {
    if (!inflateFinished)
        checkHeader();
    while (!inflateFinished && static_cast<int64_t>(inflater.total_out) < wanted) {
        if (inflater.avail_in == 0 && consumed < entry.storedSize) {
            int32_t left = entry.storedSize - consumed;
            int32_t got = 0;
            const uint8_t* bytes = storage->view(static_cast<int64_t>(entry.offset) + consumed, left, left, got);
            if (!bytes || got <= 0) {
                inflateFinished = true;
                break;
            }
            consumed += got;
            inflater.next_in = const_cast<uint8_t*>(bytes);
            inflater.avail_in = static_cast<uInt>(got);
        }
        // With every stored byte taken, the inflater may still hold output: bits of the last bytes and the
        // rest of a copy that the previous call had no room for. It says when nothing more comes
        // (Z_BUF_ERROR: no progress), or the stream ends or is damaged.
        if (inflate(&inflater, Z_SYNC_FLUSH) != Z_OK)
            inflateFinished = true;
    }
    // The window the input came from may move before the next read: unused input is given back.
    consumed -= static_cast<int32_t>(inflater.avail_in);
    inflater.next_in = Z_NULL;
    inflater.avail_in = 0;
    return static_cast<int64_t>(inflater.total_out) >= wanted;
}

int32_t FilePackFile::inflateWhole(uint8_t* dst) {
    // All stored bytes in one pass that may finish the stream: no sliding window is kept and nothing is
    // copied twice. The bytes come straight from the window when it holds them all.
    std::unique_ptr<uint8_t[]> copy;
    int32_t got = 0;
    const uint8_t* stored = storage->view(entry.offset, entry.storedSize, entry.storedSize, got);
    if (got < entry.storedSize) {
        copy.reset(new (std::nothrow) uint8_t[static_cast<size_t>(entry.storedSize)]);
        if (!copy)
            return -1;
        got = storage->readAt(entry.offset, copy.get(), entry.storedSize, entry.storedSize);
        stored = copy.get();
    }
    if (got >= ZLIB_HEADER_SIZE && zlibHeaderValid(stored) &&
        WholeInflater::inflate(stored + ZLIB_HEADER_SIZE, static_cast<size_t>(got - ZLIB_HEADER_SIZE), dst,
                               static_cast<size_t>(entry.size))) {
        // The zlib inflater is left untouched, as if nothing had been inflated: a later read after a seek
        // back starts it from the beginning.
        return entry.size;
    }
    // Anything else (damage, a stream shorter or longer than the member) is zlib's to judge, with the
    // bytes it delivers up to where the stream stops.
    inflateFinished = true;
    if (got < ZLIB_HEADER_SIZE || !zlibHeaderValid(stored))
        return 0;
    inflater.next_in = const_cast<uint8_t*>(stored) + ZLIB_HEADER_SIZE;
    inflater.avail_in = static_cast<uInt>(got - ZLIB_HEADER_SIZE);
    inflater.next_out = dst;
    inflater.avail_out = static_cast<uInt>(entry.size);
    inflate(&inflater, Z_FINISH);
    consumed = got - static_cast<int32_t>(inflater.avail_in);
    inflater.next_in = Z_NULL;
    inflater.avail_in = 0;
    inflater.next_out = Z_NULL;
    inflater.avail_out = 0;
    return static_cast<int32_t>(inflater.total_out);
}

int32_t FilePackFile::readCompressed(uint8_t* dst, int32_t n) {
    if (!content && inflater.total_out == 0 && position == 0 && n == entry.size) {
        int32_t count = inflateWhole(dst);
        if (count >= 0) {
            position = count;
            return count;
        }
    }
    if (!content && position == static_cast<int64_t>(inflater.total_out)) {
        // Reading on from where inflation stands: straight into the caller's memory, no copy and no buffer.
        // The whole output is kept only once the reader moves elsewhere.
        inflater.next_out = dst;
        inflater.avail_out = static_cast<uInt>(n);
        inflateUntil(static_cast<int64_t>(position) + n);
        int32_t count = static_cast<int32_t>(static_cast<int64_t>(inflater.total_out) - position);
        inflater.next_out = Z_NULL;
        inflater.avail_out = 0;
        position += count;
        return count;
    }
    if (!keepWholeOutput())
        return 0;
    inflateUntil(static_cast<int64_t>(position) + n);
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
    if (!seekTarget(offset, origin, position, entry.size, target))
        return true;  // other origins leave it
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
    releaseContent(content);
    content = bytes;
    contentStart = position;
    contentLength = got;
}

}  // namespace mt::file
