#include "mt/graphics/PNGImageLoader.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "PngTestSupport.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/MemoryStream.h"

using namespace mt::graphics;
using pngtest::PngLayout;
using pngtest::writePng;

namespace {

using Rows = std::vector<std::vector<uint8_t>>;

// Decodes as the programs do: a 4096-byte cache over the stream.
Texture* loadPng(std::vector<uint8_t> file, PNGImageLoader& loader, int mode = 0, Texture* target = nullptr) {
    mt::MemoryStream memory(file.data(), static_cast<int32_t>(file.size()), mt::STREAM_NOT_OWNER);
    mt::CachedInputStream cached(&memory, 4096);
    if (mode == 1)
        return loader.readInfo(&cached);
    if (mode == 2)
        return loader.loadInto(target, &cached);
    return loader.load(&cached);
}

Texture* loadPng(const std::vector<uint8_t>& file) {
    PNGImageLoader loader;
    return loadPng(file, loader);
}

std::vector<uint8_t> level0(Texture* texture) {
    const uint8_t* pixels = static_cast<const uint8_t*>(texture->lock()->pixels);
    const int bytes = texture->getData()->getDataSize();
    return std::vector<uint8_t>(pixels, pixels + bytes);
}

// A w x h picture of 8-bit samples: channel c of pixel (x, y) is (x * 37 + y * 11 + c * 70) & 255.
Rows samples(int w, int h, int channels) {
    Rows rows(static_cast<size_t>(h), std::vector<uint8_t>(static_cast<size_t>(w * channels)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c)
                rows[y][x * channels + c] = static_cast<uint8_t>(x * 37 + y * 11 + c * 70);
    return rows;
}

std::vector<uint8_t> flatten(const Rows& rows) {
    std::vector<uint8_t> all;
    for (const auto& row : rows)
        all.insert(all.end(), row.begin(), row.end());
    return all;
}

// Decodes the file and checks the texture's format and level-0 bytes.
void expectDecoded(const std::vector<uint8_t>& file, int format, const std::vector<uint8_t>& bytes) {
    Texture* texture = loadPng(file);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getFormat(), format);
    EXPECT_EQ(level0(texture), bytes);
    texture->release(true);
}

}  // namespace

TEST(PNGImageLoader, NamesItsExtensionAndSignature) {
    PNGImageLoader loader;
    EXPECT_EQ(loader.getExtension(), "png");
    const std::vector<uint8_t> expected{137, 80, 78, 71, 13, 10, 26, 10};
    EXPECT_EQ(loader.getSignature(), expected);
}

TEST(PNGImageLoader, TrueColourPicturesKeepTheirChannelsTopRowFirst) {
    PngLayout layout;
    layout.width = 5;
    layout.height = 3;
    const Rows rgb = samples(5, 3, 3);
    Texture* texture = loadPng(writePng(layout, rgb));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getSize().width, 5);
    EXPECT_EQ(texture->getSize().height, 3);
    EXPECT_EQ(texture->getKind(), TEXTURE_IN_MEMORY);
    EXPECT_EQ(texture->getFrameCount(), 1);
    EXPECT_EQ(texture->getFrame(0).pairs[2].x, 5);
    texture->release(true);
    expectDecoded(writePng(layout, rgb), BGR_888, flatten(rgb));  // bytes R, G, B, rows packed top to bottom
    layout.colorType = PNG_COLOR_TYPE_RGBA;
    expectDecoded(writePng(layout, samples(5, 3, 4)), ABGR_8888, flatten(samples(5, 3, 4)));
}

TEST(PNGImageLoader, SixteenBitChannelsAreReducedToEight) {
    PngLayout layout;
    layout.width = 2;
    layout.height = 1;
    layout.bitDepth = 16;
    layout.colorType = PNG_COLOR_TYPE_RGBA;
    const Rows rgba{
        {0xAB, 0xCD, 0x12, 0x34, 0x00, 0xFF, 0xFF, 0x00, 0x80, 0x00, 0x7F, 0xFF, 0x01, 0x02, 0xFE, 0xDC}};
    expectDecoded(writePng(layout, rgba), ABGR_8888, {0xAB, 0x12, 0x00, 0xFF, 0x80, 0x7F, 0x01, 0xFE});
    layout.colorType = PNG_COLOR_TYPE_GRAY;
    expectDecoded(writePng(layout, {{0x12, 0x34, 0xFE, 0xDC}}), BGR_888,
                  {0x12, 0x12, 0x12, 0xFE, 0xFE, 0xFE});
}

TEST(PNGImageLoader, GreyPicturesBecomeColour) {
    PngLayout layout;
    layout.width = 4;
    layout.height = 1;
    layout.colorType = PNG_COLOR_TYPE_GRAY;
    // 8, 4, 2 and 1 bits per sample; small depths are scaled up to the full range.
    const std::vector<uint8_t> rows[] = {{0, 100, 200, 255}, {0x05, 0xF0}, {0b00011011}, {0b10100000}};
    const std::vector<uint8_t> greys[] = {
        {0, 100, 200, 255}, {0, 85, 255, 0}, {0, 85, 170, 255}, {255, 0, 255, 0}};
    const int depths[] = {8, 4, 2, 1};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(depths[i]);
        layout.bitDepth = depths[i];
        std::vector<uint8_t> expected;
        for (uint8_t g : greys[i])
            expected.insert(expected.end(), {g, g, g});
        expectDecoded(writePng(layout, {rows[i]}), BGR_888, expected);
    }
    // Grey with alpha and grey with a tRNS key both give R, G, B, A.
    layout.bitDepth = 8;
    layout.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    expectDecoded(writePng(layout, {{10, 20, 30, 40, 50, 60, 70, 80}}), ABGR_8888,
                  {10, 10, 10, 20, 30, 30, 30, 40, 50, 50, 50, 60, 70, 70, 70, 80});
    layout.colorType = PNG_COLOR_TYPE_GRAY;
    layout.hasKey = true;
    layout.key.gray = 100;
    expectDecoded(writePng(layout, {{0, 100, 200, 255}}), ABGR_8888,
                  {0, 0, 0, 255, 100, 100, 100, 0, 200, 200, 200, 255, 255, 255, 255, 255});
}

TEST(PNGImageLoader, PalettePicturesBecomeColourWithAlphaFromTheirTransparency) {
    PngLayout layout;
    layout.width = 3;
    layout.height = 1;
    layout.colorType = PNG_COLOR_TYPE_PALETTE;
    layout.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const Rows indices{{2, 0, 1}};
    // No transparency: three bytes per pixel.
    expectDecoded(writePng(layout, indices), BGR_888, {0, 0, 255, 255, 0, 0, 0, 255, 0});
    layout.paletteAlpha = {255, 128, 0};
    expectDecoded(writePng(layout, indices), ABGR_8888, {0, 0, 255, 0, 255, 0, 0, 255, 0, 255, 0, 128});
    layout.paletteAlpha = {0, 255};  // one fully transparent entry
    expectDecoded(writePng(layout, indices), ABGR_8888, {0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255});
    // Two bits per index, no transparency.
    layout.paletteAlpha.clear();
    layout.bitDepth = 2;
    expectDecoded(writePng(layout, {{0b10000100}}), BGR_888, {0, 0, 255, 255, 0, 0, 0, 255, 0});
}

TEST(PNGImageLoader, ColourKeyOfAnRGBPictureIsNotApplied) {
    PngLayout layout;
    layout.width = 2;
    layout.height = 1;
    layout.hasKey = true;
    layout.key.red = 1;
    layout.key.green = 2;
    layout.key.blue = 3;
    expectDecoded(writePng(layout, {{1, 2, 3, 4, 5, 6}}), BGR_888, {1, 2, 3, 4, 5, 6});
}

TEST(PNGImageLoader, InterlacedPicturesDecodeLikePlainOnes) {
    for (const int colorType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGBA}) {
        const int channels = colorType == PNG_COLOR_TYPE_RGB ? 3 : 4;
        PngLayout layout;
        layout.width = 13;
        layout.height = 11;
        layout.colorType = colorType;
        layout.interlaced = true;
        const Rows rows = samples(13, 11, channels);
        expectDecoded(writePng(layout, rows), colorType == PNG_COLOR_TYPE_RGB ? BGR_888 : ABGR_8888,
                      flatten(rows));
    }
}

TEST(PNGImageLoader, ReadInfoGivesSizeAndFormatWithoutPixels) {
    PngLayout layout;
    layout.width = 7;
    layout.height = 9;
    layout.colorType = PNG_COLOR_TYPE_RGBA;
    PNGImageLoader loader;
    Texture* info = loadPng(writePng(layout, samples(7, 9, 4)), loader, 1);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->getSize().width, 7);
    EXPECT_EQ(info->getSize().height, 9);
    EXPECT_EQ(info->getFormat(), ABGR_8888);
    EXPECT_EQ(info->getData(), nullptr);
    EXPECT_EQ(info->getFrame(0).pairs[2].y, 9);
    info->release(true);
}

TEST(PNGImageLoader, LoadIntoFillsATargetThatIsLargeEnough) {
    PngLayout layout;
    layout.width = 4;
    layout.height = 2;
    const Rows rows = samples(4, 2, 3);
    const std::vector<uint8_t> file = writePng(layout, rows);
    PNGImageLoader loader;

    Texture* target = new Texture(TEXTURE_IN_MEMORY, "", Size{4, 2}, BGR_888, nullptr, 0, 1);
    new TextureDataSWRaw(target);
    target->setFrameCount(3);
    EXPECT_EQ(loadPng(file, loader, 2, target), target);
    EXPECT_EQ(level0(target), flatten(rows));
    EXPECT_EQ(target->getFrameCount(), 1);
    EXPECT_EQ(target->getRefCount(), 1) << "no new reference";
    target->release(true);

    // Too small for the picture: the header is applied, the pixels are left alone.
    target = new Texture(TEXTURE_IN_MEMORY, "", Size{2, 2}, BGR_888, nullptr, 0, 1);
    new TextureDataSWRaw(target);
    EXPECT_EQ(loadPng(file, loader, 2, target), target);
    EXPECT_EQ(target->getSize().width, 4);
    EXPECT_EQ(level0(target), std::vector<uint8_t>(12, 0));
    target->release(true);

    // No level 0 at all.
    target = new Texture(TEXTURE_FROM_FILE, "", Size{1, 1}, ARGB_8888, nullptr, 0, 1);
    new TextureDataSWRaw(target);
    EXPECT_EQ(loadPng(file, loader, 2, target), target);
    EXPECT_EQ(target->getFormat(), BGR_888);
    EXPECT_EQ(target->lock()->pixels, nullptr);
    target->release(true);
    EXPECT_EQ(loadPng(file, loader, 2, nullptr), nullptr);
}

TEST(PNGImageLoader, DamagedPicturesGiveNoTexture) {
    EXPECT_EQ(loadPng({}), nullptr) << "empty";
    EXPECT_EQ(loadPng({'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '!', '!', '!'}), nullptr);
    PNGImageLoader loader;
    EXPECT_EQ(loader.load(nullptr), nullptr);

    // A noisy picture, so that its pixel data is long (libpng reads it in blocks of 8 KB).
    std::mt19937 random(99);
    Rows noise(256, std::vector<uint8_t>(256 * 4));
    for (auto& row : noise)
        for (auto& sample : row)
            sample = static_cast<uint8_t>(random());
    for (bool interlaced : {false, true}) {
        for (int colorType : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGBA}) {
            PngLayout layout;
            layout.width = 256;
            layout.height = 256;
            layout.colorType = colorType;
            layout.interlaced = interlaced;
            Rows rows = noise;
            if (colorType == PNG_COLOR_TYPE_RGB)
                for (auto& row : rows)
                    row.resize(256 * 3);
            const std::vector<uint8_t> file = writePng(layout, rows);
            SCOPED_TRACE(testing::Message() << "interlaced " << interlaced << ", colour type " << colorType);
            Texture* whole = loadPng(file);
            ASSERT_NE(whole, nullptr);
            whole->release(true);

            const std::vector<uint8_t> truncated(file.begin(),
                                                 file.begin() + static_cast<long>(file.size() / 2));
            EXPECT_EQ(loadPng(truncated), nullptr) << "truncated";
            std::vector<uint8_t> corrupt = file;
            corrupt[corrupt.size() / 2] ^= 0x55;
            EXPECT_EQ(loadPng(corrupt), nullptr) << "a flipped byte breaks the data's checksum";
            // Only the end is missing: every row decodes, yet the picture is incomplete.
            const std::vector<uint8_t> noEnd(file.begin(), file.end() - 12);
            EXPECT_EQ(loadPng(noEnd), nullptr) << "without its end chunk";

            // Into a target: null, and the target stays the caller's.
            const int format = colorType == PNG_COLOR_TYPE_RGB ? BGR_888 : ABGR_8888;
            Texture* target = new Texture(TEXTURE_IN_MEMORY, "", Size{256, 256}, format, nullptr, 0, 1);
            new TextureDataSWRaw(target);
            std::vector<uint8_t> copy = truncated;
            EXPECT_EQ(loadPng(copy, loader, 2, target), nullptr);
            EXPECT_EQ(target->getRefCount(), 1);
            target->release(true);
        }
    }
    // Truncated inside the header: nothing was made.
    PngLayout layout;
    layout.width = 4;
    layout.height = 4;
    const std::vector<uint8_t> small = writePng(layout, samples(4, 4, 3));
    EXPECT_EQ(loadPng(std::vector<uint8_t>(small.begin(), small.begin() + 20)), nullptr);
}

TEST(PNGImageLoader, PicturesBeyondTheSizeLimitAreRefused) {
    PngLayout layout;
    layout.width = 40;
    layout.height = 2;
    const std::vector<uint8_t> file = writePng(layout, samples(40, 2, 3));
    PNGImageLoader loader;
    loader.setMaxSide(32);
    EXPECT_EQ(loadPng(file, loader), nullptr);
    loader.setMaxSide(40);
    Texture* texture = loadPng(file, loader);
    ASSERT_NE(texture, nullptr);
    texture->release(true);

    // A header that claims 1,000,000 x 1,000,000 pixels is refused before anything is allocated.
    std::vector<uint8_t> huge = file;
    const uint8_t side[4] = {0x00, 0x0F, 0x42, 0x40};
    std::memcpy(&huge[16], side, 4);
    std::memcpy(&huge[20], side, 4);
    EXPECT_EQ(loadPng(huge), nullptr);
}

#ifndef _WIN32
namespace {

void appendChunk(std::vector<uint8_t>& out, const char* kind, const std::vector<uint8_t>& data) {
    auto put32 = [&](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<uint8_t>(v >> shift));
    };
    put32(static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(kind, kind + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    put32(static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// An RGBA picture that declares width x height but whose pixel data holds only its first `rows` rows.
std::vector<uint8_t> cutRgbaPicture(uint32_t width, uint32_t height, uint32_t rows) {
    std::vector<uint8_t> out = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<uint8_t> header;
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(static_cast<uint8_t>(v >> shift));
    header.insert(header.end(), {8, PNG_COLOR_TYPE_RGBA, 0, 0, 0});
    appendChunk(out, "IHDR", header);
    std::vector<uint8_t> raw(static_cast<size_t>(rows) * (1 + width * 4), 0x41);
    for (uint32_t y = 0; y < rows; ++y)
        raw[static_cast<size_t>(y) * (1 + width * 4)] = 0;  // filter type none
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    appendChunk(out, "IDAT", packed);
    appendChunk(out, "IEND", {});
    return out;
}

// Runs body in a child process and returns by how many bytes the child's peak memory grew during it (-1
// when the child failed) and what body returned.
struct ChildRun {
    int64_t growth = -1;
    int64_t result = -1;
};
ChildRun peakGrowthInChild(const std::function<bool()>& body) {
    ChildRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        ChildRun measured;
        measured.result = body() ? 1 : 0;
        getrusage(RUSAGE_SELF, &after);
        measured.growth = (static_cast<int64_t>(after.ru_maxrss) - before.ru_maxrss) * 1024;
        const ssize_t written = write(pipeEnds[1], &measured, sizeof measured);
        _exit(written == sizeof measured ? 0 : 1);
    }
    close(pipeEnds[1]);
    if (read(pipeEnds[0], &run, sizeof run) != sizeof run)
        run = ChildRun{};
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? run : ChildRun{};
}

}  // namespace
#endif

TEST(PNGImageLoader, DamagedPicturesCostMemoryByTheirDataNotByTheirDeclaredSize) {
#ifdef _WIN32
    GTEST_SKIP() << "measures peak memory in a forked child (fork, getrusage)";
#else
    // 4096 x 4096 RGBA (64 MiB of pixels, within the loader's default bound) with two rows of data.
    const std::vector<uint8_t> cut = cutRgbaPicture(4096, 4096, 2);
    ASSERT_LT(cut.size(), 1000u);
    // The child decodes; a texture is made, checked and released there.
    const auto decodesToNothing = [](const std::vector<uint8_t>& file) {
        return [&file] {
            Texture* texture = loadPng(file);
            mt::releaseReference(texture, true);
            return texture == nullptr;
        };
    };
    const ChildRun run = peakGrowthInChild(decodesToNothing(cut));
    ASSERT_GE(run.growth, 0) << "the child failed";
    EXPECT_EQ(run.result, 1) << "a damaged picture gives no texture";
    // Half the declared size: room for a sanitizer's shadow of the untouched blocks, far below the 64 MiB
    // that clearing them would cost.
    EXPECT_LT(run.growth, int64_t{32} << 20) << "peak memory grew by " << run.growth << " bytes";

    // The declared size alone decides nothing: 16384 x 16384 (1 GiB) is over the byte bound and refused
    // before anything is allocated, and a bound set lower refuses a picture that would fit the default.
    const std::vector<uint8_t> huge = cutRgbaPicture(16384, 16384, 1);
    const ChildRun hugeRun = peakGrowthInChild(decodesToNothing(huge));
    ASSERT_GE(hugeRun.growth, 0);
    EXPECT_EQ(hugeRun.result, 1);
    EXPECT_LT(hugeRun.growth, int64_t{32} << 20);
    PNGImageLoader loader;
    EXPECT_EQ(loader.getMaxBytes(), PNGImageLoader::DEFAULT_MAX_BYTES);
    PngLayout layout;
    layout.width = 64;
    layout.height = 64;
    const std::vector<uint8_t> picture = writePng(layout, samples(64, 64, 3));
    loader.setMaxBytes(64 * 64 * 3 - 1);
    EXPECT_EQ(loadPng(picture, loader), nullptr);
    loader.setMaxBytes(64 * 64 * 3);
    Texture* fits = loadPng(picture, loader);
    ASSERT_NE(fits, nullptr);
    fits->release(true);
#endif
}
