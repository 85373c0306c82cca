#include "mt/stream/CachedInputStream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace mt {

CachedInputStream::CachedInputStream(InputStream* source, int32_t bufferSize)
    : BaseStream(0),
      source(source),
      buffer(nullptr),
      sourceEnd(0),
      bufferSize(0),
      readIndex(0),
      fill(0),
      position(0),
      sourcePosition(0) {
    if (bufferSize > 0) {
        buffer = new (std::nothrow) uint8_t[static_cast<size_t>(bufferSize)];
        if (buffer)
            this->bufferSize = bufferSize;
    }
    if (source) {
        position = sourcePosition = source->tell();
        sourceEnd = static_cast<int64_t>(position) + source->available();
    }
}

CachedInputStream::CachedInputStream(InputStream* source, uint8_t* buffer, int32_t bufferSize)
    : BaseStream(STREAM_NOT_OWNER),
      source(source),
      buffer(buffer),
      sourceEnd(0),
      bufferSize(buffer ? std::max(bufferSize, 0) : 0),
      readIndex(0),
      fill(0),
      position(0),
      sourcePosition(0) {
    if (source) {
        position = sourcePosition = source->tell();
        sourceEnd = static_cast<int64_t>(position) + source->available();
    }
}

CachedInputStream::~CachedInputStream() {
    if (ownsTarget())
        delete[] buffer;
}

int32_t CachedInputStream::available() {
    return static_cast<int32_t>(std::clamp<int64_t>(sourceEnd - position, 0, INT32_MAX));
}

void CachedInputStream::reset() {
    if (source && sourcePosition != position)
        source->seek(-(sourcePosition - position), FROM_CURRENT);
    sourcePosition = position;
    readIndex = fill = 0;
}

int32_t CachedInputStream::read(void* dst, int32_t n) {
    if (!dst || n <= 0)
        return 0;
    auto* out = static_cast<uint8_t*>(dst);
    int32_t avail = fill - readIndex;
    if (avail >= n) {
        std::memcpy(out, buffer + readIndex, static_cast<size_t>(n));
        readIndex += n;
        position += n;
        return n;
    }
    if (avail > 0)
        std::memcpy(out, buffer + readIndex, static_cast<size_t>(avail));
    readIndex = fill = 0;
    position += avail;
    int32_t rest = n - avail;
    if (!source)
        return avail;
    if (rest > bufferSize) {
        int32_t got = std::max(0, source->read(out + avail, rest));
        position += got;
        sourcePosition += got;
        return avail + got;
    }
    int32_t got = std::max(0, source->read(buffer, bufferSize));
    fill = got;
    sourcePosition += got;
    if (got < 1)
        return avail;
    int32_t k = std::min(rest, got);
    std::memcpy(out + avail, buffer, static_cast<size_t>(k));
    readIndex = k;
    position += k;
    return avail + k;
}

bool CachedInputStream::peekByte(uint8_t& value) {
    if (fill - readIndex > 0) {
        value = buffer[readIndex];
        return true;
    }
    readIndex = fill = 0;
    if (!source)
        return false;
    if (sourcePosition != position)
        source->setPosition(position);
    sourcePosition = position;
    return source->peekByte(value);
}

bool CachedInputStream::setPosition(int32_t newPosition) {
    int64_t index = static_cast<int64_t>(newPosition) - (static_cast<int64_t>(sourcePosition) - fill);
    if (index >= 0 && index < fill) {
        readIndex = static_cast<int32_t>(index);
        position = newPosition;
        return true;
    }
    if (!source || newPosition < 0)
        return false;
    if (source->setPosition(newPosition)) {
        readIndex = fill = 0;
        position = sourcePosition = newPosition;
        return true;
    }
    // The source refused. Normally it stays where it was and so does the cache; if it moved anyway, the
    // cache follows it.
    int32_t actual = source->tell();
    if (actual >= 0 && actual != sourcePosition) {
        readIndex = fill = 0;
        position = sourcePosition = actual;
    }
    return false;
}

}  // namespace mt
