#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/StringFuzz.h"

// Every script of the string fuzz target's corpus, replayed with the target's own checks against the model
// (a mismatch traps and ends this test program).
TEST(FuzzCorpus, StringScriptsAgreeWithTheModel) {
    std::filesystem::path corpus = std::filesystem::path(MT_SOURCE_DIR) / "fuzz/seeds/fuzz_string";
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(fuzzing::fuzzString(bytes.data(), bytes.size()), 0) << entry.path();
        ++replayed;
    }
    EXPECT_GE(replayed, 4);
}
