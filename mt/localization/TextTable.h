#pragma once
#include <cstdint>

#include "mt/core/String.h"

namespace mt::localization {

// Texts by the 32-bit hash of their key. The key itself is not kept: two keys are the same entry exactly
// when their hashes are equal. Starts with 4 buckets and doubles them when the entries reach twice the
// bucket count. Texts never move once stored, so references to them stay valid until clear().
class TextTable {
  public:
    TextTable();
    ~TextTable();
    TextTable(const TextTable&) = delete;
    TextTable& operator=(const TextTable&) = delete;

    // The hash of a key: String::hashCode (h = h * 7919 + byte, bytes signed), computed four bytes a step.
    static uint32_t hashKey(const char* key, int length);

    // Adds a text under hash; an entry already under that hash stays, and the newer one is found first.
    // False when out of memory.
    bool insert(uint32_t hash, String&& text);
    // The newest text under hash, or null.
    const String* find(uint32_t hash) const;
    bool contains(uint32_t hash) const { return find(hash) != nullptr; }
    // Deletes every text.
    void clear();

    int size() const { return count; }
    int bucketCount() const { return buckets; }

  private:
    struct Entry {
        uint32_t hash;
        Entry* next;
        String text;
    };

    uint32_t bucketOf(uint32_t hash) const { return (hash * 0x9E3779B1u) >> shift; }
    void grow();

    Entry** table;
    int buckets;
    int shift;  // 32 - log2(buckets)
    int count;
};

}  // namespace mt::localization
