#include "mt/file/FileWin.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "mt/file/FileManager.h"
#include "platform/HostFile.h"

namespace mt::file {

uint8_t scrambleKeyByte(const uint8_t* key, int32_t length, int32_t position) {
    if (!key || length <= 0 || position < 0)
        return 0;
    // Signed 32-bit arithmetic with wrap-around, done on unsigned values to keep it defined.
    uint32_t k = static_cast<uint32_t>(key[position % length]) * static_cast<uint32_t>(position) * 13u;
    for (int32_t j = 0; j < length; ++j) {
        int32_t t = static_cast<int32_t>((static_cast<uint32_t>(key[j]) + 1u) * k);
        k = static_cast<uint32_t>(t & 0xFFFF) * 16000u + static_cast<uint32_t>(t >> 16);
    }
    return static_cast<uint8_t>(k);
}

FileWin::FileWin(const String& path, int32_t mode, FileManager* manager)
    : position(0),
      handle(nullptr),
      path(path),
      manager(manager ? manager->getLink() : nullptr),
      mode(mode),
      scrambleKey(nullptr),
      scrambleKeyLength(0),
      headerSize(0),
      scrambled(false),
      written(false) {}

FileWin::~FileWin() {
    platform::hostFileClose(handle);
}

FileErrorHandler* FileWin::errorHandler() const {
    FileManagerLink::Hold owner(manager.get());
    return owner.get() ? owner.get()->getErrorHandler() : nullptr;
}

bool FileWin::open() {
    for (;;) {
        handle = platform::hostFileOpen(path.cstr(), mode);
        if (!handle)
            std::printf("File not found %s\n", path.cstr());
        FileErrorHandler* handler = errorHandler();
        if (!handler || handler->onFileEvent(FILE_EVENT_OPEN, handle == nullptr, 1) != 1)
            break;
        platform::hostFileClose(handle);
        handle = nullptr;
    }
    if (!handle)
        return false;
    bool reads = mode != OPEN_WRITE;
    FileManagerLink::Hold owner(manager.get());
    if (reads && owner.get() && !(owner.get()->getOptionFlags() & OPTION_NO_SCRAMBLE_DETECTION)) {
        uint8_t marker[4];
        if (platform::hostFileRead(handle, marker, 4) == 4 && marker[0] == 0xEF && marker[1] == 0xBE &&
            marker[2] == 0xAD && marker[3] == 0xDE) {
            headerSize = 4;
            scrambled = true;
            int32_t length = 0;
            const uint8_t* key = owner.get()->getScrambleKey(length);
            setScrambleKey(key, length);
        }
    }
    platform::hostFileSeek(handle, headerSize, platform::HOST_SEEK_START);
    position = 0;
    return true;
}

void FileWin::setScrambleKey(const uint8_t* key, int32_t length) {
    scrambleKey = key;
    scrambleKeyLength = key ? length : 0;
    // Only a new file that nothing has been written to yet gets (or loses) the marker: a file rewound after
    // writing would otherwise lose its data.
    if (mode != OPEN_WRITE || !handle || written || tell() != 0)
        return;
    platform::hostFileTruncate(handle, 0);
    if (key) {
        const uint8_t marker[4] = {0xEF, 0xBE, 0xAD, 0xDE};
        platform::hostFileWrite(handle, marker, 4);
        headerSize = 4;
        scrambled = true;
    } else {
        headerSize = 0;
        scrambled = false;
    }
    position = 0;
}

void FileWin::applyKeyStream(uint8_t* bytes, int32_t count, int32_t firstPosition, bool add) const {
    if (!scrambled || !scrambleKey || scrambleKeyLength <= 0)
        return;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t k = scrambleKeyByte(scrambleKey, scrambleKeyLength, firstPosition + i);
        bytes[i] = static_cast<uint8_t>(add ? bytes[i] + k : bytes[i] - k);
    }
}

int32_t FileWin::read(void* dst, int32_t n) {
    if (n <= 0 || !dst || !handle)
        return 0;
    int32_t start = position;
    int32_t count;
    for (;;) {
        count = static_cast<int32_t>(platform::hostFileRead(handle, dst, n));
        FileErrorHandler* handler = errorHandler();
        if (!handler || handler->onFileEvent(FILE_EVENT_READ, readFailed(start, n, count), 1) != 1)
            break;
        // Asked to repeat: read the same bytes again.
        platform::hostFileSeek(handle, static_cast<int64_t>(start) + headerSize, platform::HOST_SEEK_START);
    }
    applyKeyStream(static_cast<uint8_t*>(dst), count, start, false);
    position = start + count;
    return count;
}

bool FileWin::readFailed(int32_t start, int32_t asked, int32_t count) {
    if (count >= asked)
        return false;
    // A short read at the end of the file is a normal result: only bytes that are there but could not be
    // read count as a failure.
    int64_t present = platform::hostFileSize(handle) - headerSize - start;
    return count < std::clamp<int64_t>(present, 0, asked);
}

uint8_t FileWin::readByte() {
    uint8_t byte = 0;
    return read(&byte, 1) == 1 ? byte : 0;
}

int32_t FileWin::write(const void* src, int32_t n) {
    if (!handle || !src || n <= 0)
        return 0;
    this->written = true;
    int64_t written;
    if (scrambled && scrambleKey && scrambleKeyLength > 0) {
        // Appended bytes land at the end of the file whatever the position, so their key stream does too.
        int32_t first = mode == OPEN_APPEND ? getSize() : position;
        std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[static_cast<size_t>(n)]);
        if (!block)
            return 0;
        std::memcpy(block.get(), src, static_cast<size_t>(n));
        applyKeyStream(block.get(), n, first, true);
        written = platform::hostFileWrite(handle, block.get(), n);
    } else {
        written = platform::hostFileWrite(handle, src, n);
    }
    int64_t at = platform::hostFileTell(handle);
    if (at >= headerSize)
        position = static_cast<int32_t>(std::min<int64_t>(at - headerSize, INT32_MAX));
    return static_cast<int32_t>(written);
}

bool FileWin::writeByte(uint8_t value) {
    return write(&value, 1) == 1;
}

int32_t FileWin::tell() {
    return handle ? position : -1;
}

int32_t FileWin::getSize() {
    if (!handle)
        return -1;
    int64_t size = platform::hostFileSize(handle);
    if (size < 0)
        return -1;
    return static_cast<int32_t>(std::clamp<int64_t>(size - headerSize, 0, INT32_MAX));
}

bool FileWin::seek(int32_t offset, int32_t origin) {
    if (!handle)
        return false;
    int64_t size = origin == ORIGIN_END ? platform::hostFileSize(handle) - headerSize : 0;
    int64_t target;
    if (!seekTarget(offset, origin, position, size, target))
        return false;
    if (target < 0 || target > INT32_MAX)
        return false;
    if (!platform::hostFileSeek(handle, target + headerSize, platform::HOST_SEEK_START))
        return false;
    position = static_cast<int32_t>(target);
    return true;
}

bool FileWin::isEof() {
    return !handle || position >= getSize();
}

bool FileWin::remove() {
    if (!handle)
        return false;
    platform::hostFileClose(handle);
    handle = nullptr;
    return platform::hostDeleteFile(path.cstr());
}

const uint8_t* FileWin::mapData(int64_t& length) {
    length = 0;
    if (!handle || headerSize != 0)
        return nullptr;
    return platform::hostMapFile(handle, length);
}

String FileWin::getName() {
    return path;
}

FileWin* openNativeFile(const String& path, int32_t mode, FileManager* manager) {
    if (path.isEmpty())
        return nullptr;
    auto* file = new (std::nothrow) FileWin(path, mode, manager);
    if (!file)
        return nullptr;
    if (!file->open()) {
        delete file;
        return nullptr;
    }
    return file;
}

bool copyHostFile(const String& from, const String& to, bool failIfExists) {
    return platform::hostCopyFile(from.cstr(), to.cstr(), failIfExists);
}
bool moveHostFile(const String& from, const String& to) {
    return platform::hostMoveFile(from.cstr(), to.cstr());
}
bool deleteHostFile(const String& path) {
    return platform::hostDeleteFile(path.cstr());
}
bool createHostDirectory(const String& path) {
    return platform::hostCreateDirectory(path.cstr());
}
bool removeHostDirectory(const String& path) {
    return platform::hostRemoveDirectory(path.cstr());
}

}  // namespace mt::file
