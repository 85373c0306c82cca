#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "fuzz/PngLoaderFuzz.h"
#include "fuzz/TextureFileFuzz.h"
#include "support/FuzzSeeds.h"

namespace {

bool hostile(const std::filesystem::path& path) {
    return path.filename().string().rfind("hostile_", 0) == 0;
}

}  // namespace

// Every file of the fuzz targets' corpora, replayed through the targets' own checks; the sound seeds load
// and the hostile ones (sides far beyond their data) do not.
TEST(TextureFuzzCorpus, TextureFilesReplayWithTheTargetsChecks) {
    int replayed = testsupport::forEachFuzzSeed(
        "fuzz_texture_file", [](std::vector<uint8_t>& bytes, const std::filesystem::path& path) {
            EXPECT_EQ(fuzzing::checkTextureFile(bytes.data(), bytes.size()), "") << path;
            mt::MemoryStream memory(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
            mt::graphics::Texture* texture = mt::graphics::readTexture(
                memory, mt::graphics::parseTextureHeader(bytes.data()).format, false, 256);
            EXPECT_EQ(texture != nullptr, !hostile(path)) << path;
            mt::releaseReference(texture, true);
        });
    EXPECT_GE(replayed, 10);
}

TEST(TextureFuzzCorpus, PicturesReplayWithTheTargetsChecks) {
    int replayed = testsupport::forEachFuzzSeed(
        "fuzz_png_loader", [](std::vector<uint8_t>& bytes, const std::filesystem::path& path) {
            EXPECT_EQ(fuzzing::checkPng(bytes.data(), bytes.size()), "") << path;
            mt::MemoryStream memory(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
            mt::graphics::PNGImageLoader loader;
            mt::graphics::Texture* picture = loader.load(&memory);
            EXPECT_EQ(picture != nullptr, !hostile(path)) << path;
            mt::releaseReference(picture, true);
        });
    EXPECT_GE(replayed, 11);
}
