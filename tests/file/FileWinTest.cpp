#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "TempDir.h"
#include "mt/file/FileWin.h"
#include "platform/HostFile.h"

using mt::String;
using mt::file::FileWin;
using mt::file::openNativeFile;

TEST(FileWin, OpensInTheFourModesWithEitherSeparator) {
    TempDir dir;
    dir.write("sub/a.txt", "hello");
    EXPECT_EQ(openNativeFile("", 1, nullptr), nullptr);
    EXPECT_EQ(openNativeFile(dir.path("missing").c_str(), 1, nullptr), nullptr);
    EXPECT_EQ(openNativeFile(dir.path("sub").c_str(), 1, nullptr), nullptr);  // a directory is not a file

    std::unique_ptr<FileWin> read(openNativeFile((dir.path() + "\\sub\\a.txt").c_str(), 7, nullptr));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->getSize(), 5);
    EXPECT_EQ(read->write("x", 1), 0);  // opened for reading only
    char out[16] = {};
    EXPECT_EQ(read->read(out, 16), 5);
    EXPECT_STREQ(out, "hello");
    EXPECT_TRUE(read->isEof());
    EXPECT_EQ(read->readByte(), 0);

    std::unique_ptr<FileWin> append(openNativeFile(dir.path("sub/a.txt").c_str(), 3, nullptr));
    ASSERT_TRUE(append);
    EXPECT_EQ(append->readByte(), 'h');
    EXPECT_EQ(append->write(" world", 6), 6);  // lands at the end whatever the position
    EXPECT_EQ(append->tell(), 11);
    EXPECT_TRUE(append->seek(6, 1));
    EXPECT_EQ(append->read(out, 16), 5);
    EXPECT_EQ(std::string(out, 5), "world");
    append.reset();

    std::unique_ptr<FileWin> create(openNativeFile(dir.path("sub/a.txt").c_str(), 2, nullptr));
    ASSERT_TRUE(create);
    EXPECT_EQ(create->getSize(), 0);
    EXPECT_TRUE(create->writeByte('Z'));
    EXPECT_EQ(create->getName(), String(dir.path("sub/a.txt").c_str()));
    create.reset();
    EXPECT_EQ(dir.read("sub/a.txt"), "Z");
}

TEST(FileWin, SeekOriginsAndRemove) {
    TempDir dir;
    dir.write("f.bin", "0123456789");
    std::unique_ptr<FileWin> file(openNativeFile(dir.path("f.bin").c_str(), 1, nullptr));
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->seek(-3, 2));
    EXPECT_EQ(file->tell(), 7);
    EXPECT_EQ(file->readByte(), '7');
    EXPECT_TRUE(file->seek(-2, 3));
    EXPECT_EQ(file->tell(), 6);
    EXPECT_FALSE(file->seek(-1, 1));
    EXPECT_FALSE(file->seek(0, 0));
    EXPECT_EQ(file->tell(), 6);
    EXPECT_TRUE(file->seek(20, 1));  // beyond the end is allowed; nothing is read there
    EXPECT_EQ(file->read(file.get(), 0), 0);
    char out[4];
    EXPECT_EQ(file->read(out, 4), 0);
    EXPECT_TRUE(file->remove());
    EXPECT_FALSE(dir.exists("f.bin"));
    EXPECT_FALSE(file->remove());
    EXPECT_EQ(file->tell(), -1);
    EXPECT_EQ(file->getSize(), -1);
    EXPECT_TRUE(file->isEof());
}

TEST(HostFile, CopyMoveDeleteAndDirectories) {
    TempDir dir;
    dir.write("a.txt", "content");
    std::string a = dir.path("a.txt"), b = dir.path("b.txt"), c = dir.path("d/c.txt");
    EXPECT_TRUE(mt::file::copyHostFile(a.c_str(), b.c_str(), true));
    EXPECT_EQ(dir.read("b.txt"), "content");
    EXPECT_FALSE(mt::file::copyHostFile(a.c_str(), b.c_str(), true));
    dir.write("a.txt", "changed");
    EXPECT_TRUE(mt::file::copyHostFile(a.c_str(), b.c_str(), false));
    EXPECT_EQ(dir.read("b.txt"), "changed");
    EXPECT_FALSE(mt::file::copyHostFile(a.c_str(), a.c_str(), false));  // never onto itself
    EXPECT_EQ(dir.read("a.txt"), "changed");
    EXPECT_FALSE(mt::file::copyHostFile(dir.path("none").c_str(), b.c_str(), false));

    EXPECT_TRUE(mt::file::createHostDirectory(dir.path("d").c_str()));
    EXPECT_FALSE(mt::file::createHostDirectory(dir.path("d").c_str()));
    EXPECT_FALSE(mt::file::moveHostFile(a.c_str(), b.c_str()));  // the target exists
    EXPECT_TRUE(mt::file::moveHostFile(a.c_str(), (dir.path() + "\\d\\c.txt").c_str()));
    EXPECT_EQ(dir.read("d/c.txt"), "changed");
    EXPECT_FALSE(dir.exists("a.txt"));
    EXPECT_FALSE(mt::file::removeHostDirectory(dir.path("d").c_str()));  // not empty
    EXPECT_FALSE(mt::file::deleteHostFile(dir.path("d").c_str()));       // not a file
    EXPECT_TRUE(mt::file::deleteHostFile(c.c_str()));
    EXPECT_FALSE(mt::file::deleteHostFile(c.c_str()));
    EXPECT_TRUE(mt::file::removeHostDirectory(dir.path("d").c_str()));

    dir.write("list/z.txt", "");
    dir.write("list/a/inner.txt", "");
    std::vector<platform::HostDirectoryEntry> entries;
    ASSERT_TRUE(platform::hostListDirectory(dir.path("list").c_str(), entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "a");
    EXPECT_TRUE(entries[0].isDirectory);
    EXPECT_EQ(entries[1].name, "z.txt");
    EXPECT_FALSE(entries[1].isDirectory);
    EXPECT_FALSE(platform::hostListDirectory(dir.path("nothing").c_str(), entries));
}
