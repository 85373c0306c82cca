#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

#include "PackSupport.h"
#include "TempDir.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/file/FileWin.h"
#include "mt/file/MemoryFile.h"
#include "mt/file/PackWriter.h"
#include "mt/xml/XmlElement.h"

using mt::String;
using mt::file::File;
using mt::file::FileManager;

namespace {

std::string readAll(File* file) {
    std::string out;
    char buffer[512];
    for (int32_t got; (got = file->read(buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(got));
    return out;
}

// Three archives with overlapping members, mounted as the programs mount theirs.
class MountedManager : public ::testing::Test {
  protected:
    void SetUp() override {
        makeArchive("data.pak", {{"a.png", "data a"}, {"shared.txt", "data shared"}, {"x.txt", "data x"}});
        makeArchive("data2.pak", {{"a.png", "data2 a"}, {"only2.txt", "data2 only"}});
        makeArchive("site.pak", {{"shared.txt", "site shared"}, {"url.xml", "<selling/>"}});
        dir.write("host.txt", "host file");
        manager.reset(mt::file::createFileManager());
        ASSERT_TRUE(manager);
        manager->setArchiveDirectory(dir.path().c_str());
        ASSERT_TRUE(manager->mountArchive("data.pak", "data:"));
        ASSERT_TRUE(manager->mountArchive("data2.pak", "data2:"));
        ASSERT_TRUE(manager->mountArchive("site.pak", "site:"));
    }

    void makeArchive(const char* name, std::initializer_list<std::pair<const char*, std::string>> members) {
        mt::file::PackWriter writer;
        for (const auto& [path, content] : members)
            writer.addMember(path, content.data(), static_cast<int64_t>(content.size()));
        ASSERT_TRUE(writer.write(dir.path(name).c_str()));
    }

    std::string open(const char* path, int32_t mode = 1) {
        std::unique_ptr<File> file(manager->openFile(path, mode, 0));
        return file ? readAll(file.get()) : std::string("<none>");
    }

    TempDir dir;
    std::unique_ptr<FileManager> manager;
};

}  // namespace

TEST_F(MountedManager, NewestMountFirstAndMountNamesAsPatterns) {
    manager->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
    EXPECT_EQ(open("shared.txt"), "site shared");
    EXPECT_EQ(open("a.png"), "data2 a");
    EXPECT_EQ(open("x.txt"), "data x");

    manager->setSearchMode(0);
    EXPECT_EQ(open("data:/a.png"), "data2 a");  // "data" matches data2: as well, newest first
    EXPECT_EQ(open("DATA:/x.txt"), "data x");
    EXPECT_EQ(open("data:/shared.txt"), "data shared");  // site: is not searched
    EXPECT_EQ(open("site:/shared.txt"), "site shared");
    EXPECT_EQ(open("data2:/x.txt"), "<none>");
    EXPECT_EQ(open("d*2:/only2.txt"), "data2 only");
    EXPECT_EQ(open("data:\\x.txt"), "data x");
    EXPECT_EQ(open("shared.txt"), "<none>");  // relative paths go straight to the host
    EXPECT_EQ(open(""), "<none>");

    EXPECT_FALSE(manager->mountArchive("data.pak", "Data:"));
    EXPECT_FALSE(manager->mountArchive("missing.pak", "other:"));
    EXPECT_FALSE(manager->unmountArchive("nothing:"));
    EXPECT_TRUE(manager->unmountArchive("DATA2:"));
    EXPECT_EQ(open("data:/a.png"), "data a");
}

TEST_F(MountedManager, DriveLettersRootDirectoryAndWriting) {
    std::string host = dir.path("host.txt");
    manager->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
    EXPECT_EQ(open(host.c_str()), "host file");
    dir.write("C/x.txt", "from disk");
    EXPECT_EQ(open("C:/x.txt"),
              "data x");  // under search-all a drive letter is looked up in the archives first

    manager->setSearchMode(0);
    manager->setRootDirectory(dir.path().c_str());
    EXPECT_EQ(open("host.txt"), "host file");
    EXPECT_EQ(open("C/x.txt"), "from disk");
    manager->setRootDirectory(".");
    EXPECT_EQ(manager->getRootDirectory(), "");
    manager->setArchiveDirectory(".");
    EXPECT_EQ(manager->getArchiveDirectory(), "");

    // Writing never looks into archives: data:/x.txt is a host path that does not exist.
    EXPECT_EQ(manager->openFile("data:/x.txt", 2, 0), nullptr);
    std::unique_ptr<File> written(manager->openFile(dir.path("new.txt").c_str(), 2, 0));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->write("abc", 3), 3);
    written.reset();
    EXPECT_EQ(dir.read("new.txt"), "abc");

    EXPECT_TRUE(manager->copyFile(dir.path("new.txt").c_str(), dir.path("copy.txt").c_str(), true));
    EXPECT_TRUE(manager->moveFile(dir.path("copy.txt").c_str(), dir.path("moved.txt").c_str()));
    EXPECT_TRUE(manager->deleteFile(dir.path("moved.txt").c_str()));
    EXPECT_TRUE(manager->createDirectory(dir.path("d").c_str()));
    EXPECT_TRUE(manager->removeDirectory(dir.path("d").c_str()));
}

TEST_F(MountedManager, RecordsOpenedFilesAndKeepsOptionBits) {
    manager->setSearchMode(1);
    manager->setRecordOpenedFiles(true);
    open("a.png");
    open("missing.txt");
    open("a.png");
    std::vector<String> opened = manager->getOpenedFiles();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], "a.png");
    EXPECT_EQ(opened[1], "missing.txt");
    manager->setRecordOpenedFiles(false);
    open("x.txt");
    EXPECT_EQ(manager->getOpenedFiles().size(), 2u);
    manager->setRecordOpenedFiles(true);
    EXPECT_TRUE(manager->getOpenedFiles().empty());

    manager->setOptionFlags(0x12);
    manager->setOptionFlags(0x1);
    manager->clearOptionFlags(0x10);
    EXPECT_EQ(manager->getOptionFlags(), 0x3u);
    EXPECT_TRUE(manager->queryReady(0, 0));
}

TEST_F(MountedManager, MemoryDriveReachesOnlyNewOrRegisteredBlocks) {
    std::unique_ptr<File> fresh(manager->openFile("mem:/0.16", 1, 0));
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->getSize(), 16);
    EXPECT_EQ(fresh->write("0123456789abcdefXYZ", 19), 16);

    EXPECT_EQ(manager->openFile("mem:/16", 1, 0),
              nullptr);  // no '.': the host file system, where it is absent

    char block[32] = "registered memory block";
    char path[64];
    std::snprintf(path, sizeof path, "mem:/%llu.10",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block + 11)));
    EXPECT_EQ(manager->openFile(path, 1, 0), nullptr);
    ASSERT_TRUE(manager->registerMemoryBlock(block, 32));
    std::unique_ptr<File> inside(manager->openFile(path, 1, 0));
    ASSERT_TRUE(inside);
    EXPECT_EQ(readAll(inside.get()), "memory blo");
    std::snprintf(path, sizeof path, "mem:/0x%llx.30",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block + 11)));
    EXPECT_EQ(manager->openFile(path, 1, 0), nullptr);  // runs past the end of the block
    EXPECT_EQ(manager->openFile("mem:/0.-5", 1, 0), nullptr);
    EXPECT_TRUE(manager->unregisterMemoryBlock(block));
    EXPECT_FALSE(manager->unregisterMemoryBlock(block));
}

TEST_F(MountedManager, ListsArchivesAndHostDirectoriesAsElementTrees) {
    dir.write("tree/one.txt", "1");
    dir.write("tree/sub/two.txt", "2");
    mt::XmlName nameAttribute("name");
    auto name = [&](mt::XmlElement* element) {
        return std::string(element->findAttribute(nameAttribute)->getText().cstr());
    };

    mt::XmlElement host;
#ifdef _WIN32
    // A drive letter reads as a mount name ("C:"), so the folder is named from the current directory.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const bool listed = manager->listDirectory("tree/", &host, true);
    std::filesystem::current_path(previous);
    ASSERT_TRUE(listed);
#else
    ASSERT_TRUE(manager->listDirectory((dir.path("tree") + "/").c_str(), &host, true));
#endif
    ASSERT_EQ(host.childCount(), 1);
    mt::XmlElement* drive = host.firstChild();
    EXPECT_EQ(name(drive), "");
    mt::XmlElement* at = drive;
    while (at->firstChild() && name(at) != "tree")
        at = at->firstChild();  // mirrors the path
    ASSERT_EQ(name(at), "tree");
    ASSERT_EQ(at->childCount(), 2);
    EXPECT_EQ(name(at->firstChild()), "one.txt");
    EXPECT_EQ(at->firstChild()->name(), mt::XmlName("file"));
    mt::XmlElement* sub = at->lastChild();
    EXPECT_EQ(sub->name(), mt::XmlName("directory"));
    ASSERT_EQ(sub->childCount(), 1);
    EXPECT_EQ(name(sub->firstChild()), "two.txt");

    mt::XmlElement archives;
    ASSERT_TRUE(manager->listDirectory("data:/", &archives, false));
    ASSERT_EQ(archives.childCount(), 2);  // data: and data2:
    EXPECT_EQ(name(archives.firstChild()), "data:");
    EXPECT_EQ(archives.firstChild()->childCount(), 3);
    EXPECT_EQ(name(archives.lastChild()), "data2:");

    manager->setSearchMode(1);
    mt::XmlElement everything;
    ASSERT_TRUE(manager->listDirectory("*.txt", &everything, false));
    ASSERT_EQ(everything.childCount(), 4);  // three archives and the host
    EXPECT_EQ(name(everything.lastChild()), "");
}

TEST(FileManager, ScrambledFilesReadBackAndDetectTheirMarker) {
    TempDir dir;
    std::unique_ptr<FileManager> manager(mt::file::createFileManager());
    static const uint8_t key[] = {7, 200, 13, 99, 1};
    manager->setScrambleKey(key, 5);
    std::string plain = sampleText(3000, 9);
    {
        std::unique_ptr<File> file(manager->openFile(dir.path("s.bin").c_str(), 2, 0));
        ASSERT_TRUE(file);
        EXPECT_EQ(file->tell(), 0);
        EXPECT_EQ(file->write(plain.data(), static_cast<int32_t>(plain.size())),
                  static_cast<int32_t>(plain.size()));
    }
    std::string raw = dir.read("s.bin");
    ASSERT_EQ(raw.size(), plain.size() + 4);
    EXPECT_EQ(raw.substr(0, 4), "\xEF\xBE\xAD\xDE");
    EXPECT_EQ(raw[4], plain[0]);  // position 0 has key stream byte 0
    EXPECT_NE(raw.substr(4), plain);

    std::unique_ptr<File> file(manager->openFile(dir.path("s.bin").c_str(), 1, 0));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->getSize(), static_cast<int32_t>(plain.size()));
    EXPECT_EQ(readAll(file.get()), plain);
    ASSERT_TRUE(file->seek(1234, 1));
    char out[100];
    EXPECT_EQ(file->read(out, 100), 100);
    EXPECT_EQ(std::string(out, 100), plain.substr(1234, 100));
    EXPECT_FALSE(file->seek(-1, 1));  // inside the marker

    manager->setOptionFlags(mt::file::OPTION_NO_SCRAMBLE_DETECTION);
    std::unique_ptr<File> rawFile(manager->openFile(dir.path("s.bin").c_str(), 1, 0));
    EXPECT_EQ(readAll(rawFile.get()), raw);
    manager->clearOptionFlags(mt::file::OPTION_NO_SCRAMBLE_DETECTION);

    // Appending to a scrambled file continues the key stream at the end.
    {
        std::unique_ptr<File> append(manager->openFile(dir.path("s.bin").c_str(), 3, 0));
        ASSERT_TRUE(append);
        EXPECT_EQ(append->write("tail", 4), 4);
    }
    std::unique_ptr<File> again(manager->openFile(dir.path("s.bin").c_str(), 1, 0));
    EXPECT_EQ(readAll(again.get()), plain + "tail");

    // Without a key the data of a marked file reads as stored.
    manager->setScrambleKey(nullptr, 0);
    std::unique_ptr<File> keyless(manager->openFile(dir.path("s.bin").c_str(), 1, 0));
    EXPECT_EQ(keyless->getSize(), static_cast<int32_t>(plain.size()) + 4);
    EXPECT_EQ(readAll(keyless.get()).substr(0, 1), plain.substr(0, 1));
}

TEST(FileManager, KeyStreamBytesAreTheOnesWorkedOutByHand) {
    // Key 1 2 3, position 1: k = K[1] * 1 * 13 = 26; j = 0: t = 2 * 26 = 52, k = 52 * 16000 + 0 = 832000;
    // j = 1: t = 3 * 832000 = 2496000 = 38 * 65536 + 5632, k = 5632 * 16000 + 38 = 90112038;
    // j = 2: t = 4 * 90112038 = 360448152 = 5500 * 65536 + 152, k = 152 * 16000 + 5500 = 2437500;
    // 2437500 = 9521 * 256 + 124, so the byte is 124. The others the same way.
    const uint8_t key[] = {1, 2, 3};
    const uint8_t expected[] = {0, 124, 116, 58, 240, 34, 116, 100, 208, 174};
    for (int32_t p = 0; p < 10; ++p)
        EXPECT_EQ(mt::file::scrambleKeyByte(key, 3, p), expected[p]) << p;
    // Products that wrap around 32 bits and negative intermediate values (shifted arithmetically).
    const uint8_t longer[] = {7, 200, 13, 99, 1};
    EXPECT_EQ(mt::file::scrambleKeyByte(longer, 5, 1), 82);
    EXPECT_EQ(mt::file::scrambleKeyByte(longer, 5, 100), 79);
    EXPECT_EQ(mt::file::scrambleKeyByte(longer, 5, 1000), 123);
    EXPECT_EQ(mt::file::scrambleKeyByte(longer, 5, 123456), 24);
    EXPECT_EQ(mt::file::scrambleKeyByte(longer, 5, 2147483647), 61);
    const uint8_t high[] = {255, 255, 255, 255};
    EXPECT_EQ(mt::file::scrambleKeyByte(high, 4, 1), 238);
    EXPECT_EQ(mt::file::scrambleKeyByte(high, 4, 5), 159);
    EXPECT_EQ(mt::file::scrambleKeyByte(nullptr, 3, 5), 0);
    EXPECT_EQ(mt::file::scrambleKeyByte(key, 0, 5), 0);
}

TEST(FileManager, ScrambleKeyKeepsWhatWasWrittenBeforeTheFileWasRewound) {
    TempDir dir;
    static const uint8_t key[] = {9, 8, 7};
    std::unique_ptr<mt::file::FileWin> file(mt::file::openNativeFile(dir.path("w.bin").c_str(), 2, nullptr));
    ASSERT_TRUE(file);
    ASSERT_EQ(file->write("payload", 7), 7);
    ASSERT_TRUE(file->seek(0, 1));
    file->setScrambleKey(key, 3);  // written to already: neither truncated nor given the marker
    EXPECT_FALSE(file->isScrambled());
    file.reset();
    EXPECT_EQ(dir.read("w.bin"), "payload");

    // A new file that nothing was written to still gets the marker, also when asked twice.
    file.reset(mt::file::openNativeFile(dir.path("n.bin").c_str(), 2, nullptr));
    file->setScrambleKey(key, 3);
    file->setScrambleKey(key, 3);
    EXPECT_EQ(file->tell(), 0);
    EXPECT_EQ(file->write("ab", 2), 2);
    file.reset();
    EXPECT_EQ(dir.read("n.bin").substr(0, 5),
              "\xEF\xBE\xAD\xDE"
              "a");
    EXPECT_EQ(dir.read("n.bin").size(), 6u);
}

TEST_F(MountedManager, MemberReadsOutliveTheManager) {
    struct Handler : mt::file::FileErrorHandler {
        int32_t onFileEvent(int32_t, bool, int32_t) override { return ++events, 0; }
        int events = 0;
    } handler;
    std::string big = noise(200000, 4);
    makeArchive("big.pak", {{"big.bin", big}});
    manager->setErrorHandler(&handler);
    ASSERT_TRUE(manager->mountArchive("big.pak", "big:"));
    std::unique_ptr<File> member(manager->openFile("big:/big.bin", 1, 0));
    ASSERT_TRUE(member);
    char out[100];
    ASSERT_EQ(member->read(out, 100), 100);
    EXPECT_GT(handler.events, 0);  // the archive file's reads ask the manager's handler
    handler.events = 0;
    manager.reset();
    // Past the read window: the archive file is read again, without the manager or its handler.
    ASSERT_TRUE(member->seek(150000, 1));
    ASSERT_EQ(member->read(out, 100), 100);
    EXPECT_EQ(std::string(out, 100), big.substr(150000, 100));
    EXPECT_EQ(handler.events, 0);
    // A thread that reads for the first time opens the archive file itself.
    std::string fromThread;
    std::thread([&] {
        char buffer[10];
        member->seek(5, 1);
        fromThread.assign(buffer, static_cast<size_t>(std::max(member->read(buffer, 10), 0)));
    }).join();
    EXPECT_EQ(fromThread, big.substr(5, 10));
}

TEST_F(MountedManager, MemoryDriveRefusesBlocksBeyondItsLimit) {
    EXPECT_EQ(manager->openFile("mem:/0.1500000000", 1, 0), nullptr);
    std::unique_ptr<File> largest(manager->openFile("mem:/0.67108864", 1, 0));
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->getSize(), 64 << 20);
    largest.reset();
    EXPECT_EQ(manager->openFile("mem:/0.67108865", 1, 0), nullptr);
    manager->setMemoryFileLimit(100);
    EXPECT_EQ(manager->openFile("mem:/0.101", 1, 0), nullptr);
    std::unique_ptr<File> small(manager->openFile("mem:/0.100", 1, 0));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->getSize(), 100);
    // Registered blocks are the application's own memory: no allocation, no limit.
    static char block[200];
    ASSERT_TRUE(manager->registerMemoryBlock(block, 200));
    char path[64];
    std::snprintf(path, sizeof path, "mem:/%llu.200",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
    std::unique_ptr<File> registered(manager->openFile(path, 1, 0));
    EXPECT_TRUE(registered);
}

TEST(FileManager, ErrorHandlerIsAskedAfterOpensAndReads) {
    struct Handler : mt::file::FileErrorHandler {
        int32_t onFileEvent(int32_t operation, bool failed, int32_t one) override {
            events.push_back(operation * 10 + (failed ? 1 : 0));
            EXPECT_EQ(one, 1);
            return operation == 0 && failed && ++retries < 3 ? 1 : 0;
        }
        std::vector<int> events;
        int retries = 0;
    } handler;
    TempDir dir;
    dir.write("f.txt", "abc");
    std::unique_ptr<FileManager> manager(mt::file::createFileManager());
    manager->setErrorHandler(&handler);
    EXPECT_EQ(manager->getErrorHandler(), &handler);
    EXPECT_EQ(manager->openFile(dir.path("none").c_str(), 1, 0), nullptr);
    EXPECT_EQ(handler.events, (std::vector<int>{1, 1, 1}));  // two repeats asked for, then given up
    handler.events.clear();
    std::unique_ptr<File> file(manager->openFile(dir.path("f.txt").c_str(), 1, 0));
    char out[8];
    EXPECT_EQ(file->read(out, 8), 3);  // short at the end of the file: not a failure
    EXPECT_EQ(handler.events, (std::vector<int>{0, 20}));
    std::unique_ptr<File> memory(manager->openFile("mem:/0.4", 1, 0));
    memory->read(out, 2);
    EXPECT_EQ(handler.events, (std::vector<int>{0, 20, 0, 20}));
}

TEST(FileManager, HostAndMemoryFilesOutliveTheManager) {
    struct Handler : mt::file::FileErrorHandler {
        int32_t onFileEvent(int32_t, bool, int32_t) override { return ++events, 0; }
        int events = 0;
    } handler;
    TempDir dir;
    dir.write("f.txt", "0123456789");
    std::unique_ptr<FileManager> manager(mt::file::createFileManager());
    ASSERT_TRUE(manager);
    manager->setErrorHandler(&handler);
    std::unique_ptr<File> reader(manager->openFile(dir.path("f.txt").c_str(), 1, 0));
    std::unique_ptr<File> writer(manager->openFile(dir.path("out.txt").c_str(), 2, 0));
    std::unique_ptr<File> memory(manager->openFile("mem:/0.8", 1, 0));
    ASSERT_TRUE(reader && writer && memory);
    char out[8];
    ASSERT_EQ(reader->read(out, 2), 2);
    EXPECT_GT(handler.events, 0);
    handler.events = 0;
    manager.reset();
    // Plain host and memory files from now on: every operation works and no handler is asked.
    ASSERT_TRUE(reader->seek(4, 1));
    ASSERT_EQ(reader->read(out, 3), 3);
    EXPECT_EQ(std::string(out, 3), "456");
    EXPECT_EQ(reader->readByte(), '7');
    EXPECT_EQ(writer->write("abc", 3), 3);
    EXPECT_TRUE(writer->seek(1, 1));
    EXPECT_TRUE(writer->writeByte('B'));
    EXPECT_EQ(memory->read(out, 8), 8);
    EXPECT_EQ(memory->readByte(), 0);
    writer.reset();
    reader.reset();
    memory.reset();
    EXPECT_EQ(dir.read("out.txt"), "aBc");
    EXPECT_EQ(handler.events, 0);
}

TEST(FileManager, HostFileInUseOnAnotherThreadOutlivesTheManager) {
    struct Handler : mt::file::FileErrorHandler {
        int32_t onFileEvent(int32_t, bool, int32_t) override { return 0; }
    } handler;
    TempDir dir;
    dir.write("f.txt", "abcdefgh");
    std::unique_ptr<FileManager> manager(mt::file::createFileManager());
    ASSERT_TRUE(manager);
    manager->setErrorHandler(&handler);
    std::unique_ptr<File> file(manager->openFile(dir.path("f.txt").c_str(), 1, 0));
    ASSERT_TRUE(file);
    std::atomic<int> reads{0};
    std::atomic<bool> destroyed{false};
    int wrong = 0;
    std::thread user([&] {
        for (int after = 0; after < 200; ++reads) {
            char buffer[4];
            if (!file->seek(reads.load() % 4, 1) || file->read(buffer, 4) != 4 ||
                buffer[0] != 'a' + reads % 4)
                ++wrong;
            if (destroyed.load())
                ++after;
        }
    });
    while (reads.load() < 20)
        std::this_thread::yield();
    manager.reset();
    destroyed = true;
    user.join();
    EXPECT_EQ(wrong, 0);
}
