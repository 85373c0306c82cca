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
    static constexpr size_t ALIGNMENT = alignof(std::max_align_t);
    static constexpr size_t FIRST_BLOCK = 4096;
    static constexpr size_t LARGEST_BLOCK = 256 * 1024;

    struct Block {
        Block* next;
    };

    XmlArena() = default;
    ~XmlArena() = default;
    void* allocateInNewBlock(size_t size);
    void destroy();

    Block* blocks = nullptr;
    char* cursor = nullptr;
    char* limit = nullptr;
    size_t nextBlockSize = FIRST_BLOCK;
    uint32_t users = 0;
};

}  // namespace mt
