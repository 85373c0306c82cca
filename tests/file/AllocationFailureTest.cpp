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
#include "support/FailingAllocator.h"
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
