#include "mt/file/ManagerFile.h"

#include <new>

namespace mt::file {

bool ManagerFileCallback::execute(void*, int32_t) {
    switch (operation) {
        case MANAGER_FILE_READ:
            result = file->read(buffer, count);
            break;
        case MANAGER_FILE_WRITE:
            result = file->write(buffer, count);
            break;
        case MANAGER_FILE_TELL:
            result = file->tell();
            break;
        case MANAGER_FILE_SIZE:
            result = file->getSize();
            break;
        case MANAGER_FILE_SEEK:
            result = file->seek(count, origin) ? 1 : 0;
            break;
        case MANAGER_FILE_EOF:
            result = file->isEof() ? 1 : 0;
            break;
        case MANAGER_FILE_REMOVE:
            result = file->remove() ? 1 : 0;
            break;
        case MANAGER_FILE_DELETE:
            delete file;
            file = nullptr;
            result = 0;
            break;
        default:
            result = 0;
            break;
    }
    return false;
}

ManagerFile::ManagerFile(FileManagerImpl* manager, File* file)
    : cachedSize(file->getSize()),
      manager(manager),
      link(manager->getLink()),
      file(file),
      callback(new (std::nothrow) ManagerFileCallback(manager, file)) {}

ManagerFile::~ManagerFile() {
    if (!callback) {
        delete file;
        return;
    }
    FileManagerLink::Hold owner(link.get());
    if (owner.get() && manager->runsOnCaller())
        manager->dropRequestsFor(file);
    perform(MANAGER_FILE_DELETE);
    delete callback;
}

int32_t ManagerFile::perform(int32_t operation, void* buffer, int32_t count, int32_t origin) {
    if (!callback)
        return 0;
    callback->operation = operation;
    callback->buffer = buffer;
    callback->count = count;
    callback->origin = origin;
    callback->done = 0;
    // Held until the operation is done, so that the manager cannot go away while it waits in the queue.
    FileManagerLink::Hold owner(link.get());
    if (owner.get() && !manager->runsOnCaller()) {
        manager->queueCallback(callback);
        if (callback->waitUntilDone())
            return callback->result;
        // The worker stopped before it took the operation: it runs here instead.
    }
    callback->execute(nullptr, 0);
    return callback->result;
}

bool ManagerFile::remove() {
    return perform(MANAGER_FILE_REMOVE) != 0;
}

int32_t ManagerFile::read(void* dst, int32_t n) {
    return perform(MANAGER_FILE_READ, dst, n);
}

uint8_t ManagerFile::readByte() {
    uint8_t byte = 0;
    return read(&byte, 1) == 1 ? byte : 0;
}

int32_t ManagerFile::write(const void* src, int32_t n) {
    return perform(MANAGER_FILE_WRITE, const_cast<void*>(src), n);
}

bool ManagerFile::writeByte(uint8_t value) {
    return write(&value, 1) == 1;
}

int32_t ManagerFile::tell() {
    return perform(MANAGER_FILE_TELL);
}

bool ManagerFile::seek(int32_t offset, int32_t origin) {
    return perform(MANAGER_FILE_SEEK, nullptr, offset, origin) != 0;
}

bool ManagerFile::isEof() {
    return perform(MANAGER_FILE_EOF) != 0;
}

// Without a manager there is no queue, and no one to deliver a completion notice: nothing is queued.
bool ManagerFile::readAsync(FileOperationCallback* userCallback, void* dst, int32_t n) {
    FileManagerLink::Hold owner(link.get());
    return owner.get() && manager->queueRead(file, userCallback, dst, n);
}

bool ManagerFile::writeAsync(FileOperationCallback* userCallback, const void* src, int32_t n) {
    FileManagerLink::Hold owner(link.get());
    return owner.get() && manager->queueWrite(file, userCallback, src, n);
}

}  // namespace mt::file
