#include "mt/graphics/TextureFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSWPackedAlpha.h"
#include "mt/graphics/TextureDataSWPackedPlain.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/graphics/TextureDataSWRawAdv.h"
#include "mt/graphics/TexturePacker.h"
#include "mt/stream/FileInputStream.h"

namespace mt::graphics {

namespace {

// Rotated raw data keeps its picture in a square; squares above this side are not made for file data
// (4096 x 4096 at 32 bits is 64 MB).
constexpr int32_t ADV_MAX_SIDE = 4096;
// Raw pixels are converted this many bytes at a time.
constexpr int32_t CONVERT_CHUNK = 1 << 16;

int32_t readInt32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

int16_t readInt16(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

void writeInt32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
    p[3] = static_cast<uint8_t>(value >> 24);
}

file::FileManager* fileManager() {
    return static_cast<file::FileManager*>(findService(SERVICE_FILE_MANAGER));
}

// Reads exactly n bytes unless the stream ends first; returns the bytes read.
int64_t readFully(InputStream& in, void* dst, int64_t n) {
    int64_t done = 0;
    while (done < n) {
        const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(n - done, 1 << 30));
        const int32_t got = in.read(static_cast<uint8_t*>(dst) + done, chunk);
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

// Formats between which pixels can be converted while reading: 16- and 32-bit layouts with colour fields.
bool convertible(int32_t format) {
    const int32_t bytes = getBytesPerPixel(format);
    return (bytes == 2 || bytes == 4) && isPlainFormat(format) && format != A_8;
}

template <int InBytes, int OutBytes>
void convertRun(const uint8_t* in, uint8_t* out, int64_t count, const PixelConversion& conversion) {
    for (int64_t i = 0; i < count; ++i)
        storePixel(out + i * OutBytes, OutBytes, conversion(loadPixel(in + i * InBytes, InBytes)));
}

// Converts count pixels of 2 or 4 bytes.
void convertPixels(const uint8_t* in, int32_t inBytes, uint8_t* out, int32_t outBytes, int64_t count,
                   const PixelConversion& conversion) {
    if (inBytes == 4 && outBytes == 4)
        convertRun<4, 4>(in, out, count, conversion);
    else if (inBytes == 4)
        convertRun<4, 2>(in, out, count, conversion);
    else if (outBytes == 4)
        convertRun<2, 4>(in, out, count, conversion);
    else
        convertRun<2, 2>(in, out, count, conversion);
}

bool readHeader(InputStream& in, GfxHeader& header) {
    uint8_t bytes[GFX_HEADER_SIZE];
    if (readFully(in, bytes, GFX_HEADER_SIZE) != GFX_HEADER_SIZE)
        return false;
    header = parseTextureHeader(bytes);
    return true;
}

// Frames read as they are stored, into a level 0 of the given pitch.
bool readStored(InputStream& in, TextureDataSW& data, int64_t total, int32_t pitch) {
    if (total == 0)
        return true;
    void* pixels = data.allocateLevel0(static_cast<int>(total));
    if (!pixels || readFully(in, pixels, total) != total)
        return false;
    data.setLevel0(pixels, pitch);
    return true;
}

// Raw frames converted pixel by pixel, a chunk at a time; frame offsets follow the new pixel size.
bool readRawConverted(InputStream& in, TextureDataSW& data, int64_t total, const PixelFormatInfo& from,
                      const PixelFormatInfo& to, bool colorIndexed, int32_t width) {
    const int32_t inBytes = from.bytesPerPixel;
    const int32_t outBytes = to.bytesPerPixel;
    const PixelConversion conversion(from, to, colorIndexed);
    const int64_t pixelCount = total / inBytes;
    if (pixelCount * outBytes > INT32_MAX)
        return false;
    if (pixelCount > 0) {
        uint8_t* out = static_cast<uint8_t*>(data.allocateLevel0(static_cast<int>(pixelCount * outBytes)));
        if (!out)
            return false;
        std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(total, CONVERT_CHUNK)));
        int64_t left = pixelCount;
        while (left > 0) {
            const int64_t pixels = std::min<int64_t>(left, static_cast<int64_t>(chunk.size()) / inBytes);
            if (readFully(in, chunk.data(), pixels * inBytes) != pixels * inBytes)
                return false;
            convertPixels(chunk.data(), inBytes, out, outBytes, pixels, conversion);
            out += pixels * outBytes;
            left -= pixels;
        }
        data.setLevel0(data.lock()->pixels, width);
    }
    int32_t* offsets = data.getFrameTable();
    for (int i = 0; i < data.getFrameCount(); ++i)
        offsets[i] = static_cast<int32_t>(static_cast<int64_t>(offsets[i]) / inBytes * outBytes);
    return true;
}

// Frame 0's rows centred in the square of rotated data; pixels without alpha are cleared.
bool readRawIntoSquare(InputStream& in, TextureDataSWRawAdv& data, const GfxHeader& header,
                       const PixelFormatInfo& from, const PixelFormatInfo& to, bool colorIndexed) {
    uint8_t* square = static_cast<uint8_t*>(data.lock()->pixels);
    const int64_t side = data.getSquareSide();
    if (!square || side < header.width || side < header.height)
        return false;
    const int32_t inBytes = from.bytesPerPixel;
    const int32_t outBytes = to.bytesPerPixel;
    const bool same = from.format == to.format;
    const PixelConversion conversion(from, to, colorIndexed);
    const int64_t left = (side - header.width) / 2;
    const int64_t top = (side - header.height) / 2;
    std::vector<uint8_t> row(static_cast<size_t>(header.width) * inBytes);
    for (int32_t y = 0; y < header.height; ++y) {
        if (readFully(in, row.data(), static_cast<int64_t>(row.size())) != static_cast<int64_t>(row.size()))
            return false;
        uint8_t* out = square + ((top + y) * side + left) * outBytes;
        if (same) {
            std::memcpy(out, row.data(), row.size());
            continue;
        }
        convertPixels(row.data(), inBytes, out, outBytes, header.width, conversion);
    }
    // Formats without an alpha field have no pixels to clear; outside the picture the square is still zero.
    if (to.alphaMask && (outBytes == 2 || outBytes == 4)) {
        for (int32_t y = 0; y < header.height; ++y) {
            uint8_t* out = square + ((top + y) * side + left) * outBytes;
            for (int32_t x = 0; x < header.width; ++x, out += outBytes)
                if ((loadPixel(out, outBytes) >> to.alphaShift) == 0)
                    storePixel(out, outBytes, 0);
        }
    }
    return true;
}

// Walks the segments of packed data from start to end without regard to rows, as the conversion does.
// visit(word offsets and run spans) is told each segment; false when a segment does not fit.
struct Segment {
    size_t start;
    uint32_t skip;
    uint32_t counts[2];
    size_t runStarts[2];
    int runs;
    size_t end;
};

bool nextSegment(const uint8_t* data, size_t size, size_t pos, int runs, uint32_t bytesPerPixel,
                 Segment& out) {
    out.start = pos;
    out.runs = runs;
    if (size - pos < 4)
        return false;
    std::memcpy(&out.skip, data + pos, 4);
    pos += 4;
    if (out.skip % bytesPerPixel)
        return false;
    for (int r = 0; r < runs; ++r) {
        if (size - pos < 4)
            return false;
        std::memcpy(&out.counts[r], data + pos, 4);
        pos += 4;
        if (out.counts[r] % bytesPerPixel || out.counts[r] > size - pos)
            return false;
        out.runStarts[r] = pos;
        pos += out.counts[r];
    }
    out.end = pos;
    return true;
}

// Checks that packed data is a sequence of whole segments and marks the frame offsets that do not fall on
// a segment's start with -1.
bool checkPacked(const uint8_t* data, size_t size, TextureDataSW& texture, int32_t storage,
                 uint32_t bytesPerPixel) {
    const int runs = storage == STORAGE_PACKED_ALPHA ? 2 : 1;
    int32_t* offsets = texture.getFrameTable();
    const int frames = texture.getFrameCount();
    int nextFrame = 0;
    auto mapOffsets = [&](size_t at) {
        for (; nextFrame < frames && offsets[nextFrame] <= static_cast<int64_t>(at); ++nextFrame)
            if (offsets[nextFrame] != static_cast<int64_t>(at))
                offsets[nextFrame] = -1;
    };
    Segment segment;
    for (size_t pos = 0; pos < size; pos = segment.end) {
        if (!nextSegment(data, size, pos, runs, bytesPerPixel, segment))
            return false;
        mapOffsets(pos);
    }
    mapOffsets(size);
    for (; nextFrame < frames; ++nextFrame)
        offsets[nextFrame] = -1;
    return true;
}

// Converts packed frames between pixel formats: skip and count words are rescaled to the new pixel size and
// each run's pixels converted; frame offsets move to where their frames begin in the new data (-1 for an
// offset that does not fall on a segment start).
bool convertPacked(const std::vector<uint8_t>& stored, TextureDataSW& data, int32_t storage,
                   const PixelFormatInfo& from, const PixelFormatInfo& to, bool colorIndexed) {
    const int runs = storage == STORAGE_PACKED_ALPHA ? 2 : 1;
    const uint32_t inBytes = static_cast<uint32_t>(from.bytesPerPixel);
    const uint32_t outBytes = static_cast<uint32_t>(to.bytesPerPixel);
    const size_t size = stored.size();

    // First pass: the converted size.
    uint64_t converted = 0;
    Segment segment;
    for (size_t pos = 0; pos < size; pos = segment.end) {
        if (!nextSegment(stored.data(), size, pos, runs, inBytes, segment))
            return false;
        converted += 4u * (1 + runs);
        for (int r = 0; r < runs; ++r)
            converted += segment.counts[r] / inBytes * outBytes;
    }
    if (converted > static_cast<uint64_t>(INT32_MAX))
        return false;
    if (converted == 0)
        return true;
    uint8_t* out = static_cast<uint8_t*>(data.allocateLevel0(static_cast<int>(converted)));
    if (!out)
        return false;

    PixelFormatInfo formats[2][2];  // [partial][from, to]
    for (int partial = 0; partial < 2; ++partial) {
        formats[partial][0] = makePixelFormatInfo(packedPixelFormat(from.format, colorIndexed, partial));
        formats[partial][1] = makePixelFormatInfo(packedPixelFormat(to.format, colorIndexed, partial));
    }
    const PixelConversion conversions[2] = {PixelConversion(formats[0][0], formats[0][1], colorIndexed),
                                            PixelConversion(formats[1][0], formats[1][1], colorIndexed)};
    // Frame offsets are sums of frame sizes, so they come in rising order: each is met at the start of a
    // segment, or lies inside one (and is marked -1).
    int32_t* offsets = data.getFrameTable();
    const int frames = data.getFrameCount();
    std::vector<int64_t> sourceOffsets(offsets, offsets + frames);
    int nextFrame = 0;
    auto mapOffsets = [&](size_t at, size_t written) {
        for (; nextFrame < frames && sourceOffsets[nextFrame] <= static_cast<int64_t>(at); ++nextFrame)
            offsets[nextFrame] =
                sourceOffsets[nextFrame] == static_cast<int64_t>(at) ? static_cast<int32_t>(written) : -1;
    };

    size_t written = 0;
    auto putWord = [&](uint32_t value) {
        writeInt32(out + written, value);
        written += 4;
    };
    for (size_t pos = 0; pos < size; pos = segment.end) {
        nextSegment(stored.data(), size, pos, runs, inBytes, segment);
        mapOffsets(pos, written);
        putWord(segment.skip / inBytes * outBytes);
        for (int r = 0; r < runs; ++r) {
            const uint32_t count = segment.counts[r] / inBytes;
            putWord(count * outBytes);
            const bool partial = runs == 2 && r == 0;
            const uint8_t* source = stored.data() + segment.runStarts[r];
            if (formats[partial][0].format == formats[partial][1].format)
                std::memcpy(out + written, source, count * outBytes);
            else
                convertPixels(source, static_cast<int32_t>(inBytes), out + written,
                              static_cast<int32_t>(outBytes), count, conversions[partial]);
            written += count * outBytes;
        }
    }
    mapOffsets(size, written);
    for (; nextFrame < frames; ++nextFrame)
        offsets[nextFrame] = -1;
    return true;
}

bool validHeader(const GfxHeader& header) {
    return header.width >= 1 && header.width <= GFX_MAX_SIDE && header.height >= 1 &&
           header.height <= GFX_MAX_SIDE && header.frameCount >= 1 && getBytesPerPixel(header.format) > 0;
}

// --- rescaling ---

// Nearest-neighbour source index of each target index, as a stretched draw samples: (i x (n << 16) / m)
// >> 16.
std::vector<int32_t> sampleIndices(int32_t source, int32_t target) {
    std::vector<int32_t> indices(static_cast<size_t>(target));
    const int64_t step = (static_cast<int64_t>(source) << 16) / target;
    for (int32_t i = 0; i < target; ++i)
        indices[i] = static_cast<int32_t>(std::min<int64_t>((i * step) >> 16, source - 1));
    return indices;
}

// Raw frames sampled to the target size; false when a frame does not lie in the data.
bool scaleRaw(TextureDataSW& data, int32_t width, int32_t height, int32_t targetWidth, int32_t targetHeight,
              int32_t bytesPerPixel, std::vector<uint8_t>& out, std::vector<int32_t>& offsets) {
    const uint8_t* pixels = static_cast<const uint8_t*>(data.lock()->pixels);
    const int64_t frameBytes = static_cast<int64_t>(width) * height * bytesPerPixel;
    const int64_t targetFrameBytes = static_cast<int64_t>(targetWidth) * targetHeight * bytesPerPixel;
    const int frames = std::max(1, data.getFrameCount());
    if (!pixels || frameBytes * frames > data.getDataSize())
        return false;
    const std::vector<int32_t> columns = sampleIndices(width, targetWidth);
    const std::vector<int32_t> rows = sampleIndices(height, targetHeight);
    out.assign(static_cast<size_t>(targetFrameBytes * frames), 0);
    for (int f = 0; f < frames; ++f) {
        const int64_t offset = data.getFrameOffset(f);
        offsets.push_back(static_cast<int32_t>(targetFrameBytes * f));
        if (offset < 0 || offset + frameBytes > data.getDataSize())
            continue;
        uint8_t* target = out.data() + targetFrameBytes * f;
        for (int32_t y = 0; y < targetHeight; ++y) {
            const uint8_t* row = pixels + offset + static_cast<int64_t>(rows[y]) * width * bytesPerPixel;
            for (int32_t x = 0; x < targetWidth; ++x, target += bytesPerPixel)
                std::memcpy(target, row + static_cast<int64_t>(columns[x]) * bytesPerPixel, bytesPerPixel);
        }
    }
    return true;
}

// Where each row of a packed frame begins, and where the frame ends; false when the frame is malformed.
bool packedRowStarts(const uint8_t* data, size_t size, int64_t offset, int32_t width, int32_t height,
                     int32_t bytesPerPixel, int32_t storage, std::vector<size_t>& starts, size_t& end) {
    if (offset < 0 || static_cast<uint64_t>(offset) > size)
        return false;
    starts.clear();
    size_t pos = static_cast<size_t>(offset);
    const int runs = storage == STORAGE_PACKED_ALPHA ? 2 : 1;
    Segment segment;
    for (int32_t row = 0; row < height; ++row) {
        starts.push_back(pos);
        int64_t column = 0;
        while (column < width) {
            if (!nextSegment(data, size, pos, runs, static_cast<uint32_t>(bytesPerPixel), segment))
                return false;
            column += segment.skip / bytesPerPixel;
            for (int r = 0; r < runs; ++r)
                column += segment.counts[r] / bytesPerPixel;
            pos = segment.end;
        }
    }
    end = pos;
    return true;
}

// Appends one packed row sampled from the runs of a source row: target column x shows source column
// columns[x]. The segments are those the packer writes for the sampled row (maximal runs, a final segment
// for trailing transparent pixels), but the work follows the runs, so transparent stretches cost nothing.
void appendSampledRow(const std::vector<PackedRun>& runs, const std::vector<int32_t>& columns,
                      int32_t bytesPerPixel, int32_t storage, std::vector<uint8_t>& out) {
    const int32_t targetWidth = static_cast<int32_t>(columns.size());
    const bool alphaRuns = storage == STORAGE_PACKED_ALPHA;
    // The target columns [first, end) of each source run (columns rise, so each run maps to one span).
    struct Span {
        int32_t first, end;
        const PackedRun* run;
    };
    std::vector<Span> spans;
    spans.reserve(runs.size());
    for (const PackedRun& run : runs) {
        const auto first = std::lower_bound(columns.begin(), columns.end(), run.column);
        const auto end = std::lower_bound(first, columns.end(), run.column + run.count);
        if (first != end)
            spans.push_back({static_cast<int32_t>(first - columns.begin()),
                             static_cast<int32_t>(end - columns.begin()), &run});
    }
    auto word = [&](uint32_t value) {
        const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                  static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        out.insert(out.end(), bytes, bytes + 4);
    };
    // Appends the count word and the pixels of the contiguous spans from index i on that have the given
    // kind (partial or not; any kind for plain storage) and start where the previous one ended.
    size_t next = 0;
    int32_t x = 0;
    auto emitRun = [&](bool anyKind, bool partial) {
        const size_t countAt = out.size();
        word(0);
        int32_t pixels = 0;
        while (next < spans.size() && spans[next].first == x &&
               (anyKind || spans[next].run->partial == partial)) {
            const Span& span = spans[next];
            for (int32_t t = span.first; t < span.end; ++t) {
                const uint8_t* from =
                    span.run->pixels + static_cast<size_t>(columns[t] - span.run->column) * bytesPerPixel;
                out.insert(out.end(), from, from + bytesPerPixel);
            }
            pixels += span.end - span.first;
            x = span.end;
            ++next;
        }
        const uint32_t bytes = static_cast<uint32_t>(pixels) * static_cast<uint32_t>(bytesPerPixel);
        for (int i = 0; i < 4; ++i)
            out[countAt + i] = static_cast<uint8_t>(bytes >> (8 * i));
    };
    while (x < targetWidth) {
        const int32_t skipTo = next < spans.size() ? spans[next].first : targetWidth;
        word(static_cast<uint32_t>(skipTo - x) * static_cast<uint32_t>(bytesPerPixel));
        x = skipTo;
        if (alphaRuns) {
            emitRun(false, true);
            emitRun(false, false);
        } else {
            emitRun(true, false);
        }
    }
}

// Packed frames walked a row at a time, sampled to the target size and packed again. Frames must not
// share data, so that the work stays in proportion to the data (sampling never adds runs to a row).
bool scalePacked(TextureDataSW& data, int32_t width, int32_t height, int32_t targetWidth,
                 int32_t targetHeight, std::vector<uint8_t>& out, std::vector<int32_t>& offsets) {
    const uint8_t* pixels = static_cast<const uint8_t*>(data.lock()->pixels);
    const int32_t format = data.getPixelFormat();
    const int32_t bytesPerPixel = getBytesPerPixel(format);
    const int32_t storage = data.getStorageFormat();
    const size_t size = static_cast<size_t>(std::max(0, data.getDataSize()));
    if (!pixels || (bytesPerPixel != 2 && bytesPerPixel != 4))
        return false;
    const int frames = std::max(1, data.getFrameCount());

    // Row starts of every frame, found in the order of the frames' offsets.
    std::vector<int> order(static_cast<size_t>(frames));
    for (int f = 0; f < frames; ++f)
        order[f] = f;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return data.getFrameOffset(a) < data.getFrameOffset(b); });
    std::vector<std::vector<size_t>> rowStarts(static_cast<size_t>(frames));
    size_t previousEnd = 0;
    for (int f : order) {
        const int64_t offset = data.getFrameOffset(f);
        size_t end = 0;
        if (offset < static_cast<int64_t>(previousEnd) ||
            !packedRowStarts(pixels, size, offset, width, height, bytesPerPixel, storage, rowStarts[f], end))
            return false;
        previousEnd = end;
    }

    const std::vector<int32_t> columns = sampleIndices(width, targetWidth);
    const std::vector<int32_t> rows = sampleIndices(height, targetHeight);
    std::vector<PackedRun> runs;
    for (int f = 0; f < frames; ++f) {
        if (out.size() > static_cast<size_t>(INT32_MAX))
            return false;
        offsets.push_back(static_cast<int32_t>(out.size()));
        int32_t walked = -1;
        for (int32_t y = 0; y < targetHeight; ++y) {
            if (rows[y] != walked) {
                walked = rows[y];
                runs.clear();
                size_t pos = rowStarts[f][static_cast<size_t>(walked)];
                walkPackedRow(pixels, size, pos, width, 0, static_cast<uint32_t>(bytesPerPixel),
                              storage == STORAGE_PACKED_ALPHA ? 2 : 1,
                              [&](const PackedRun& run) { runs.push_back(run); });
            }
            appendSampledRow(runs, columns, bytesPerPixel, storage, out);
        }
    }
    return out.size() <= static_cast<size_t>(INT32_MAX);
}

// Frame 0 of rotated data, cut out of its square.
bool squarePicture(TextureDataSWRawAdv& data, int32_t width, int32_t height, std::vector<uint8_t>& out) {
    const uint8_t* square = static_cast<const uint8_t*>(data.lock()->pixels);
    const int64_t side = data.getSquareSide();
    const int32_t bytesPerPixel = getBytesPerPixel(data.getPixelFormat());
    if (!square || side < width || side < height || bytesPerPixel <= 0 ||
        levelByteSize(data.getPixelFormat(), static_cast<int32_t>(side), static_cast<int32_t>(side)) !=
            data.getDataSize())
        return false;
    const int64_t left = (side - width) / 2;
    const int64_t top = (side - height) / 2;
    out.resize(static_cast<size_t>(width) * height * bytesPerPixel);
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(out.data() + static_cast<size_t>(y) * width * bytesPerPixel,
                    square + ((top + y) * side + left) * bytesPerPixel,
                    static_cast<size_t>(width) * bytesPerPixel);
    return true;
}

}  // namespace

GfxHeader parseTextureHeader(const uint8_t bytes[GFX_HEADER_SIZE]) {
    GfxHeader header;
    header.format = readInt32(bytes);
    header.storage = readInt32(bytes + 4);
    header.width = readInt32(bytes + 8);
    header.height = readInt32(bytes + 12);
    header.frameCount = readInt16(bytes + 16);
    header.colorIndexed = readInt16(bytes + 18);
    header.convertedSize = readInt32(bytes + 20);
    header.scaledPackedSize = readInt32(bytes + 24);
    header.unused[0] = readInt32(bytes + 28);
    header.unused[1] = readInt32(bytes + 32);
    return header;
}

void formatTextureHeader(const GfxHeader& header, uint8_t bytes[GFX_HEADER_SIZE]) {
    writeInt32(bytes, static_cast<uint32_t>(header.format));
    writeInt32(bytes + 4, static_cast<uint32_t>(header.storage));
    writeInt32(bytes + 8, static_cast<uint32_t>(header.width));
    writeInt32(bytes + 12, static_cast<uint32_t>(header.height));
    bytes[16] = static_cast<uint8_t>(header.frameCount);
    bytes[17] = static_cast<uint8_t>(static_cast<uint16_t>(header.frameCount) >> 8);
    bytes[18] = static_cast<uint8_t>(header.colorIndexed);
    bytes[19] = static_cast<uint8_t>(static_cast<uint16_t>(header.colorIndexed) >> 8);
    writeInt32(bytes + 20, static_cast<uint32_t>(header.convertedSize));
    writeInt32(bytes + 24, static_cast<uint32_t>(header.scaledPackedSize));
    writeInt32(bytes + 28, static_cast<uint32_t>(header.unused[0]));
    writeInt32(bytes + 32, static_cast<uint32_t>(header.unused[1]));
}

const char* getStorageFormatName(int32_t storage) {
    switch (storage) {
        case STORAGE_RAW:
            return "RAW";
        case STORAGE_PACKED_PLAIN:
            return "PACKED PLAIN";
        case STORAGE_PACKED_ALPHA:
            return "PACKED ALPHA";
        default:
            return "Unknown texture format";
    }
}

GfxHeader readTextureHeader(const char* path) {
    GfxHeader header;
    file::FileManager* manager = fileManager();
    if (!manager || !path)
        return header;
    file::File* file = manager->openFile(path, file::OPEN_READ, 0);
    if (!file)
        file = manager->openFile(MISSING_IMAGE_HEADER_PATH, file::OPEN_READ, 0);
    if (!file)
        return header;
    uint8_t bytes[GFX_HEADER_SIZE];
    int32_t got = 0;
    while (got < GFX_HEADER_SIZE) {
        const int32_t n = file->read(bytes + got, GFX_HEADER_SIZE - got);
        if (n <= 0)
            break;
        got += n;
    }
    if (got == GFX_HEADER_SIZE)
        header = parseTextureHeader(bytes);
    delete file;
    return header;
}

Texture* loadTextureFile(const char* path, int format, bool adv, int scale) {
    Texture* texture = nullptr;
    if (path) {
        FileInputStream in(String(path), 0);
        if (in.isOpen())
            texture = readTexture(in, format, adv, scale);
        else
            std::printf("Cannot open %s...\n", path);
    }
    if (!texture) {
        FileInputStream fallback(String(MISSING_IMAGE_PATH), 0);
        if (fallback.isOpen())
            texture = readTexture(fallback, format, adv, scale);
    }
    return texture;
}

Texture* readTexture(InputStream& in, int format, bool adv, int scale) {
    GfxHeader header;
    if (!readHeader(in, header))
        return nullptr;
    Texture* texture = new (std::nothrow)
        Texture(TEXTURE_FROM_FILE, String(), Size{header.width, header.height}, format, nullptr, 0, 1);
    if (!texture)
        return nullptr;
    if (!loadTextureData(in, texture, header, format, adv)) {
        texture->release(true);
        return nullptr;
    }
    const int32_t extra = format == RGB_565 && scale == 187 ? header.scaledPackedSize : 0;
    return rescale(header, texture, format, scale, extra);
}

namespace {

TextureData* loadData(InputStream& in, Texture* texture, const GfxHeader& header, int format, bool adv);
Texture* rescaleData(Texture* texture, int scale, int32_t extra);
bool layoutFile(Texture* texture, int frameCount, TextureFileParts& parts);
int saveFile(Texture* texture, int frameCount, const char* path);
ColorTable* loadTable(const char* path, int format);

}  // namespace

// The public operations catch a container that cannot grow at this boundary: failures are return values.
TextureData* loadTextureData(InputStream& in, Texture* texture, const GfxHeader& header, int format,
                             bool adv) {
    try {
        return loadData(in, texture, header, format, adv);
    } catch (const std::bad_alloc&) {
        if (texture)
            texture->setData(nullptr);
        return nullptr;
    }
}

Texture* rescale(const GfxHeader&, Texture* texture, int, int scale, int32_t extra) {
    try {
        return rescaleData(texture, scale, extra);
    } catch (const std::bad_alloc&) {
        // Everything that can throw runs before the texture's data is replaced.
        return texture;
    }
}

int saveTextureFile(Texture* texture, int frameCount, const char* path) {
    try {
        return saveFile(texture, frameCount, path);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool layoutTextureFile(Texture* texture, int frameCount, TextureFileParts& parts) {
    try {
        return layoutFile(texture, frameCount, parts);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

ColorTable* loadColorTable(const char* path, int format) {
    try {
        return loadTable(path, format);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

TextureData* loadData(InputStream& in, Texture* texture, const GfxHeader& header, int format, bool adv) {
    if (!texture)
        return nullptr;
    if (header.storage < STORAGE_RAW || header.storage > STORAGE_PACKED_ALPHA) {
        std::printf("LOAD: Unsupported texture format\n");
        return nullptr;
    }
    if (!validHeader(header))
        return nullptr;
    const bool same = format == header.format;
    const bool packedData = header.storage != STORAGE_RAW;
    const int32_t storedBytes = getBytesPerPixel(header.format);
    if (!same && (!convertible(header.format) || !convertible(format)))
        return nullptr;
    if (packedData && storedBytes != 2 && storedBytes != 4)
        return nullptr;
    // Rotated data addresses whole pixels in its square: formats of less than a byte per pixel or of blocks
    // are loaded as plain raw data.
    const bool square = adv && !packedData && isPlainFormat(format);

    // The frame size table and the frames must be in the stream before anything is allocated for them.
    const int64_t available = in.available();
    const int32_t frames = header.frameCount;
    if (static_cast<int64_t>(frames) * 4 > available)
        return nullptr;
    std::vector<uint8_t> table(static_cast<size_t>(frames) * 4);
    if (readFully(in, table.data(), static_cast<int64_t>(table.size())) != static_cast<int64_t>(table.size()))
        return nullptr;
    std::vector<int32_t> offsets(static_cast<size_t>(frames));
    int64_t total = 0;
    for (int32_t i = 0; i < frames; ++i) {
        offsets[i] = static_cast<int32_t>(total);
        total += static_cast<uint32_t>(readInt32(table.data() + 4 * i));
        if (total > available - static_cast<int64_t>(table.size()) || total > INT32_MAX)
            return nullptr;
    }
    if (square) {
        const int32_t side = TextureDataSWRawAdv::squareSideFor(header.width, header.height);
        if (side <= 0 || side > ADV_MAX_SIDE ||
            total < static_cast<int64_t>(header.width) * header.height * storedBytes)
            return nullptr;
    }

    texture->setSize(Size{header.width, header.height});
    texture->setFormat(format);
    TextureDataSW* data;
    if (header.storage == STORAGE_RAW)
        data = square ? static_cast<TextureDataSW*>(new (std::nothrow) TextureDataSWRawAdv(texture))
                      : new (std::nothrow) TextureDataSWRaw(texture);
    else if (header.storage == STORAGE_PACKED_PLAIN)
        data = new (std::nothrow) TextureDataSWPackedPlain(texture);
    else
        data = new (std::nothrow) TextureDataSWPackedAlpha(texture);
    if (!data)
        return nullptr;
    // Rotated data keeps its own storage code: its level 0 is a square, not a row of frames.
    if (!square)
        data->setStorageFormat(header.storage);
    const bool colorIndexed = header.colorIndexed != 0;
    data->setColorIndexed(colorIndexed);
    int32_t* frameTable = data->createFrameTable(frames);
    if (!frameTable || !texture->setFrameCount(frames)) {
        delete data;
        return nullptr;
    }
    std::copy(offsets.begin(), offsets.end(), frameTable);

    const PixelFormatInfo from = makePixelFormatInfo(header.format);
    const PixelFormatInfo to = makePixelFormatInfo(format);
    bool loaded;
    if (square) {
        loaded =
            readRawIntoSquare(in, *static_cast<TextureDataSWRawAdv*>(data), header, from, to, colorIndexed);
        // The square holds frame 0 alone: the file's offsets of the other frames point at nothing in it.
        for (int32_t i = 0; i < frames; ++i)
            frameTable[i] = i == 0 ? 0 : -1;
    } else if (!packedData) {
        // The pitch of raw level 0 is the texture's width, so that its pixels can be read by width and pitch
        // like those of any raw texture.
        loaded = same ? readStored(in, *data, total, header.width)
                      : readRawConverted(in, *data, total, from, to, colorIndexed, header.width);
    } else if (same) {
        // Packed level 0 keeps its byte size as its pitch.
        loaded = readStored(in, *data, total, static_cast<int32_t>(total)) &&
                 checkPacked(static_cast<const uint8_t*>(data->lock()->pixels), static_cast<size_t>(total),
                             *data, header.storage, static_cast<uint32_t>(storedBytes));
    } else {
        std::vector<uint8_t> stored(static_cast<size_t>(total));
        loaded = readFully(in, stored.data(), total) == total &&
                 convertPacked(stored, *data, header.storage, from, to, colorIndexed);
    }
    if (!loaded) {
        delete data;
        return nullptr;
    }
    return data;
}

Texture* rescaleData(Texture* texture, int scale, int32_t extra) {
    if (!texture || scale == 256 || scale <= 0)
        return texture;
    TextureDataSW* data = dynamic_cast<TextureDataSW*>(texture->getData());
    if (!data)
        return texture;
    const int32_t storage = data->getStorageFormat();
    if (storage < STORAGE_RAW || storage > STORAGE_PACKED_ALPHA)
        return texture;
    const Size size = texture->getSize();
    if (size.width <= 0 || size.height <= 0)
        return texture;
    const int64_t targetWidth = std::max<int64_t>(1, (static_cast<int64_t>(size.width) * scale) >> 8);
    const int64_t targetHeight = std::max<int64_t>(1, (static_cast<int64_t>(size.height) * scale) >> 8);
    if (targetWidth > GFX_MAX_SIDE || targetHeight > GFX_MAX_SIDE)
        return texture;
    const int32_t format = data->getPixelFormat();
    const int32_t bytesPerPixel = getBytesPerPixel(format);
    if (bytesPerPixel <= 0 || format == PAL_4 || format == PAL_2 || isDXT(format))
        return texture;

    std::vector<uint8_t> pixels;
    std::vector<int32_t> offsets;
    bool scaled;
    if (storage == STORAGE_RAW) {
        scaled = scaleRaw(*data, size.width, size.height, static_cast<int32_t>(targetWidth),
                          static_cast<int32_t>(targetHeight), bytesPerPixel, pixels, offsets);
    } else {
        pixels.reserve(static_cast<size_t>(std::clamp(extra, 0, data->getDataSize())));
        scaled = scalePacked(*data, size.width, size.height, static_cast<int32_t>(targetWidth),
                             static_cast<int32_t>(targetHeight), pixels, offsets);
    }
    if (!scaled || pixels.size() > static_cast<size_t>(INT32_MAX))
        return texture;

    // The new data takes the old one's place; the old one is deleted once the new one holds the pixels.
    texture->detachData(data);
    texture->setSize(Size{static_cast<int32_t>(targetWidth), static_cast<int32_t>(targetHeight)});
    TextureDataSW* fresh;
    if (storage == STORAGE_RAW)
        fresh = new (std::nothrow) TextureDataSWRaw(texture);
    else if (storage == STORAGE_PACKED_PLAIN)
        fresh = new (std::nothrow) TextureDataSWPackedPlain(texture);
    else
        fresh = new (std::nothrow) TextureDataSWPackedAlpha(texture);
    void* block = !fresh || pixels.empty() ? nullptr : fresh->allocateLevel0(static_cast<int>(pixels.size()));
    int32_t* frameTable = fresh ? fresh->createFrameTable(static_cast<int>(offsets.size())) : nullptr;
    if (!fresh || (!pixels.empty() && !block) || (!offsets.empty() && !frameTable)) {
        delete fresh;
        texture->setSize(size);
        texture->setData(data);
        return texture;
    }
    if (block) {
        std::memcpy(block, pixels.data(), pixels.size());
        if (storage == STORAGE_RAW)
            fresh->setLevel0(block, static_cast<int>(targetWidth));
    }
    std::copy(offsets.begin(), offsets.end(), frameTable);
    fresh->setStorageFormat(storage);
    fresh->setColorIndexed(data->isColorIndexed());
    fresh->setMirrored(data->isMirrored());
    fresh->setBlendMode(data->getBlendMode());
    delete data;
    return texture;
}

bool layoutFile(Texture* texture, int frameCount, TextureFileParts& parts) {
    TextureDataSW* data = texture ? dynamic_cast<TextureDataSW*>(texture->getData()) : nullptr;
    if (!data)
        return false;
    const Size size = texture->getSize();

    // The frames to write, each a span of level 0 (or the picture cut out of a rotated square).
    const uint8_t* pixels = static_cast<const uint8_t*>(data->lock()->pixels);
    int32_t storage = data->getStorageFormat();
    std::vector<int64_t> starts;
    std::vector<uint32_t> sizes;
    if (storage == STORAGE_RAW_ADV) {
        if (!squarePicture(*static_cast<TextureDataSWRawAdv*>(data), size.width, size.height, parts.picture))
            return false;
        pixels = parts.picture.data();
        storage = STORAGE_RAW;
        starts.push_back(0);
        sizes.push_back(static_cast<uint32_t>(parts.picture.size()));
    } else if (storage >= STORAGE_RAW && storage <= STORAGE_PACKED_ALPHA) {
        const int64_t dataSize = pixels ? std::max(0, data->getDataSize()) : 0;
        const int tableFrames = std::max(1, data->getFrameCount());
        const int frames = std::min(frameCount > 0 ? std::min(frameCount, tableFrames) : tableFrames, 32767);
        // A frame ends where the next frame of the table begins (in whatever order the table lists them),
        // or at the end of level 0.
        std::vector<int64_t> bounds;
        for (int i = 0; i < tableFrames; ++i)
            bounds.push_back(std::clamp<int64_t>(data->getFrameOffset(i), 0, dataSize));
        bounds.push_back(dataSize);
        std::sort(bounds.begin(), bounds.end());
        for (int i = 0; i < frames; ++i) {
            const int64_t start = data->getFrameOffset(i);
            starts.push_back(start);
            if (start < 0 || start >= dataSize)
                sizes.push_back(0);
            else
                sizes.push_back(
                    static_cast<uint32_t>(*std::upper_bound(bounds.begin(), bounds.end(), start) - start));
        }
    } else {
        return false;
    }

    parts.head.assign(GFX_HEADER_SIZE + 4 * starts.size(), 0);
    GfxHeader header;
    header.format = data->getPixelFormat();
    header.storage = storage;
    header.width = size.width;
    header.height = size.height;
    header.frameCount = static_cast<int16_t>(starts.size());
    header.colorIndexed = data->isColorIndexed() || data->getColorTable() ? 1 : 0;
    formatTextureHeader(header, parts.head.data());
    parts.frames.clear();
    for (size_t i = 0; i < sizes.size(); ++i) {
        writeInt32(parts.head.data() + GFX_HEADER_SIZE + 4 * i, sizes[i]);
        if (sizes[i] != 0)
            parts.frames.push_back({pixels + starts[i], sizes[i]});
    }
    return true;
}

int saveFile(Texture* texture, int frameCount, const char* path) {
    file::FileManager* manager = fileManager();
    TextureFileParts parts;
    if (!path || !manager || !layoutFile(texture, frameCount, parts))
        return 0;
    file::File* file = manager->openFile(path, file::OPEN_WRITE, 0);
    if (!file) {
        std::printf("ERROR: Cannot open %s for writing, please make sure the folder exists...\n", path);
        return 0;
    }
    int64_t written = file->write(parts.head.data(), static_cast<int32_t>(parts.head.size()));
    bool complete = written == static_cast<int64_t>(parts.head.size());
    for (size_t i = 0; complete && i < parts.frames.size(); ++i) {
        const TextureFileParts::Span& frame = parts.frames[i];
        const int32_t n = file->write(frame.bytes, static_cast<int32_t>(frame.size));
        complete = n == static_cast<int32_t>(frame.size);
        written += n;
    }
    delete file;
    if (!complete || written > INT32_MAX)
        return 0;
    return static_cast<int>(written);
}

ColorTable* loadTable(const char* path, int format) {
    file::FileManager* manager = fileManager();
    if (!manager || !path || (format != ARGB_8888 && format != RGB_565 && format != ARGB_4444))
        return nullptr;
    std::unique_ptr<file::File> file(manager->openFile(path, file::OPEN_READ, 0));
    if (!file)
        return nullptr;
    uint8_t head[12];
    if (file->read(head, 12) != 12)
        return nullptr;
    const uint32_t count = static_cast<uint32_t>(readInt32(head));
    const int64_t left = static_cast<int64_t>(file->getSize()) - file->tell();
    if (static_cast<int64_t>(count) * 4 > left)
        return nullptr;
    std::vector<uint8_t> entries(static_cast<size_t>(count) * 4);
    if (count > 0 && file->read(entries.data(), static_cast<int32_t>(entries.size())) !=
                         static_cast<int32_t>(entries.size()))
        return nullptr;

    auto table = std::make_unique<ColorTable>();
    table->count = static_cast<int32_t>(count);
    table->format = format;
    table->value = readInt32(head + 8);
    if (count == 0)
        return table.release();
    const size_t entryBytes = format == ARGB_8888 ? 4 : 2;
    table->entries = std::malloc(count * entryBytes);
    if (!table->entries)
        return nullptr;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t p = static_cast<uint32_t>(readInt32(entries.data() + 4 * i));
        const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (format == ARGB_8888) {
            static_cast<uint32_t*>(table->entries)[i] = p;
        } else if (format == RGB_565) {
            static_cast<uint16_t*>(table->entries)[i] =
                static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
        } else {
            static_cast<uint16_t*>(table->entries)[i] =
                static_cast<uint16_t>(0xF000 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4));
        }
    }
    return table.release();
}

}  // namespace

}  // namespace mt::graphics
