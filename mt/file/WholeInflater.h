#pragma once
#include <cstddef>
#include <cstdint>

namespace mt::file {

// Inflates a raw deflate stream whose whole output is wanted at once, straight into the caller's buffer,
// with libdeflate, which is faster than zlib at exactly this job. It only takes a stream that decodes to
// exactly the expected size; anything else it refuses, so that the caller can inflate with zlib instead and
// every such outcome stays zlib's.
//
// On streams that zlib inflates to their end both decoders give the same bytes. Streams that zlib refuses
// may still be taken by libdeflate, which is laxer in a few places: it decodes the literal/length symbols
// 286 and 287 as length 258 and the distance symbols 30 and 31 as distances from 24577, it takes up to 288
// and 32 code lengths in a dynamic block header, it lets code length repeats run past the last length, it
// takes a code-length code of one symbol or none, and in a code of one symbol of one bit it reads the unused
// bit value as that symbol too (an empty distance code as distance 1). No well-formed encoder writes any of
// these; telling them apart needs a full decode, so they are not checked here.
class WholeInflater {
  public:
    // True when input holds a complete raw deflate stream whose output is exactly outSize bytes; they are
    // then in out. False otherwise, with out in any state. Bytes after the stream's last block are ignored.
    static bool inflate(const uint8_t* input, size_t inputSize, uint8_t* out, size_t outSize);
};

}  // namespace mt::file
