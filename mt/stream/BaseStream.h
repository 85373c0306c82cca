#pragma once
#include <cstdint>

namespace mt {

// Bits of a stream's flags word.
enum StreamFlag : uint32_t {
    // Output: typed values are written as raw bytes; when clear, integers are written as decimal text.
    STREAM_BINARY = 1,
    // The stream does not own the file or buffer it works on and never deletes it.
    STREAM_NOT_OWNER = 2,
    // Multi-byte values are byte-reversed on read and write (big-endian data on this little-endian host).
    STREAM_SWAP_BYTES = 4,
};

// The common part of input and output streams: the flags word. Input and output streams derive from it
// virtually, so a stream that is both holds one flags word.
class BaseStream {
  public:
    explicit BaseStream(uint32_t flags = 0) : streamFlags(flags) {}
    virtual ~BaseStream() = default;
    BaseStream(const BaseStream&) = delete;
    BaseStream& operator=(const BaseStream&) = delete;

    // Bytes that can still be read.
    virtual int32_t available() = 0;
    virtual void reset() = 0;
    // The stream has something to work on.
    virtual bool isOpen() = 0;

    void setSwapBytes(bool swap) {
        if (swap) {
            streamFlags |= STREAM_SWAP_BYTES;
        } else {
            streamFlags &= ~static_cast<uint32_t>(STREAM_SWAP_BYTES);
        }
    }
    uint32_t getStreamFlags() const { return streamFlags; }

  protected:
    bool swapsBytes() const { return (streamFlags & STREAM_SWAP_BYTES) != 0; }
    bool ownsTarget() const { return (streamFlags & STREAM_NOT_OWNER) == 0; }

    uint32_t streamFlags;
};

}  // namespace mt
