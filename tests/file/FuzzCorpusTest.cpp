#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/PackArchiveFuzz.h"

// Every archive of the fuzz target's corpus, replayed through the same code: none may crash or leak.
TEST(FuzzCorpus, PackArchivesReplayCleanly) {
    std::filesystem::path corpus = std::filesystem::path(MT_SOURCE_DIR) / "fuzz/seeds/fuzz_pack_archive";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(fuzzing::fuzzPackArchive(bytes.data(), bytes.size()), 0) << entry.path();
        ++replayed;
    }
    EXPECT_GE(replayed, 4);
}
