#include <gtest/gtest.h>

#include "fuzz/StreamFuzz.h"
#include "support/FuzzSeeds.h"

// Every input of the stream fuzz target's corpus, replayed with the target's own checks against the plain
// reader (a mismatch traps and ends this test program).
TEST(FuzzCorpus, StreamScriptsAgreeWithThePlainReader) {
    int replayed =
        testsupport::forEachFuzzSeed("fuzz_stream", [](std::vector<uint8_t>& bytes, const auto& path) {
            EXPECT_EQ(fuzzing::fuzzStream(bytes.data(), bytes.size()), 0) << path;
        });
    EXPECT_GE(replayed, 4);
}
