#include "mt/file/MemoryFile.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "mt/file/FileManager.h"

namespace mt::file {

MemoryFile::MemoryFile(uint8_t* data, int32_t size, int32_t capacity, int32_t, FileManager* manager)
    : data(data),
      position(0),
      size(0),
      capacity(std::max(capacity, 0)),
      ownsData(false),
      manager(manager ? manager->getLink() : nullptr) {
    if (!this->data && this->capacity > 0) {
        this->data = new (std::nothrow) uint8_t[static_cast<size_t>(this->capacity)]();
        ownsData = this->data != nullptr;
        if (!this->data)
            this->capacity = 0;
    }
    this->size = std::clamp(size, 0, this->capacity);
    if (FileErrorHandler* handler = errorHandler())
        handler->onFileEvent(FILE_EVENT_OPEN, false, 1);
}

MemoryFile::~MemoryFile() {
    if (ownsData)
        delete[] data;
}

FileErrorHandler* MemoryFile::errorHandler() const {
    FileManagerLink::Hold owner(manager.get());
    return owner.get() ? owner.get()->getErrorHandler() : nullptr;
}

void MemoryFile::notifyRead() {
    if (FileErrorHandler* handler = errorHandler())
        handler->onFileEvent(FILE_EVENT_READ, false, 1);
}

int32_t MemoryFile::read(void* dst, int32_t n) {
    int32_t count = 0;
    if (dst && n > 0 && position >= 0 && position < size) {
        count = std::min(n, size - position);
        std::memcpy(dst, data + position, static_cast<size_t>(count));
        position += count;
    }
    notifyRead();
    return count;
}

uint8_t MemoryFile::readByte() {
    notifyRead();
    if (position < 0 || position >= size)
        return 0;
    return data[position++];
}

int32_t MemoryFile::write(const void* src, int32_t n) {
    if (!src || n <= 0 || position < 0 || position >= capacity)
        return 0;
    int32_t count = std::min(n, capacity - position);
    std::memcpy(data + position, src, static_cast<size_t>(count));
    position += count;
    size = std::max(size, position);
    return count;
}

bool MemoryFile::writeByte(uint8_t value) {
    if (position < 0 || position >= capacity)
        return false;
    data[position++] = value;
    size = std::max(size, position);
    return true;
}

bool MemoryFile::seek(int32_t offset, int32_t origin) {
    int64_t target;
    // Any position is accepted, but it must stay representable.
    if (!seekTarget(offset, origin, position, size, target) || target < INT32_MIN || target > INT32_MAX)
        return false;
    position = static_cast<int32_t>(target);
    return true;
}

}  // namespace mt::file
