#include "tools/paktool/MemberCheck.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace paktool {

namespace {

constexpr int32_t kPiece = 1 << 16;

// Ends the zlib stream however the check leaves it.
struct Inflater {
    z_stream stream{};
    bool ready = false;
    Inflater() { ready = inflateInit(&stream) == Z_OK; }
    ~Inflater() {
        if (ready)
            inflateEnd(&stream);
    }
};

std::string shortRead(int64_t missing) {
    return "cannot be read whole: the archive ends " + std::to_string(missing) + " bytes before its end";
}

MemberCheck checkPlain(mt::file::PackArchive& archive, const mt::file::PackEntry& entry,
                       const std::function<bool(const uint8_t*, size_t)>& sink) {
    if (entry.size != entry.storedSize)
        return {"has a stored size (" + std::to_string(entry.storedSize) + ") unlike its size (" +
                std::to_string(entry.size) + ")"};
    std::vector<uint8_t> piece(kPiece);
    for (int32_t done = 0; done < entry.size;) {
        const int32_t want = std::min(kPiece, entry.size - done);
        const int32_t got = archive.readAt(static_cast<int32_t>(entry.offset + static_cast<uint32_t>(done)),
                                           piece.data(), want, entry.size - done);
        if (got > 0 && !sink(piece.data(), static_cast<size_t>(got)))
            return {"", true};
        if (got != want)
            return {shortRead(entry.size - done - std::max(got, 0))};
        done += got;
    }
    return {};
}

MemberCheck checkDeflated(mt::file::PackArchive& archive, const mt::file::PackEntry& entry,
                          const std::function<bool(const uint8_t*, size_t)>& sink) {
    Inflater inflater;
    if (!inflater.ready)
        return {"cannot be inflated: out of memory"};
    z_stream& stream = inflater.stream;
    std::vector<uint8_t> input(kPiece), output(kPiece);
    int64_t produced = 0;
    int32_t consumed = 0;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (stream.avail_in == 0) {
            if (consumed >= entry.storedSize)
                return {"does not inflate: the data ends early (" + std::to_string(produced) + " of " +
                        std::to_string(entry.size) + " bytes)"};
            const int32_t want = std::min(kPiece, entry.storedSize - consumed);
            const int32_t got =
                archive.readAt(static_cast<int32_t>(entry.offset + static_cast<uint32_t>(consumed)),
                               input.data(), want, entry.storedSize - consumed);
            if (got != want)
                return {shortRead(entry.storedSize - consumed - std::max(got, 0))};
            consumed += got;
            stream.next_in = input.data();
            stream.avail_in = static_cast<uInt>(got);
        }
        stream.next_out = output.data();
        stream.avail_out = static_cast<uInt>(output.size());
        status = inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            return {std::string("does not inflate: ") + (stream.msg ? stream.msg : "damaged data")};
        const size_t made = output.size() - stream.avail_out;
        produced += static_cast<int64_t>(made);
        if (produced > entry.size)
            return {"inflates to more than its size of " + std::to_string(entry.size) + " bytes"};
        if (made > 0 && !sink(output.data(), made))
            return {"", true};
    }
    const int64_t left = static_cast<int64_t>(stream.avail_in) + (entry.storedSize - consumed);
    if (produced != entry.size)
        return {"inflates to " + std::to_string(produced) + " bytes, not " + std::to_string(entry.size)};
    if (left != 0)
        return {"has " + std::to_string(left) + " stored bytes after its data"};
    return {};
}

}  // namespace

MemberCheck checkMember(mt::file::PackArchive& archive, const mt::file::PackEntry& entry,
                        const std::function<bool(const uint8_t*, size_t)>& sink) {
    if (!entry.sound)
        return {"lies outside the archive, has impossible sizes or unknown flags"};
    if (entry.flags == 0)
        return checkPlain(archive, entry, sink);
    return checkDeflated(archive, entry, sink);
}

}  // namespace paktool
