#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>

#include "TempDir.h"
#include "platform/FileReplace.h"
#include "platform/HostFile.h"

namespace {

int fileCount(const TempDir& dir) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        count += entry.is_regular_file() || entry.is_symlink();
    return count;
}

#ifndef _WIN32
int permissions(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

// The id of a process that has ended.
pid_t endedProcess() {
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}
#endif

}  // namespace

TEST(HostFile, CopyOverAnExistingFileThatFailsLeavesItAsItWas) {
#ifdef _WIN32
    GTEST_SKIP() << "needs /proc/self/mem and POSIX permission bits";
#else
    TempDir dir;
    dir.write("target.txt", "precious");
    // Reading the process's own memory at offset 0 fails: a regular file whose copy breaks off.
    EXPECT_FALSE(platform::hostCopyFile("/proc/self/mem", dir.path("target.txt").c_str(), false));
    EXPECT_EQ(dir.read("target.txt"), "precious");
    EXPECT_EQ(fileCount(dir), 1);
    EXPECT_FALSE(platform::hostCopyFile("/proc/self/mem", dir.path("fresh.txt").c_str(), true));
    EXPECT_FALSE(dir.exists("fresh.txt"));

    dir.write("source.txt", "new content");
    ::chmod(dir.path("source.txt").c_str(), 0640);
    ASSERT_TRUE(
        platform::hostCopyFile(dir.path("source.txt").c_str(), dir.path("target.txt").c_str(), false));
    EXPECT_EQ(dir.read("target.txt"), "new content");
    EXPECT_EQ(permissions(dir.path("target.txt")), 0640);
    EXPECT_EQ(fileCount(dir), 2);
#endif
}

TEST(FileReplace, KeepsTheModeWritesThroughLinksAndRemovesStaleTemporaries) {
#ifdef _WIN32
    GTEST_SKIP() << "needs POSIX permission bits, symbolic links and fork";
#else
    TempDir dir;
    dir.write("settings.dat", "old");
    ::chmod(dir.path("settings.dat").c_str(), 0604);
    ASSERT_TRUE(platform::replaceFileContents(dir.path("settings.dat").c_str(), "new", 3));
    EXPECT_EQ(dir.read("settings.dat"), "new");
    EXPECT_EQ(permissions(dir.path("settings.dat")), 0604);

    std::filesystem::create_directory(dir.path("real"));
    dir.write("real/file.dat", "old");
    std::filesystem::create_symlink("real/file.dat", dir.path("link.dat"));
    ASSERT_TRUE(platform::replaceFileContents(dir.path("link.dat").c_str(), "through", 7));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link.dat")));
    EXPECT_EQ(dir.read("real/file.dat"), "through");
    // A dangling link gets its target created.
    std::filesystem::create_symlink("real/later.dat", dir.path("dangling.dat"));
    ASSERT_TRUE(platform::replaceFileContents(dir.path("dangling.dat").c_str(), "made", 4));
    EXPECT_EQ(dir.read("real/later.dat"), "made");
    std::filesystem::create_symlink("loop.dat", dir.path("loop.dat"));
    EXPECT_FALSE(platform::replaceFileContents(dir.path("loop.dat").c_str(), "x", 1));

    // A crashed writer's temporary file goes; a running process's stays.
    std::string stale = dir.path("settings.dat.new-" + std::to_string(endedProcess()) + "-0");
    std::string running = dir.path("settings.dat.new-" + std::to_string(::getppid()) + "-0");
    dir.write(stale.substr(dir.path().size() + 1), "half");
    dir.write(running.substr(dir.path().size() + 1), "busy");
    ASSERT_TRUE(platform::replaceFileContents(dir.path("settings.dat").c_str(), "again", 5));
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_EQ(dir.read("settings.dat"), "again");
#endif
}

TEST(FileReplace, AnAbandonedOrFailedReplacementLeavesTheTarget) {
    TempDir dir;
    dir.write("out.bin", "original");
    {
        platform::ReplacementFile file;
        ASSERT_TRUE(file.begin(dir.path("out.bin").c_str()));
        EXPECT_TRUE(file.write("partial", 7));
        EXPECT_EQ(fileCount(dir), 2);
    }  // never committed
    EXPECT_EQ(dir.read("out.bin"), "original");
    EXPECT_EQ(fileCount(dir), 1);

    platform::ReplacementFile file;
    ASSERT_TRUE(file.begin(dir.path("out.bin").c_str()));
    EXPECT_TRUE(file.write("0123456789", 10));
    EXPECT_TRUE(file.writeAt(2, "ab", 2));
    EXPECT_FALSE(file.writeAt(-1, "x", 1));  // a failed write spoils the replacement
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(dir.read("out.bin"), "original");
    EXPECT_EQ(fileCount(dir), 1);

    ASSERT_TRUE(file.begin(dir.path("out.bin").c_str()));
    EXPECT_TRUE(file.write("0123456789", 10));
    EXPECT_TRUE(file.writeAt(2, "ab", 2));
    EXPECT_TRUE(file.commit());
    EXPECT_EQ(dir.read("out.bin"), "01ab456789");
    EXPECT_FALSE(file.begin(dir.path("missing/out.bin").c_str()));
    EXPECT_FALSE(file.begin(dir.path().c_str()));  // a directory
}
