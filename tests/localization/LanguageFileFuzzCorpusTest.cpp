#include <gtest/gtest.h>

#include "fuzz/LanguageFileFuzz.h"
#include "support/FuzzSeeds.h"

// Every language file of the fuzz target's corpus, replayed with the target's own checks against the plain
// reading (a mismatch traps and ends this test program).
TEST(FuzzCorpus, LanguageFilesAgreeWithThePlainReading) {
    int replayed =
        testsupport::forEachFuzzSeed("fuzz_language_file", [](std::vector<uint8_t>& bytes, const auto& path) {
            EXPECT_EQ(fuzzing::fuzzLanguageFile(bytes.data(), bytes.size()), 0) << path;
        });
    EXPECT_GE(replayed, 4);
}
