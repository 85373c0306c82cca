#include "mt/stream/InputStream.h"

#include <algorithm>
#include <cstring>

namespace mt {

void InputStream::readValue(void* bytes, int size) {
    uint8_t raw[8];
    int32_t got = read(raw, size);
    if (got <= 0)
        return;
    if (swapsBytes()) {
        // Only a whole value can be reversed; a short read of a swapped value keeps the target unchanged.
        if (got < size)
            return;
        std::reverse(raw, raw + size);
    }
    std::memcpy(bytes, raw, static_cast<size_t>(got));
}

InputStream& InputStream::readDouble(double& value) {
    readValue(&value, 8);
    return *this;
}
InputStream& InputStream::readFloat(float& value) {
    readValue(&value, 4);
    return *this;
}
InputStream& InputStream::readUInt32(uint32_t& value) {
    readValue(&value, 4);
    return *this;
}
InputStream& InputStream::readInt32(int32_t& value) {
    readValue(&value, 4);
    return *this;
}
InputStream& InputStream::readUInt16(uint16_t& value) {
    readValue(&value, 2);
    return *this;
}
InputStream& InputStream::readInt16(int16_t& value) {
    readValue(&value, 2);
    return *this;
}
InputStream& InputStream::readUInt8(uint8_t& value) {
    readValue(&value, 1);
    return *this;
}
InputStream& InputStream::readInt8(int8_t& value) {
    readValue(&value, 1);
    return *this;
}
InputStream& InputStream::readBool(bool& value) {
    uint8_t byte = 0;
    value = read(&byte, 1) == 1 && byte != 0;
    return *this;
}

int32_t InputStream::readInto(OutputStream&, int32_t) {
    return 0;
}

bool InputStream::seek(int32_t offset, int32_t origin) {
    int64_t target;
    switch (origin) {
        case FROM_START:
            target = offset;
            break;
        case FROM_CURRENT:
            target = static_cast<int64_t>(tell()) + offset;
            break;
        case FROM_END:
            // The end is where the stream stands plus what it can still deliver.
            target = static_cast<int64_t>(tell()) + available() + offset;
            break;
        default:
            return false;
    }
    if (target < 0 || target > INT32_MAX)
        return false;
    return setPosition(static_cast<int32_t>(target));
}

const uint8_t* InputStream::peekBuffer(int32_t& length) {
    length = 0;
    return nullptr;
}

bool InputStream::readLine(char* buffer, int32_t capacity) {
    if (!buffer || capacity < 1)
        return false;
    if (capacity == 1) {
        // No byte fits: reading on would consume nothing and report a line for ever.
        buffer[0] = '\0';
        return false;
    }
    int32_t stored = 0;
    while (stored < capacity - 1) {
        uint8_t byte;
        if (read(&byte, 1) != 1) {
            buffer[stored] = '\0';
            return stored > 0;
        }
        if (byte == '\n')
            break;
        if (byte == '\r') {
            uint8_t next;
            if (peekByte(next) && next == '\n')
                read(&next, 1);
            break;
        }
        buffer[stored++] = static_cast<char>(byte);
    }
    buffer[stored] = '\0';
    return true;
}

}  // namespace mt
