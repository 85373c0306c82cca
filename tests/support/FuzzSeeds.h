// The seed inputs of a fuzz target, as the corpus replay tests read them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace testsupport {

// Calls visit(bytes, path) for every file of fuzz/seeds/<target> in the source tree; returns how many.
template <typename Visit>
int forEachFuzzSeed(const char* target, Visit visit) {
    const std::filesystem::path corpus = std::filesystem::path(MT_SOURCE_DIR) / "fuzz/seeds" / target;
    int visited = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        visit(bytes, entry.path());
        ++visited;
    }
    return visited;
}

}  // namespace testsupport
