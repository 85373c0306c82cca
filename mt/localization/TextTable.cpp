#include "mt/localization/TextTable.h"

#include <new>
#include <utility>

namespace mt::localization {
namespace {

constexpr int INITIAL_BUCKETS = 4;
constexpr uint32_t P1 = 7919u;
constexpr uint32_t P2 = P1 * P1;
constexpr uint32_t P3 = P2 * P1;
constexpr uint32_t P4 = P3 * P1;

inline uint32_t signedByte(const char* p) {
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
}

}  // namespace

uint32_t TextTable::hashKey(const char* key, int length) {
    uint32_t hash = 0;
    if (!key)
        return hash;
    int i = 0;
    // Four steps of h = h * P + c folded into one: the products of the bytes do not depend on h.
    for (; i + 4 <= length; i += 4) {
        hash = hash * P4 + (signedByte(key + i) * P3 + signedByte(key + i + 1) * P2 +
                            signedByte(key + i + 2) * P1 + signedByte(key + i + 3));
    }
    for (; i < length; ++i)
        hash = hash * P1 + signedByte(key + i);
    return hash;
}

TextTable::TextTable() : table(nullptr), buckets(0), shift(32), count(0) {
    table = new (std::nothrow) Entry*[INITIAL_BUCKETS]();
    if (table) {
        buckets = INITIAL_BUCKETS;
        shift = 30;
    }
}

TextTable::~TextTable() {
    clear();
    delete[] table;
}

void TextTable::clear() {
    for (int b = 0; b < buckets; ++b) {
        Entry* entry = table[b];
        while (entry) {
            Entry* next = entry->next;
            delete entry;
            entry = next;
        }
        table[b] = nullptr;
    }
    count = 0;
}

bool TextTable::insert(uint32_t hash, String&& text) {
    if (!table)
        return false;
    auto* entry = new (std::nothrow) Entry{hash, nullptr, std::move(text)};
    if (!entry)
        return false;
    uint32_t b = bucketOf(hash);
    entry->next = table[b];
    table[b] = entry;
    ++count;
    if (count >= 2 * buckets)
        grow();
    return true;
}

const String* TextTable::find(uint32_t hash) const {
    if (!table)
        return nullptr;
    for (const Entry* entry = table[bucketOf(hash)]; entry; entry = entry->next) {
        if (entry->hash == hash)
            return &entry->text;
    }
    return nullptr;
}

// Doubles the buckets. Entries keep their order within a hash, so the newest text of a hash stays first.
// Without memory for the larger array the table keeps working with longer chains.
void TextTable::grow() {
    if (buckets > (1 << 28))
        return;
    int larger = buckets * 2;
    Entry** fresh = new (std::nothrow) Entry*[larger]();
    if (!fresh)
        return;
    Entry** tails = new (std::nothrow) Entry*[larger]();
    if (!tails) {
        delete[] fresh;
        return;
    }
    int largerShift = shift - 1;
    for (int b = 0; b < buckets; ++b) {
        Entry* entry = table[b];
        while (entry) {
            Entry* next = entry->next;
            uint32_t target = (entry->hash * 0x9E3779B1u) >> largerShift;
            entry->next = nullptr;
            if (tails[target])
                tails[target]->next = entry;
            else
                fresh[target] = entry;
            tails[target] = entry;
            entry = next;
        }
    }
    delete[] tails;
    delete[] table;
    table = fresh;
    buckets = larger;
    shift = largerShift;
}

}  // namespace mt::localization
