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
    // Bytes of the archive at offset, up to n; span hint: how much more the caller expects to read after
    // this. Returns the number of bytes delivered (short at the end of the file or on a read error).
    int32_t readAt(int64_t offset, void* dst, int32_t n, int32_t expectedMore);
    int64_t getFileSize() const { return fileSize; }

  private:
    PackReader* readerOfThisThread();
    File* openArchiveFile();

    FileManager* manager;
    String path;
    // Where the first reader's file was found on the host; later threads open the same file, so that every
    // thread reads the same bytes and a path can never resolve to a member of this very archive.
    String hostPath;
    int64_t fileSize;
    std::unique_ptr<thread::Mutex> readersLock;
    std::unordered_map<uint32_t, std::unique_ptr<PackReader>> readers;
};

}  // namespace mt::file
