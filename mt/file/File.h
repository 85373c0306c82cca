#pragma once
#include <atomic>
#include <cstdint>

namespace mt::file {

// Open modes shared by the whole file system. Any other value reads.
enum OpenMode : int32_t {
    OPEN_READ = 1,    // an existing file
    OPEN_WRITE = 2,   // create or truncate, and write
    OPEN_APPEND = 3,  // append, and read
};

// Seek origins of files.
enum SeekOrigin : int32_t {
    ORIGIN_START = 1,
    ORIGIN_END = 2,
    ORIGIN_CURRENT = 3,
};

// The position that seek(offset, origin) aims at in a file standing at position with size bytes of data;
// false for an unknown origin.
inline bool seekTarget(int32_t offset, int32_t origin, int64_t position, int64_t size, int64_t& target) {
    switch (origin) {
        case ORIGIN_START:
            target = offset;
            return true;
        case ORIGIN_END:
            target = size + offset;
            return true;
        case ORIGIN_CURRENT:
            target = position + offset;
            return true;
        default:
            return false;
    }
}

// Operation codes passed to FileErrorHandler::onFileEvent.
enum FileEvent : int32_t {
    FILE_EVENT_OPEN = 0,
    FILE_EVENT_READ = 2,
};

// A work item of the file manager's request queue. The manager sets busy while it calls into the callback
// and requestingThread when the work is queued.
class FileOperationCallback {
  public:
    virtual ~FileOperationCallback() = default;
    // Runs on the worker when the queued work is done (or as the work itself); true asks for a completion
    // notice through the manager's dispatchCompleted.
    virtual bool execute(void* buffer, int32_t result);
    // Asked when the owner wants to withdraw queued work; true allows it.
    virtual bool cancel();
    // The completion notice, run on the thread that queued the work.
    virtual void onCompleted();

    std::atomic<uint8_t> busy{0};
    std::atomic<uint32_t> requestingThread{0};
};

// Consulted by native and memory files after an open attempt (operation 0) and a read (operation 2). An
// answer of 1 asks the file to repeat the attempt.
class FileErrorHandler {
  public:
    virtual ~FileErrorHandler() = default;
    virtual int32_t onFileEvent(int32_t operation, bool failed, int32_t one) = 0;
};

// A readable and possibly writable sequence of bytes: a host file, a block of memory, a member of a pack
// archive or a proxy for a file on the manager's worker thread. Created by the file manager; the caller owns
// it and deletes it through this interface.
class File {
  public:
    virtual ~File() = default;
    // Closes the file and deletes it from its store; false where not supported.
    virtual bool remove() { return false; }
    virtual void setScrambleKey(const uint8_t*, int32_t) {}
    virtual bool isPacked() { return false; }
    // Bytes read; short at the end of the file.
    virtual int32_t read(void* dst, int32_t n) = 0;
    // One byte; 0 when nothing could be read.
    virtual uint8_t readByte() = 0;
    virtual int32_t write(const void* src, int32_t n) = 0;
    virtual bool writeByte(uint8_t value) = 0;
    virtual int32_t tell() = 0;
    virtual int32_t getSize() = 0;
    // Origin 1 from the start, 2 from the end, 3 from the current position; any other origin fails.
    virtual bool seek(int32_t offset, int32_t origin) = 0;
    virtual bool isEof() = 0;
    // Queued read or write on the manager's worker; false where not supported.
    virtual bool readAsync(FileOperationCallback*, void*, int32_t) { return false; }
    virtual bool writeAsync(FileOperationCallback*, const void*, int32_t) { return false; }
    // Reads the whole content into memory where the class supports it.
    virtual void preload() {}

  protected:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

}  // namespace mt::file
