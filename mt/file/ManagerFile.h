#pragma once
#include <cstdint>
#include <memory>

#include "mt/file/FileManagerImpl.h"

namespace mt::file {

// Operation codes of a ManagerFile, executed on the worker.
enum ManagerFileOperation : int32_t {
    MANAGER_FILE_READ = 0,
    MANAGER_FILE_WRITE = 1,
    MANAGER_FILE_TELL = 2,
    MANAGER_FILE_SIZE = 3,
    MANAGER_FILE_SEEK = 4,
    MANAGER_FILE_EOF = 5,
    MANAGER_FILE_REMOVE = 6,
    MANAGER_FILE_DELETE = 7,
};

// Carries one operation of a ManagerFile to the worker and its result back.
class ManagerFileCallback : public FileManagerImpl::WaitingCallback {
  public:
    ManagerFileCallback(FileManagerImpl* manager, File* file) : WaitingCallback(manager), file(file) {}
    // Runs the stored operation on the real file; never asks for a completion notice.
    bool execute(void* buffer, int32_t result) override;

    int32_t result = 0;
    int32_t count = 0;
    int32_t origin = 0;
    void* buffer = nullptr;
    File* file;
    int32_t operation = 0;
};

// A File whose every operation runs on the manager's worker thread (on the calling thread while no worker
// runs). It owns the real file. Once the manager has gone, the operations run on the real file directly and
// nothing can be queued any more.
class ManagerFile : public File {
  public:
    ManagerFile(FileManagerImpl* manager, File* file);
    ~ManagerFile() override;
    // False when the proxy could not be made (out of memory).
    bool isValid() const { return callback != nullptr; }

    bool remove() override;
    bool isPacked() override { return file->isPacked(); }
    int32_t read(void* dst, int32_t n) override;
    uint8_t readByte() override;
    int32_t write(const void* src, int32_t n) override;
    bool writeByte(uint8_t value) override;
    int32_t tell() override;
    // The size the real file had when the proxy was made.
    int32_t getSize() override { return cachedSize; }
    bool seek(int32_t offset, int32_t origin) override;
    bool isEof() override;
    // Queues the read or write of the real file with the caller's callback; false when it could not be
    // queued (out of memory, or the manager has gone).
    bool readAsync(FileOperationCallback* callback, void* dst, int32_t n) override;
    bool writeAsync(FileOperationCallback* callback, const void* src, int32_t n) override;

  private:
    int32_t perform(int32_t operation, void* buffer = nullptr, int32_t count = 0, int32_t origin = 0);

    int32_t cachedSize;
    // Reached only while the link holds it.
    FileManagerImpl* manager;
    std::shared_ptr<FileManagerLink> link;
    File* file;
    ManagerFileCallback* callback;
};

}  // namespace mt::file
