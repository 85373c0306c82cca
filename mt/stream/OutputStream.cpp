#include "mt/stream/OutputStream.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "mt/core/String.h"

namespace mt {

int32_t OutputStream::printf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int32_t written = vprintf(format, arguments);
    va_end(arguments);
    return written;
}

int32_t OutputStream::vprintf(const char* format, va_list arguments) {
    if (!format)
        return 0;
    // Most texts fit the local buffer; a longer one is formatted again into a heap buffer of its exact size.
    // Nothing is shared between calls, so several threads may format into their own streams at once.
    char local[1024];
    va_list again;
    va_copy(again, arguments);
    int needed = std::vsnprintf(local, sizeof local, format, arguments);
    int32_t written = 0;
    if (needed < 0) {
        written = 0;
    } else if (static_cast<size_t>(needed) < sizeof local) {
        written = write(local, needed);
    } else {
        std::unique_ptr<char[]> heap(new (std::nothrow) char[static_cast<size_t>(needed) + 1]);
        if (heap) {
            std::vsnprintf(heap.get(), static_cast<size_t>(needed) + 1, format, again);
            written = write(heap.get(), needed);
        }
    }
    va_end(again);
    return written;
}

bool OutputStream::seek(int32_t offset, int32_t origin) {
    int64_t target;
    if (origin == 0) {
        target = offset;
    } else if (origin == 1) {
        target = static_cast<int64_t>(tell()) + offset;
    } else {
        return false;
    }
    if (target < 0 || target > INT32_MAX)
        return false;
    return setPosition(static_cast<int32_t>(target));
}

void OutputStream::writeValue(const void* bytes, int size) {
    uint8_t raw[8];
    std::memcpy(raw, bytes, static_cast<size_t>(size));
    if (swapsBytes())
        std::reverse(raw, raw + size);
    write(raw, size);
}

void OutputStream::writeText(const char* text) {
    write(text, static_cast<int32_t>(std::strlen(text)));
}

template <typename T>
OutputStream& OutputStream::writeInteger(T value) {
    if (streamFlags & STREAM_BINARY) {
        writeValue(&value, sizeof value);
    } else if constexpr (std::is_same_v<T, uint32_t>) {
        // Unsigned values keep their own decimal text: 4294967295 is not written as -1.
        char text[16];
        std::snprintf(text, sizeof text, "%u", value);
        writeText(text);
    } else {
        writeText(String(static_cast<int>(value)).cstr());
    }
    return *this;
}

OutputStream& OutputStream::writeInt32(int32_t value) {
    return writeInteger(value);
}
OutputStream& OutputStream::writeUInt32(uint32_t value) {
    return writeInteger(value);
}
OutputStream& OutputStream::writeInt16(int16_t value) {
    return writeInteger(value);
}
OutputStream& OutputStream::writeUInt16(uint16_t value) {
    return writeInteger(value);
}
OutputStream& OutputStream::writeInt8(int8_t value) {
    return writeInteger(value);
}
OutputStream& OutputStream::writeUInt8(uint8_t value) {
    return writeInteger(value);
}
OutputStream& OutputStream::writeByte(uint8_t value) {
    return writeUInt8(value);
}

OutputStream& OutputStream::writeFloat(float value) {
    if (streamFlags & STREAM_BINARY)
        writeValue(&value, 4);
    return *this;
}

OutputStream& OutputStream::writeDouble(double value) {
    if (streamFlags & STREAM_BINARY)
        writeValue(&value, 8);
    return *this;
}

OutputStream& OutputStream::writeCString(const char* text) {
    if (!text)
        return *this;
    size_t length = std::strlen(text);
    if (length >= static_cast<size_t>(INT32_MAX))
        return *this;  // beyond what one write can take, terminator included
    int32_t count = static_cast<int32_t>(length);
    write(text, (streamFlags & STREAM_BINARY) ? count + 1 : count);
    return *this;
}

}  // namespace mt
