#pragma once
#include <cstdint>
#include <vector>

namespace mt::graphics {

// The sine table that rotated textures use, registered under SERVICE_SINE_TABLE (21): N entries for one
// full turn, N a power of two, each sin(2 pi i / N) in 16.16 fixed point. The cosine of angle i is entry
// i + N/4 (taken around the turn).
class SineTable {
  public:
    // A table of count entries; null when count is not a power of two of at least 4.
    static SineTable* create(int count);

    int getCount() const { return static_cast<int>(values.size()); }
    const int32_t* getValues() const { return values.data(); }
    int32_t sine(int angle) const { return values[static_cast<uint32_t>(angle) & mask()]; }
    int32_t cosine(int angle) const {
        return values[(static_cast<uint32_t>(angle) + values.size() / 4) & mask()];
    }

  private:
    uint32_t mask() const { return static_cast<uint32_t>(values.size()) - 1; }
    std::vector<int32_t> values;
};

}  // namespace mt::graphics
