#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "PackSupport.h"
#include "TempDir.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/file/PackArchive.h"
#include "mt/file/PackWriter.h"
#include "mt/xml/XmlElement.h"

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

TEST(AllocationFailure, MountingOpeningAndListingReportFailuresInsteadOfThrowing) {
    TempDir dir;
    mt::file::PackWriter writer;
    for (int i = 0; i < 40; ++i) {
        std::string name = "dir" + std::to_string(i % 4) + "/file" + std::to_string(i) + ".txt";
        std::string content = sampleText(100 + i * 10, i);
        ASSERT_TRUE(writer.addMember(name.c_str(), content.data(), static_cast<int64_t>(content.size())));
    }
    ASSERT_TRUE(writer.write(dir.path("a.pak").c_str()));
    // Everything the step needs is made before allocations fail, so that only the framework meets them.
    std::string pak = dir.path("a.pak");
    std::string hostDirectory = dir.path() + "/";
    // The listings are destroyed once allocations work again (tearing down an element tree allocates).
    std::vector<std::unique_ptr<mt::XmlElement>> listings;
    listings.reserve(100000);

    int points = failEveryAllocation([&] {
        std::unique_ptr<mt::file::FileManager> manager(mt::file::createFileManager());
        if (!manager)
            return;
        manager->setRecordOpenedFiles(true);
        if (!manager->mountArchive(pak.c_str(), "data:"))
            return;
        std::unique_ptr<mt::file::File> file(manager->openFile("data:/dir1/file5.txt", 1, 0));
        if (file) {
            char buffer[64];
            file->read(buffer, sizeof buffer);
        }
        manager->getOpenedFiles();
        listings.emplace_back(new (std::nothrow) mt::XmlElement());
        if (!listings.back())
            return;
        manager->listDirectory("data:/", listings.back().get(), true);
        manager->listDirectory(hostDirectory.c_str(), listings.back().get(), false);
        manager->unmountArchive("data:");
    });
    EXPECT_GT(points, 10);
}

TEST(AllocationFailure, TheWriterReportsFailuresInsteadOfThrowing) {
    TempDir dir;
    dir.write("in.txt", sampleText(5000, 1));
    std::string out = dir.path("out.pak"), in = dir.path("in.txt");
    int points = failEveryAllocation([&] {
        mt::file::PackWriter writer;
        if (!writer.addMember("a.txt", "abc", 3) || !writer.addFile("in.txt", in.c_str()))
            return;
        writer.write(out.c_str());
        mt::file::PackArchive archive(nullptr);
        if (archive.open(out.c_str()))
            archive.readNameList();
    });
    EXPECT_GT(points, 5);
}
