#include <gtest/gtest.h>

#include <vector>

#include "fuzz/PackArchiveFuzz.h"
#include "fuzz/WholeInflaterFuzz.h"
#include "support/FuzzSeeds.h"

namespace {

// Replays every input of a fuzz target's corpus through the target's own checks; returns how many there were.
template <typename Check>
int replay(const char* target, Check check) {
    return testsupport::forEachFuzzSeed(target, [&](std::vector<uint8_t>& bytes, const auto& path) {
        EXPECT_EQ(check(bytes.data(), bytes.size()), "") << path;
    });
}

}  // namespace

TEST(FuzzCorpus, PackArchivesKeepEveryPromiseOfTheTarget) {
    EXPECT_GE(replay("fuzz_pack_archive", fuzzing::checkPackArchive), 4);
}

TEST(FuzzCorpus, PackWriterInputsReadBackAsWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "the pack writer check needs mkdtemp and POSIX file calls";
#else
    EXPECT_GE(replay("fuzz_pack_writer", fuzzing::checkPackWriter), 4);
#endif
}

// Options, then name and content per member; a refused clash is no finding.
TEST(FuzzCorpus, WriterInputsAreReadAsTheTargetDescribesThem) {
#ifdef _WIN32
    GTEST_SKIP() << "the pack writer check needs mkdtemp and POSIX file calls";
#else
    // Two members whose names hash alike: the second is refused, and that refusal is expected.
    std::vector<uint8_t> input = {0x03, 1, 'a', 1, 0, 0, 'x', 1, 'A', 1, 0, 0, 'y', 2, '.', 'q', 0, 0, 0};
    EXPECT_EQ(fuzzing::checkPackWriter(input.data(), input.size()), "");
    fuzzing::PackWriterInput parsed = fuzzing::parsePackWriterInput(input.data(), input.size());
    ASSERT_EQ(parsed.members.size(), 3u);
    EXPECT_EQ(parsed.members[1].first, "A");
    EXPECT_EQ(parsed.members[1].second, "y");
    EXPECT_TRUE(parsed.compress);
    EXPECT_TRUE(parsed.writeList);
#endif
}

TEST(FuzzCorpus, WholeInflaterAcceptsOnlyWhatZlibInflatesAlike) {
    EXPECT_GE(replay("fuzz_whole_inflater", fuzzing::checkWholeInflater), 8);
}
