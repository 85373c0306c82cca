#include "mt/xml/XmlArena.h"

#include <cstdlib>
#include <new>

namespace mt {
namespace {

constexpr size_t roundUp(size_t size, size_t alignment) {
    return (size + alignment - 1) & ~(alignment - 1);
}

}  // namespace

XmlArena* XmlArena::create() {
    void* memory = std::malloc(sizeof(XmlArena));
    return memory ? new (memory) XmlArena() : nullptr;
}

// Blocks double in size up to LARGEST_BLOCK, so that a small document takes little memory and a large one
// few blocks; a request larger than that gets a block of its own size.
void* XmlArena::allocateInNewBlock(size_t size) {
    const size_t header = roundUp(sizeof(Block), ALIGNMENT);
    size_t capacity = nextBlockSize > size ? nextBlockSize : size;
    if (nextBlockSize < LARGEST_BLOCK)
        nextBlockSize *= 2;
    auto* block = static_cast<Block*>(std::malloc(header + capacity));
    if (!block)
        return nullptr;
    block->next = blocks;
    blocks = block;
    char* data = reinterpret_cast<char*>(block) + header;
    // A request that fills a block of its own leaves the current block for the smaller ones after it.
    if (capacity - size >= static_cast<size_t>(limit - cursor)) {
        cursor = data + size;
        limit = data + capacity;
    }
    return data;
}

void XmlArena::destroy() {
    for (Block* block = blocks; block;) {
        Block* next = block->next;
        std::free(block);
        block = next;
    }
    this->~XmlArena();
    std::free(this);
}

}  // namespace mt
