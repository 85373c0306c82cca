#pragma once
#include <cstddef>
#include <cstdint>

namespace mt {

// Memory for the elements, attribute records and long values of one parsed document, handed out from a few
// large blocks instead of one heap allocation each. Every element placed in it holds a share; the blocks are
// freed when the last of those elements is destroyed, so a subtree detached from its document stays valid
// after the rest is deleted. Like the trees it serves, an arena is used by one thread at a time.
class XmlArena {
  public:
    // Null without memory.
    static XmlArena* create();
    XmlArena(const XmlArena&) = delete;
    XmlArena& operator=(const XmlArena&) = delete;

    // size bytes aligned for any of the records kept here; null without memory. Never freed one by one.
    void* allocate(size_t size) {
        size = (size + ALIGNMENT - 1) & ~(ALIGNMENT - 1);
        if (size <= static_cast<size_t>(limit - cursor)) {
            void* result = cursor;
            cursor += size;
            return result;
        }
        return allocateInNewBlock(size);
    }

    // Records of one size (attribute records) that are freed and made again while a document is edited: a
    // freed one is kept for the next, so that editing does not make the arena grow.
    void* allocateRecord(size_t size) {
        if (!spareRecords)
            return allocate(size);
        Spare* record = spareRecords;
        spareRecords = record->next;
        return record;
    }
    void recycleRecord(void* record) {
        auto* spare = static_cast<Spare*>(record);
        spare->next = spareRecords;
        spareRecords = spare;
    }

    void retain() { ++users; }
    // For an arena that nothing was placed in after all.
    void destroyIfUnused() {
        if (users == 0)
            destroy();
    }
    // The arena goes when its last user lets go of it.
    void release() {
        if (--users == 0)
            destroy();
    }

  private:
    // Everything kept here holds pointers and integers of at most 8 bytes.
    static constexpr size_t ALIGNMENT = 8;
    static constexpr size_t FIRST_BLOCK = 4096;
    static constexpr size_t LARGEST_BLOCK = 256 * 1024;

    struct Block {
        Block* next;
    };
    struct Spare {
        Spare* next;
    };

    XmlArena() = default;
    ~XmlArena() = default;
    void* allocateInNewBlock(size_t size);
    void destroy();

    Block* blocks = nullptr;
    char* cursor = nullptr;
    char* limit = nullptr;
    Spare* spareRecords = nullptr;
    size_t nextBlockSize = FIRST_BLOCK;
    uint32_t users = 0;
};

}  // namespace mt
