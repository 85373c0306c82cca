#pragma once
// Reads one member's stored bytes straight from the archive and checks them as far as the format allows:
// a plain member's stored size is its size; a deflated member's zlib stream inflates to exactly its size,
// its check value (at the stream's end) matches, and it ends where its stored bytes end. The bytes go to a
// sink as they are produced, in pieces of at most 64 KiB, so memory stays bounded by that.

#include <cstdint>
#include <functional>
#include <string>

#include "mt/file/PackArchive.h"

namespace paktool {

struct MemberCheck {
    std::string problem;      // empty when the member is sound
    bool sinkFailed = false;  // the sink refused a piece; problem is empty then
};

// sink(bytes, count) returns false to stop.
MemberCheck checkMember(mt::file::PackArchive& archive, const mt::file::PackEntry& entry,
                        const std::function<bool(const uint8_t*, size_t)>& sink);

}  // namespace paktool
