#pragma once
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "mt/core/String.h"

namespace mt::thread {
class Mutex;
}

namespace mt::file {

class File;
class FileManager;
class FileManagerLink;

// One thread's handle on an archive file, with a read window so that small reads do not each reach the host.
struct PackReader {
    static constexpr int32_t WINDOW_SIZE = 65536;

    PackReader(File* file);
    ~PackReader();

    File* file;
    int64_t filePosition = 0;
    uint8_t* window = nullptr;
    int64_t windowStart = 0;
    int32_t windowLength = 0;
    // Where the last read ended: a read that starts there is taken as part of a sequential scan.
    int64_t lastEnd = -1;
};

// The archive file as the members read it: one reader per thread, created on first use. Shared by the
// archive and every member file opened from it.
class PackStorage {
  public:
    PackStorage(FileManager* manager, const String& path);
    ~PackStorage();
    PackStorage(const PackStorage&) = delete;
    PackStorage& operator=(const PackStorage&) = delete;

    // Opens the calling thread's reader and takes the file's length. False when the file cannot be opened.
    bool start();
    // Bytes of the archive at offset, up to n; expectedMore: how much more the caller expects to read. Reads
    // smaller than the span (expectedMore within 8 to 64 KiB, the whole 64 KiB when the read continues where
    // the last one ended) are served from the window. Returns the number of bytes delivered (short at the end
    // of the file or on a read error).
    int32_t readAt(int64_t offset, void* dst, int32_t n, int32_t expectedMore);
    // A view of archive bytes at offset in the calling thread's window, up to n of them (available says how
    // many); the window is refilled with up to max(expectedMore, 8 KiB) bytes when it does not hold offset.
    // Valid until the calling thread's next read from this storage. Null when nothing can be read there.
    const uint8_t* view(int64_t offset, int32_t n, int32_t expectedMore, int32_t& available);
    int64_t getFileSize() const { return fileSize; }

  private:
    PackReader* readerOfThisThread();
    // Moves the reader's file to offset unless it stands there; false when it cannot.
    bool moveTo(PackReader* reader, int64_t offset);
    // Fills the reader's window from offset with up to span bytes; false when nothing could be read.
    bool fillWindow(PackReader* reader, int64_t offset, int32_t span);
    File* openArchiveFile();

    // The manager's link. Once the manager has gone, threads that read for the first time open the archive
    // file on the host directly.
    std::shared_ptr<FileManagerLink> manager;
    String path;
    // The whole archive file in memory when the host could map it: every thread reads straight from there
    // and no reader is needed after the first.
    const uint8_t* mapped = nullptr;
    int64_t mappedLength = 0;
    // Where the first reader's file was found on the host; later threads open the same file, so that every
    // thread reads the same bytes and a path can never resolve to a member of this very archive.
    String hostPath;
    int64_t fileSize;
    std::unique_ptr<thread::Mutex> readersLock;
    std::unordered_map<uint32_t, std::unique_ptr<PackReader>> readers;
};

}  // namespace mt::file
