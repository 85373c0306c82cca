#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/TextureFileFuzz.h"

// Every texture file of the fuzz target's corpus, replayed through the same code: none may crash or leak,
// and the seeds, which are sound files, all load.
TEST(TextureFuzzCorpus, TextureFilesReplayCleanly) {
    std::filesystem::path corpus = std::filesystem::path(MT_SOURCE_DIR) / "fuzz/seeds/fuzz_texture_file";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(fuzzing::fuzzTextureFile(bytes.data(), bytes.size()), 0) << entry.path();
        mt::MemoryStream memory(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
        mt::graphics::Texture* texture = mt::graphics::readTexture(
            memory, mt::graphics::parseTextureHeader(bytes.data()).format, false, 256);
        EXPECT_NE(texture, nullptr) << entry.path();
        mt::releaseReference(texture, true);
        ++replayed;
    }
    EXPECT_GE(replayed, 7);
}
