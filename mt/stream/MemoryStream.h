#pragma once
#include <cstdint>

#include "mt/stream/InputStream.h"
#include "mt/stream/OutputStream.h"

namespace mt {

namespace detail {
// The input and output sides of a stream that is both have their own tell and setPosition (the read position
// and the end of the written data). These two classes route the shared names to separate functions.
class MemoryStreamInputSide : public InputStream {
  public:
    bool setPosition(int32_t position) final { return setReadPosition(position); }
    int32_t tell() final { return getReadPosition(); }
    virtual bool setReadPosition(int32_t position) = 0;
    virtual int32_t getReadPosition() = 0;
};
class MemoryStreamOutputSide : public OutputStream {
  public:
    bool setPosition(int32_t position) final { return setWritePosition(position); }
    int32_t tell() final { return getWritePosition(); }
    virtual bool setWritePosition(int32_t position) = 0;
    virtual int32_t getWritePosition() = 0;
};
}  // namespace detail

// A byte buffer that is both an input and an output stream. Writes append at the end of the written data;
// reads consume from the read position. A growable stream that owns its buffer doubles the live data plus the
// write when it runs out of room, and drops the bytes already read while doing so. Buffers the stream owns
// are allocated with new[] and released with delete[].
class MemoryStream : public detail::MemoryStreamInputSide, public detail::MemoryStreamOutputSide {
  public:
    // Capacity 16, owned, growable.
    explicit MemoryStream(uint32_t flags);
    // A new owned buffer of capacity bytes (none for capacity <= 0).
    MemoryStream(int32_t capacity, bool growable, uint32_t flags);
    // Wraps data holding length bytes, all readable; growable. Owned (freed with delete[]) unless
    // STREAM_NOT_OWNER is set.
    MemoryStream(uint8_t* data, int32_t length, uint32_t flags);
    ~MemoryStream() override;

    int32_t available() override { return remaining; }
    // Empties the stream; the buffer and capacity are kept.
    void reset() override;
    bool isOpen() override { return buffer != nullptr; }

    int32_t read(void* dst, int32_t n) override;
    const uint8_t* peekBuffer(int32_t& length) override;
    bool peekByte(uint8_t& value) override;
    int32_t readInto(OutputStream& out, int32_t maxBytes) override;
    int32_t write(const void* src, int32_t n) override;

    // Read side: fails for a position outside 0..size.
    bool setReadPosition(int32_t position) override;
    int32_t getReadPosition() override { return readPosition; }
    // Write side: fails beyond the capacity or before the read position.
    bool setWritePosition(int32_t position) override;
    int32_t getWritePosition() override { return size; }

    uint8_t* dataAtReadPosition() { return buffer + readPosition; }
    uint8_t* getBuffer() { return buffer; }
    int32_t getCapacity() const { return capacity; }
    int32_t getSize() const { return size; }
    bool isGrowable() const { return growable; }

  private:
    bool grow(int32_t n);

    int32_t capacity;
    uint8_t* buffer;
    bool ownsBuffer;
    int32_t readPosition;
    int32_t size;
    int32_t remaining;
    bool growable;
};

}  // namespace mt
