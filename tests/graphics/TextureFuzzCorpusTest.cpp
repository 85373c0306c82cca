#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/PngLoaderFuzz.h"
#include "fuzz/TextureFileFuzz.h"

namespace {

std::vector<std::filesystem::path> corpus(const char* target) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(MT_SOURCE_DIR) / "fuzz/seeds" / target))
        files.push_back(entry.path());
    return files;
}

std::vector<uint8_t> contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool hostile(const std::filesystem::path& path) {
    return path.filename().string().rfind("hostile_", 0) == 0;
}

}  // namespace

// Every file of the fuzz targets' corpora, replayed through the targets' own checks; the sound seeds load
// and the hostile ones (sides far beyond their data) do not.
TEST(TextureFuzzCorpus, TextureFilesReplayWithTheTargetsChecks) {
    int replayed = 0;
    for (const auto& path : corpus("fuzz_texture_file")) {
        std::vector<uint8_t> bytes = contents(path);
        EXPECT_EQ(fuzzing::checkTextureFile(bytes.data(), bytes.size()), "") << path;
        mt::MemoryStream memory(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
        mt::graphics::Texture* texture = mt::graphics::readTexture(
            memory, mt::graphics::parseTextureHeader(bytes.data()).format, false, 256);
        EXPECT_EQ(texture != nullptr, !hostile(path)) << path;
        mt::releaseReference(texture, true);
        ++replayed;
    }
    EXPECT_GE(replayed, 10);
}

TEST(TextureFuzzCorpus, PicturesReplayWithTheTargetsChecks) {
    int replayed = 0;
    for (const auto& path : corpus("fuzz_png_loader")) {
        std::vector<uint8_t> bytes = contents(path);
        EXPECT_EQ(fuzzing::checkPng(bytes.data(), bytes.size()), "") << path;
        mt::MemoryStream memory(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
        mt::graphics::PNGImageLoader loader;
        mt::graphics::Texture* picture = loader.load(&memory);
        EXPECT_EQ(picture != nullptr, !hostile(path)) << path;
        mt::releaseReference(picture, true);
        ++replayed;
    }
    EXPECT_GE(replayed, 11);
}
