#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

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

void* operator new(size_t size) {
    if (allocationsLeft == 0)
        throw std::bad_alloc();
    if (allocationsLeft > 0)
        --allocationsLeft;
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, size_t) noexcept {
    std::free(memory);
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
    std::string pak = dir.path("a.pak");
    // Made before allocations fail: the test's own strings must not be what throws.
    const std::string hostFolder = dir.path() + "/";

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
        mt::XmlElement root;
        manager->listDirectory("data:/", &root, true);
        manager->listDirectory(hostFolder.c_str(), &root, false);
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
