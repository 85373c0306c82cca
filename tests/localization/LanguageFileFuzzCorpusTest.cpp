#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/LanguageFileFuzz.h"

// Every language file of the fuzz target's corpus, replayed with the target's own checks against the plain
// reading (a mismatch traps and ends this test program).
TEST(FuzzCorpus, LanguageFilesAgreeWithThePlainReading) {
    std::filesystem::path corpus = std::filesystem::path(MT_SOURCE_DIR) / "fuzz/seeds/fuzz_language_file";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(fuzzing::fuzzLanguageFile(bytes.data(), bytes.size()), 0) << entry.path();
        ++replayed;
    }
    EXPECT_GE(replayed, 4);
}
