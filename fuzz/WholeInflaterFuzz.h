#pragma once
// Raw deflate streams, valid and damaged: the whole-stream inflater may accept one only when zlib inflates
// it to the very same bytes and reaches the end of the stream there, and it must never read or write outside
// its buffers. The first two bytes give the expected output size (up to 64 KiB), the rest is the stream.
//
// The one exception are the streams that zlib refuses for the reasons where libdeflate is known to be laxer
// (see WholeInflater.h): reserved symbols, too many code lengths, a code-length repeat past the end, a
// code-length code of one symbol or none, the unused bit of a one-bit code. Telling those apart from a valid
// stream takes a full decode, so the inflater takes them; this check names them by zlib's message and lets
// them pass, so that any other difference still stops the fuzzer.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mt/file/WholeInflater.h"

namespace fuzzing {

// zlib's messages for the streams it refuses where libdeflate is known to decode them.
inline bool knownLibdeflateLaxness(const char* message) {
    static const char* const known[] = {"invalid literal/length code", "invalid distance code",
                                        "too many length or distance symbols", "invalid code lengths set",
                                        "invalid bit length repeat"};
    if (!message)
        return false;
    for (const char* text : known) {
        if (std::string_view(message) == text)
            return true;
    }
    return false;
}

// An empty string, or what went wrong.
inline std::string checkWholeInflater(const uint8_t* data, size_t size) {
    if (size < 2)
        return "";
    size_t expected = data[0] | static_cast<size_t>(data[1]) << 8;
    const uint8_t* stream = data + 2;
    size_t length = size - 2;
    // Exactly as large as asked, so that the sanitizers see any write past the end.
    std::vector<uint8_t> out(expected);
    bool accepted = mt::file::WholeInflater::inflate(stream, length, out.data(), expected);
    if (!accepted)
        return "";
    z_stream inflater{};
    if (inflateInit2(&inflater, -15) != Z_OK)
        return "";
    std::vector<uint8_t> reference(expected + 1);
    inflater.next_in = const_cast<uint8_t*>(stream);
    inflater.avail_in = static_cast<uInt>(length);
    inflater.next_out = reference.data();
    inflater.avail_out = static_cast<uInt>(reference.size());
    int result = inflate(&inflater, Z_FINISH);
    size_t produced = inflater.total_out;
    bool known = result == Z_DATA_ERROR && knownLibdeflateLaxness(inflater.msg);
    inflateEnd(&inflater);
    if (known)
        return "";
    if (result != Z_STREAM_END)
        return "accepted a stream zlib does not inflate to its end";
    if (produced != expected)
        return "accepted a stream zlib inflates to another size";
    reference.resize(expected);
    if (reference != out)
        return "accepted a stream zlib inflates to other bytes";
    return "";
}

}  // namespace fuzzing
