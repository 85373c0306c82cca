#pragma once
#include <cstdint>

#include "mt/stream/BaseStream.h"

namespace mt {

class OutputStream;

// A stream that delivers bytes. Typed reads take their width from read(); with STREAM_SWAP_BYTES the bytes of
// the value are reversed. A short read leaves the rest of the target as it was (readBool clears it first).
class InputStream : public virtual BaseStream {
  public:
    // Seek origins of input streams.
    enum Origin : int32_t { FROM_START = 0, FROM_CURRENT = 1, FROM_END = 2 };

    virtual InputStream& readDouble(double& value);
    virtual InputStream& readFloat(float& value);
    virtual InputStream& readUInt32(uint32_t& value);
    virtual InputStream& readInt32(int32_t& value);
    virtual InputStream& readUInt16(uint16_t& value);
    virtual InputStream& readInt16(int16_t& value);
    virtual InputStream& readUInt8(uint8_t& value);
    virtual InputStream& readInt8(int8_t& value);
    // Nonzero is true; false when nothing could be read.
    virtual InputStream& readBool(bool& value);
    // Moves up to maxBytes bytes to out; returns how many. The base class moves nothing.
    virtual int32_t readInto(OutputStream& out, int32_t maxBytes);
    // Bytes delivered into dst (0 at the end of the data).
    virtual int32_t read(void* dst, int32_t n) = 0;
    // Origin 0 from the start, 1 from the current position, 2 from the end; false for any other origin.
    virtual bool seek(int32_t offset, int32_t origin);
    virtual bool setPosition(int32_t position) = 0;
    // A direct view of the unread bytes where the stream has one; else null with length 0.
    virtual const uint8_t* peekBuffer(int32_t& length);
    // The next byte without consuming it.
    virtual bool peekByte(uint8_t& value) = 0;
    virtual int32_t tell() = 0;

    // Reads one line into buffer (at most capacity - 1 bytes, always terminated). LF, CR and CR LF end a line
    // and are consumed; a longer line is cut and its rest is returned by the next call. False at the end of
    // the data when nothing was read, and for a capacity below 2 (no byte fits; nothing is consumed).
    bool readLine(char* buffer, int32_t capacity);

  protected:
    InputStream() = default;

  private:
    // Reads exactly size bytes of a value into bytes, reversing them when the stream swaps bytes.
    void readValue(void* bytes, int size);
};

}  // namespace mt
