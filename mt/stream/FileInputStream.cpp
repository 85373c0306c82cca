#include "mt/stream/FileInputStream.h"

#include <algorithm>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"

namespace mt {

FileInputStream::FileInputStream(file::File* file, uint32_t flags) : BaseStream(flags), file(file) {}

FileInputStream::FileInputStream(const String& path, uint32_t flags)
    : BaseStream(flags & ~static_cast<uint32_t>(STREAM_NOT_OWNER)), file(nullptr) {
    auto* manager = static_cast<file::FileManager*>(findService(SERVICE_FILE_MANAGER));
    if (manager)
        file = manager->openFile(path, file::OPEN_READ, 0);
}

FileInputStream::~FileInputStream() {
    if (ownsTarget())
        delete file;
}

int32_t FileInputStream::available() {
    if (!file)
        return 0;
    int32_t size = file->getSize();
    if (size <= 0)
        return 0;
    int64_t rest = static_cast<int64_t>(size) - std::max(0, file->tell());
    return static_cast<int32_t>(std::clamp<int64_t>(rest, 0, size));
}

int32_t FileInputStream::read(void* dst, int32_t n) {
    if (!file || !dst || n <= 0)
        return 0;
    return std::max(0, file->read(dst, n));
}

bool FileInputStream::seek(int32_t offset, int32_t origin) {
    if (!file)
        return false;
    switch (origin) {
        case FROM_START:
            return file->seek(offset, file::ORIGIN_START);
        case FROM_CURRENT:
            return file->seek(offset, file::ORIGIN_CURRENT);
        case FROM_END:
            return file->seek(offset, file::ORIGIN_END);
        default:
            return false;
    }
}

bool FileInputStream::setPosition(int32_t position) {
    return file && file->seek(position, file::ORIGIN_START);
}

bool FileInputStream::peekByte(uint8_t& value) {
    value = 0xFF;
    if (!file)
        return false;
    uint8_t byte;
    if (file->read(&byte, 1) != 1)
        return false;
    file->seek(-1, file::ORIGIN_CURRENT);
    value = byte;
    return true;
}

int32_t FileInputStream::tell() {
    return file ? file->tell() : -1;
}

}  // namespace mt
