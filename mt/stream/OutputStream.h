#pragma once
#include <cstdarg>
#include <cstdint>

#include "mt/stream/BaseStream.h"

namespace mt {

// A stream that accepts bytes. Typed writes follow STREAM_BINARY: set, the value's little-endian bytes are
// written (reversed with STREAM_SWAP_BYTES); clear, integers are written as decimal text without separator
// and floating-point values write nothing.
class OutputStream : public virtual BaseStream {
  public:
    // Bytes accepted.
    virtual int32_t write(const void* src, int32_t n) = 0;
    // Formatted text, written without terminator; returns what write accepted (0 when out of memory).
    virtual int32_t printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual int32_t vprintf(const char* format, va_list arguments) __attribute__((format(printf, 2, 0)));
    // Origin 0: setPosition(offset); 1: setPosition(tell() + offset); false for any other origin.
    virtual bool seek(int32_t offset, int32_t origin);
    virtual bool setPosition(int32_t position) = 0;
    virtual int32_t tell() = 0;

    OutputStream& writeInt32(int32_t value);
    OutputStream& writeUInt32(uint32_t value);
    OutputStream& writeInt16(int16_t value);
    OutputStream& writeUInt16(uint16_t value);
    OutputStream& writeInt8(int8_t value);
    OutputStream& writeUInt8(uint8_t value);
    OutputStream& writeByte(uint8_t value);
    OutputStream& writeFloat(float value);
    OutputStream& writeDouble(double value);
    // The characters of text, followed by its NUL when STREAM_BINARY is set. A null text writes nothing.
    OutputStream& writeCString(const char* text);

  protected:
    OutputStream() = default;

  private:
    void writeValue(const void* bytes, int size);
    void writeText(const char* text);
    template <typename T>
    OutputStream& writeInteger(T value);
};

}  // namespace mt
