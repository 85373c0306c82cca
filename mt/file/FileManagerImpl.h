#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <shared_mutex>
#include <vector>

#include "mt/file/FileManager.h"
#include "mt/thread/Runnable.h"
#include "mt/thread/Thread.h"

namespace mt::file {

class PackArchive;

// The file manager: mounts pack archives under names, resolves paths against them, a memory pseudo-drive and
// the host file system, lists directories as element trees, and serves a request queue. The queue's worker
// loop is a Runnable that the application may start on a Thread (worker()); without a running worker, every
// operation runs on the calling thread.
class FileManagerImpl : public FileManager, private thread::Runnable {
  public:
    // The largest new block of the memory drive unless the application sets another limit: a path's text
    // alone must not make the manager allocate without bound.
    static constexpr int32_t DEFAULT_MEMORY_FILE_LIMIT = 64 << 20;

    // A callback whose owner waits until the worker has run it.
    class WaitingCallback : public FileOperationCallback {
      public:
        explicit WaitingCallback(FileManagerImpl* manager) : manager(manager) {}
        // Waits until the worker has run the callback, polling every 16 ms. False when the worker stopped
        // before taking it: the request is then withdrawn and the caller may run the work itself.
        bool waitUntilDone();

        FileManagerImpl* manager;
        std::atomic<int32_t> done{0};
    };

    // Opens a file on the worker and wraps it in a ManagerFile.
    class OpenFileCB : public WaitingCallback {
      public:
        OpenFileCB(FileManagerImpl* manager, const String& path, int32_t mode)
            : WaitingCallback(manager), mode(mode), path(path) {}
        bool execute(void* buffer, int32_t result) override;

        int32_t mode;
        String path;
        File* result = nullptr;
    };

    FileManagerImpl();
    ~FileManagerImpl() override;

    // The mutexes and semaphores could be made.
    bool isValid() const;
    // The worker loop, to be started on a Thread.
    thread::Runnable* worker() { return this; }
    bool isWorkerRunning() const { return running.load() && !finished.load(); }
    uint32_t getWorkerThread() const { return workerThread.load(); }

    File* openFile(const String& path, int32_t mode, int32_t flags) override;
    File* openFileOnWorker(const String& path, int32_t mode, int32_t flags) override;
    File* openFileDirect(const String& path, int32_t mode, int32_t flags) override;
    void setRootDirectory(const String& directory) override;
    String getRootDirectory() override;
    void setArchiveDirectory(const String& directory) override;
    String getArchiveDirectory() override;
    bool copyFile(const String& from, const String& to, bool failIfExists) override;
    bool moveFile(const String& from, const String& to) override;
    bool deleteFile(const String& path) override;
    bool createDirectory(const String& path) override;
    bool removeDirectory(const String& path) override;
    bool listDirectory(const String& path, XmlElement* root, bool recursive) override;
    // Mount names are lower-cased; a name already mounted is refused.
    bool mountArchive(const String& archiveFileName, const String& mountName) override;
    bool queryReady(int32_t, int32_t) override { return true; }
    bool unmountArchive(const String& mountName) override;
    void waitForQueue() override;
    bool waitForRequestDone(int32_t milliseconds) override;
    void queueCallback(FileOperationCallback* callback) override;
    bool cancelOperation(FileOperationCallback* callback) override;
    int32_t dispatchCompleted() override;
    void setRecordOpenedFiles(bool record) override;
    std::vector<String> getOpenedFiles() override;
    void setErrorHandler(FileErrorHandler* handler) override { errorHandler = handler; }
    FileErrorHandler* getErrorHandler() override { return errorHandler; }
    void setSearchMode(int32_t mode) override { searchMode = mode; }
    void setScrambleKey(const uint8_t* key, int32_t length) override;
    const uint8_t* getScrambleKey(int32_t& length) override;
    void setOptionFlags(uint32_t bits) override { optionFlags |= bits; }
    void clearOptionFlags(uint32_t bits) override { optionFlags &= ~bits; }
    uint32_t getOptionFlags() override { return optionFlags; }
    File* openArchiveFile(const String& path) override;
    bool registerMemoryBlock(const void* data, int32_t size) override;
    bool unregisterMemoryBlock(const void* data) override;
    void setMemoryFileLimit(int32_t bytes) override { memoryFileLimit = bytes > 0 ? bytes : 0; }

    // Queues a read or write of file on the worker; callback->execute receives the buffer and the count.
    // False when the request could not be queued (out of memory).
    bool queueRead(File* file, FileOperationCallback* callback, void* buffer, int32_t size);
    bool queueWrite(File* file, FileOperationCallback* callback, const void* buffer, int32_t size);
    // Operations of a ManagerFile run on the calling thread when no worker runs or when it is the worker.
    bool runsOnCaller() const;
    // Takes every queued request for file out of the queue without running it.
    void dropRequestsFor(File* file);
    // The mounted archive of that (lower-cased) name, or null.
    PackArchive* getArchive(const String& mountName);

  private:
    struct FileRequest {
        int32_t type = 2;  // 0 read, 1 write, 2 callback only
        File* file = nullptr;
        int32_t size = 0;
        void* buffer = nullptr;
        FileOperationCallback* callback = nullptr;
        WaitingCallback* waiter = nullptr;
    };
    struct MountPoint {
        String name;
        std::shared_ptr<PackArchive> archive;
    };
    struct MemoryBlock {
        const uint8_t* data;
        int32_t size;
    };

    int run() override;
    void processQueue();
    // Queues a request of the type (0 read, 1 write, 2 callback only).
    bool enqueue(int32_t type, File* file, FileOperationCallback* callback, void* buffer, int32_t size);
    // Withdraws the queued request of callback without asking it; false when it is not queued.
    bool withdraw(FileOperationCallback* callback);
    bool mount(const String& archiveFileName, const String& mountName);
    bool list(const String& path, XmlElement* root, bool recursive);
    File* resolve(const String& path, int32_t mode, const String& root, bool forWorker);
    File* openMemoryFile(const String& name);
    void listHostDirectory(const String& name, XmlElement* element, bool recursive);
    std::vector<std::shared_ptr<MountPoint>> mountsSnapshot();

    const uint8_t* scrambleKey = nullptr;
    int32_t scrambleKeyLength = 0;
    std::atomic<uint32_t> optionFlags{0};
    std::atomic<uint32_t> workerThread{0};
    std::deque<FileRequest*> requestQueue;
    // Requests queued or being executed.
    int32_t pendingRequests = 0;
    std::unique_ptr<thread::Mutex> queueLock;
    std::unique_ptr<thread::Mutex> completedLock;
    std::unique_ptr<thread::Semaphore> workSignal;
    std::unique_ptr<thread::Semaphore> idleSignal;
    std::unique_ptr<thread::Semaphore> requestDone;
    std::vector<std::shared_ptr<MountPoint>> mounts;
    std::shared_mutex mountsLock;
    std::list<FileOperationCallback*> completedCallbacks;
    std::atomic<bool> running{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> stopRequested{false};
    // Guards the directories, the opened-files list and the memory blocks.
    std::unique_ptr<thread::Mutex> stateLock;
    String rootDirectory;
    String archiveDirectory;
    std::vector<String> openedFiles;
    bool recordOpenedFiles = false;
    std::vector<MemoryBlock> memoryBlocks;
    FileErrorHandler* errorHandler = nullptr;
    std::atomic<int32_t> searchMode{0};
    std::atomic<int32_t> memoryFileLimit{DEFAULT_MEMORY_FILE_LIMIT};
};

// A new file manager, or null when it or its locks cannot be made.
FileManager* createFileManager();

}  // namespace mt::file
