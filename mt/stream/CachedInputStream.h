#pragma once
#include <cstdint>

#include "mt/stream/InputStream.h"

namespace mt {

// A read buffer in front of another input stream. Small reads are served from the buffer; a read larger than
// the buffer goes straight from the source into the caller's memory. The source is never owned.
class CachedInputStream : public InputStream {
  public:
    // Allocates and owns a buffer of bufferSize bytes (none for a size below 1: every read then passes
    // through).
    CachedInputStream(InputStream* source, int32_t bufferSize);
    // Works in the caller's buffer, which it does not free (sets STREAM_NOT_OWNER).
    CachedInputStream(InputStream* source, uint8_t* buffer, int32_t bufferSize);
    ~CachedInputStream() override;

    int32_t available() override;
    // Gives the unread buffered bytes back to the source and empties the buffer.
    void reset() override;
    bool isOpen() override { return source != nullptr; }

    int32_t read(void* dst, int32_t n) override;
    bool setPosition(int32_t position) override;
    bool peekByte(uint8_t& value) override;
    int32_t tell() override { return position; }

  private:
    InputStream* source;
    uint8_t* buffer;
    // End of the source's data, where the source stood plus what it could deliver when the cache was built.
    int64_t sourceEnd;
    int32_t bufferSize;
    int32_t readIndex;
    int32_t fill;
    int32_t position;
    // Where the source stands: buffer[fill] would be the source's byte at sourcePosition.
    int32_t sourcePosition;
};

}  // namespace mt
