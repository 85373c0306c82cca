#include <gtest/gtest.h>

#include "fuzz/StringFuzz.h"
#include "support/FuzzSeeds.h"

// Every script of the string fuzz target's corpus, replayed with the target's own checks against the model
// (a mismatch traps and ends this test program).
TEST(FuzzCorpus, StringScriptsAgreeWithTheModel) {
    int replayed =
        testsupport::forEachFuzzSeed("fuzz_string", [](std::vector<uint8_t>& bytes, const auto& path) {
            EXPECT_EQ(fuzzing::fuzzString(bytes.data(), bytes.size()), 0) << path;
        });
    EXPECT_GE(replayed, 4);
}
