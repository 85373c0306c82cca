// A test program's replacement of operator new that can be told to fail, and failEveryAllocation, which
// runs a step with allocation failing after 0, 1, 2 ... allocations. Include it in exactly one source file
// of a test program: it defines the program's global operator new and delete.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// This test program's operator new can be told to fail: after the given number of further allocations on
// the calling thread, every one throws std::bad_alloc (and the nothrow forms give null).
namespace {
thread_local long allocationsLeft = -1;  // -1: never fail
}

namespace {

// Out of line, so that the compiler pairs no allocation it knows with a release it knows.
[[gnu::noinline]] void* allocateBlock(size_t size) {
    if (allocationsLeft == 0)
        throw std::bad_alloc();
    if (allocationsLeft > 0)
        --allocationsLeft;
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

[[gnu::noinline]] void releaseBlock(void* memory) {
    std::free(memory);
}

void* allocateBlockOrNull(size_t size) noexcept {
    try {
        return allocateBlock(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

void* operator new(size_t size) {
    return allocateBlock(size);
}
void* operator new[](size_t size) {
    return allocateBlock(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return allocateBlockOrNull(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return allocateBlockOrNull(size);
}
void operator delete(void* memory) noexcept {
    releaseBlock(memory);
}
void operator delete[](void* memory) noexcept {
    releaseBlock(memory);
}
void operator delete(void* memory, size_t) noexcept {
    releaseBlock(memory);
}
void operator delete[](void* memory, size_t) noexcept {
    releaseBlock(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    releaseBlock(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    releaseBlock(memory);
}

namespace {

// Runs the step with allocation failing after 0, 1, 2 ... allocations until it runs through without a
// failure; no exception may leave it on the way. Returns how many failure points were tried.
template <typename Step>
int failEveryAllocation(Step step) {
    for (long failAfter = 0; failAfter < 100000; ++failAfter) {
        allocationsLeft = failAfter;
        bool threw = false;
        try {
            step();
        } catch (...) {
            threw = true;
        }
        bool exhausted = allocationsLeft == 0;
        allocationsLeft = -1;
        EXPECT_FALSE(threw) << "an exception left the framework after " << failAfter << " allocations";
        if (threw || !exhausted)
            return static_cast<int>(failAfter);
    }
    return -1;
}

}  // namespace
