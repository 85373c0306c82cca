#include "mt/file/PackStorage.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "mt/file/FileManager.h"
#include "mt/file/FileWin.h"
#include "mt/thread/Thread.h"
#include "platform/HostFile.h"

namespace mt::file {

namespace {
// The storages whose reader the calling thread is opening right now. An archive file that resolves to a
// member of the same archive would otherwise recurse without end.
thread_local std::vector<const PackStorage*> storagesBeingOpened;
}  // namespace

PackReader::PackReader(File* file) : file(file) {
    window = static_cast<uint8_t*>(::operator new (WINDOW_SIZE, std::align_val_t{64}, std::nothrow));
}

PackReader::~PackReader() {
    delete file;
    ::operator delete (window, std::align_val_t{64});
}

PackStorage::PackStorage(FileManager* manager, const String& path)
    : manager(manager ? manager->getLink() : nullptr),
      path(path),
      fileSize(0),
      readersLock(thread::createMutex()) {}

PackStorage::~PackStorage() {
    platform::hostUnmapFile(mapped, mappedLength);
}

File* PackStorage::openArchiveFile() {
    FileManagerLink::Hold owner(manager.get());
    if (!hostPath.isEmpty())
        return openNativeFile(hostPath, OPEN_READ, owner.get());
    if (std::find(storagesBeingOpened.begin(), storagesBeingOpened.end(), this) !=
        storagesBeingOpened.end()) {
        return nullptr;
    }
    try {
        storagesBeingOpened.push_back(this);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // Popped however the open ends, an exception included: a stale entry would refuse a later storage that
    // happens to get the same address.
    struct Popper {
        ~Popper() { storagesBeingOpened.pop_back(); }
    } popper;
    return owner.get() ? owner.get()->openArchiveFile(path) : openNativeFile(path, OPEN_READ, nullptr);
}

PackReader* PackStorage::readerOfThisThread() {
    uint32_t thread = thread::currentThreadId();
    {
        thread::MutexLock lock(readersLock.get());
        auto found = readers.find(thread);
        if (found != readers.end())
            return found->second.get();
    }
    // Opened outside the lock: opening may go through the file manager and read other archives.
    File* file = openArchiveFile();
    if (!file)
        return nullptr;
    std::unique_ptr<PackReader> reader(new (std::nothrow) PackReader(file));
    if (!reader) {
        delete file;
        return nullptr;
    }
    if (!reader->window)
        return nullptr;
    thread::MutexLock lock(readersLock.get());
    try {
        auto& slot = readers[thread];
        slot = std::move(reader);
        return slot.get();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool PackStorage::start() {
    PackReader* reader = readerOfThisThread();
    if (!reader)
        return false;
    fileSize = std::max(reader->file->getSize(), 0);
    if (auto* native = dynamic_cast<FileWin*>(reader->file)) {
        hostPath = native->getName();
        // Reads from memory ask no error handler, so an archive is mapped only while there is none.
        FileManagerLink::Hold owner(manager.get());
        if (!owner.get() || !owner.get()->getErrorHandler()) {
            mapped = native->mapData(mappedLength);
            if (mapped)
                fileSize = std::min<int64_t>(mappedLength, INT32_MAX);
        }
    }
    return true;
}

bool PackStorage::moveTo(PackReader* reader, int64_t offset) {
    if (offset > INT32_MAX)
        return false;
    if (offset != reader->filePosition) {
        if (!reader->file->seek(static_cast<int32_t>(offset), ORIGIN_START))
            return false;
        reader->filePosition = offset;
    }
    return true;
}

bool PackStorage::fillWindow(PackReader* reader, int64_t offset, int32_t span) {
    reader->windowLength = 0;
    if (!moveTo(reader, offset))
        return false;
    int32_t got = std::max(reader->file->read(reader->window, span), 0);
    reader->windowStart = offset;
    reader->windowLength = got;
    reader->filePosition += got;
    return got > 0;
}

int32_t PackStorage::readAt(int64_t offset, void* dst, int32_t n, int32_t expectedMore) {
    if (!dst || n <= 0 || offset < 0)
        return 0;
    if (mapped) {
        int32_t count = offset < fileSize ? static_cast<int32_t>(std::min<int64_t>(n, fileSize - offset)) : 0;
        if (count > 0)
            std::memcpy(dst, mapped + offset, static_cast<size_t>(count));
        return count;
    }
    PackReader* reader = readerOfThisThread();
    if (!reader)
        return 0;
    auto* out = static_cast<uint8_t*>(dst);
    // Members read one after another (a scan of the archive) get the whole window.
    int32_t span = offset == reader->lastEnd ? PackReader::WINDOW_SIZE
                                             : std::clamp(expectedMore, 8192, PackReader::WINDOW_SIZE);
    reader->lastEnd = offset + n;
    int32_t done = 0;
    if (offset >= reader->windowStart && offset < reader->windowStart + reader->windowLength) {
        int32_t inWindow = static_cast<int32_t>(reader->windowStart + reader->windowLength - offset);
        int32_t k = std::min(n, inWindow);
        std::memcpy(out, reader->window + (offset - reader->windowStart), static_cast<size_t>(k));
        done = k;
        if (done == n)
            return n;
        offset += k;
    }
    int32_t rest = n - done;
    if (rest >= span) {
        // Large reads go straight into the caller's memory.
        if (!moveTo(reader, offset))
            return done;
        int32_t got = std::max(reader->file->read(out + done, rest), 0);
        reader->windowLength = 0;
        reader->filePosition += got;
        return done + got;
    }
    if (!fillWindow(reader, offset, span))
        return done;
    int32_t k = std::min(rest, reader->windowLength);
    std::memcpy(out + done, reader->window, static_cast<size_t>(k));
    return done + k;
}

const uint8_t* PackStorage::view(int64_t offset, int32_t n, int32_t expectedMore, int32_t& available) {
    available = 0;
    if (n <= 0 || offset < 0)
        return nullptr;
    if (mapped) {
        if (offset >= fileSize)
            return nullptr;
        available = static_cast<int32_t>(std::min<int64_t>(n, fileSize - offset));
        return mapped + offset;
    }
    PackReader* reader = readerOfThisThread();
    if (!reader)
        return nullptr;
    bool inWindow = offset >= reader->windowStart && offset < reader->windowStart + reader->windowLength;
    if (!inWindow && !fillWindow(reader, offset, std::clamp(expectedMore, 8192, PackReader::WINDOW_SIZE))) {
        return nullptr;
    }
    available =
        static_cast<int32_t>(std::min<int64_t>(n, reader->windowStart + reader->windowLength - offset));
    return reader->window + (offset - reader->windowStart);
}

}  // namespace mt::file
