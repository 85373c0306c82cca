#include "mt/stream/MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace mt {

MemoryStream::MemoryStream(uint32_t flags)
    : BaseStream(flags),
      capacity(16),
      buffer(new (std::nothrow) uint8_t[16]),
      ownsBuffer(true),
      readPosition(0),
      size(0),
      remaining(0),
      growable(true) {
    if (!buffer)
        capacity = 0;
}

MemoryStream::MemoryStream(int32_t capacity, bool growable, uint32_t flags)
    : BaseStream(flags),
      capacity(0),
      buffer(nullptr),
      ownsBuffer(true),
      readPosition(0),
      size(0),
      remaining(0),
      growable(growable) {
    if (capacity > 0) {
        buffer = new (std::nothrow) uint8_t[static_cast<size_t>(capacity)];
        if (buffer)
            this->capacity = capacity;
    }
}

MemoryStream::MemoryStream(uint8_t* data, int32_t length, uint32_t flags)
    : BaseStream(flags),
      capacity(0),
      buffer(data),
      ownsBuffer((flags & STREAM_NOT_OWNER) == 0),
      readPosition(0),
      size(0),
      remaining(0),
      growable(true) {
    if (data && length > 0)
        capacity = size = remaining = length;
}

MemoryStream::~MemoryStream() {
    if (ownsBuffer)
        delete[] buffer;
}

void MemoryStream::reset() {
    readPosition = size = remaining = 0;
}

int32_t MemoryStream::read(void* dst, int32_t n) {
    if (!dst || n <= 0 || remaining <= 0)
        return 0;
    int32_t count = std::min(n, remaining);
    std::memcpy(dst, buffer + readPosition, static_cast<size_t>(count));
    readPosition += count;
    remaining -= count;
    return count;
}

const uint8_t* MemoryStream::peekBuffer(int32_t& length) {
    length = remaining;
    return remaining > 0 ? buffer + readPosition : nullptr;
}

bool MemoryStream::peekByte(uint8_t& value) {
    if (readPosition >= size)
        return false;
    value = buffer[readPosition];
    return true;
}

int32_t MemoryStream::readInto(OutputStream& out, int32_t maxBytes) {
    int32_t count = std::min(maxBytes, remaining);
    if (count <= 0)
        return 0;
    int32_t accepted;
    if (&out == static_cast<OutputStream*>(this)) {
        // Writing into itself may move the buffer: the bytes travel through a copy. Without memory for the
        // copy nothing moves.
        std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[static_cast<size_t>(count)]);
        if (!copy)
            return 0;
        std::memcpy(copy.get(), buffer + readPosition, static_cast<size_t>(count));
        readPosition += count;
        remaining -= count;
        accepted = write(copy.get(), count);
        return accepted;
    }
    accepted = std::clamp(out.write(buffer + readPosition, count), 0, count);
    readPosition += accepted;
    remaining -= accepted;
    return accepted;
}

bool MemoryStream::grow(int32_t n) {
    int64_t wanted = std::max<int64_t>(2 * (static_cast<int64_t>(remaining) + n), 16);
    if (wanted > INT32_MAX)
        return false;
    int32_t newCapacity = static_cast<int32_t>(wanted);
    if (newCapacity == capacity) {
        // Same size: the buffer is reused, the unread bytes moved to its start.
        if (remaining > 0)
            std::memmove(buffer, buffer + readPosition, static_cast<size_t>(remaining));
    } else {
        auto* grown = new (std::nothrow) uint8_t[static_cast<size_t>(newCapacity)];
        if (!grown)
            return false;
        if (remaining > 0)
            std::memcpy(grown, buffer + readPosition, static_cast<size_t>(remaining));
        delete[] buffer;
        buffer = grown;
        capacity = newCapacity;
    }
    size -= readPosition;
    readPosition = 0;
    return true;
}

int32_t MemoryStream::write(const void* src, int32_t n) {
    if (!src || n <= 0)
        return 0;
    // Growth keeps at least two spare bytes after the data.
    if (static_cast<int64_t>(n) + size + 1 >= capacity) {
        if (!growable || !ownsBuffer || !grow(n))
            return 0;
    }
    std::memcpy(buffer + size, src, static_cast<size_t>(n));
    size += n;
    remaining += n;
    return n;
}

bool MemoryStream::setReadPosition(int32_t position) {
    if (position < 0 || position > size)
        return false;
    readPosition = position;
    remaining = size - position;
    return true;
}

bool MemoryStream::setWritePosition(int32_t position) {
    if (position > capacity || position < readPosition)
        return false;
    // Bytes that were never written read as zero rather than as whatever the buffer held.
    if (position > size)
        std::memset(buffer + size, 0, static_cast<size_t>(position - size));
    size = position;
    remaining = position - readPosition;
    return true;
}

}  // namespace mt
