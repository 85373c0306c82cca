#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "../file/PackSupport.h"
#include "../file/TempDir.h"
#include "mt/file/FileManagerImpl.h"
#include "platform/FileReplace.h"
#include "platform/HostFile.h"
#include "support/ToolRun.h"
#include "tools/paktool/PakTool.h"

namespace {

using Result = testsupport::ToolResult;

Result runTool(const std::vector<std::string>& args) {
    return testsupport::runCaptured(paktool::run, args);
}

int lineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// A source tree with small and large, compressible and incompressible files.
void makeTree(TempDir& dir) {
    dir.write("src/readme.txt", "read me\n");
    dir.write("src/empty.bin", "");
    dir.write("src/gfx/noise.bin", noise(70000, 1));
    dir.write("src/gfx/ui/text.txt", sampleText(200000, 2));
    dir.write("src/lang/english.lng", sampleText(3000, 3));
}

}  // namespace

TEST(PakTool, CreatedArchiveRoundTripsThroughExtractAndTheFileManager) {
    TempDir dir;
    makeTree(dir);
    std::string pak = dir.path("data.pak");
    Result created = runTool({"create", pak, "--base", dir.path("src"), dir.path("src")});
    ASSERT_EQ(created.code, 0) << created.err;
    EXPECT_EQ(created.out, pak + ": 5 members and the name list\n");

    Result listed = runTool({"list", "-l", pak});
    ASSERT_EQ(listed.code, 0);
    EXPECT_NE(listed.out.find("deflate   gfx/ui/text.txt"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("stored    gfx/noise.bin"), std::string::npos);
    EXPECT_NE(listed.out.find("filepack.list"), std::string::npos);
    EXPECT_EQ(lineCount(listed.out), 1 + 6 + 1);

    Result verified = runTool({"verify", pak});
    EXPECT_EQ(verified.code, 0) << verified.err;
    EXPECT_EQ(verified.out, pak + ": 5 members and the name list OK\n");

    Result extracted = runTool({"extract", pak, "--to", dir.path("out")});
    ASSERT_EQ(extracted.code, 0) << extracted.err;
    for (const char* name :
         {"readme.txt", "empty.bin", "gfx/noise.bin", "gfx/ui/text.txt", "lang/english.lng"}) {
        EXPECT_EQ(dir.read(std::string("out/") + name), dir.read(std::string("src/") + name)) << name;
    }
    Result one = runTool({"extract", pak, "-o", dir.path("one.txt"), "LANG\\English.lng"});
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(dir.read("one.txt"), dir.read("src/lang/english.lng"));

    std::unique_ptr<mt::file::FileManager> manager(mt::file::createFileManager());
    ASSERT_TRUE(manager->mountArchive(pak.c_str(), "data:"));
    manager->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
    for (const char* name : {"readme.txt", "gfx/noise.bin", "gfx\\ui\\text.txt", "data:/lang/english.lng"}) {
        std::unique_ptr<mt::file::File> file(manager->openFile(name, 1, 0));
        ASSERT_TRUE(file) << name;
        std::string bytes(static_cast<size_t>(file->getSize()), '\0');
        EXPECT_EQ(file->read(bytes.data(), file->getSize()), file->getSize());
        std::string source = name;
        source = source.substr(source.find(':') == std::string::npos ? 0 : 6);
        std::replace(source.begin(), source.end(), '\\', '/');
        EXPECT_EQ(bytes, dir.read("src/" + source)) << name;
    }
}

// Paths are UTF-8 on every host, also names that no 8-bit code page holds: they are packed under those
// names and extracted to them.
TEST(PakTool, FileNamesOutsideTheCodePageArePackedAndExtracted) {
    TempDir dir;
    const std::string folder = "\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe Gr\xc3\xb6\xc3\x9f\x65";  // Cyrillic, German
    const std::string file = "\xe7\x94\xbb\xe5\x83\x8f.txt";                                  // Chinese
    std::string content = sampleText(5000, 4);
    ASSERT_TRUE(platform::hostCreateDirectory(dir.path(folder).c_str()));
    ASSERT_TRUE(platform::replaceFileContents(dir.path(folder + "/" + file).c_str(), content.data(),
                                              content.size()));
    const std::string pak = dir.path("\xd0\x90\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2.pak");
    Result created = runTool({"create", pak, "--base", dir.path(""), dir.path(folder)});
    ASSERT_EQ(created.code, 0) << created.err;
    Result listed = runTool({"list", pak});
    EXPECT_NE(listed.out.find(folder + "/" + file + "\n"), std::string::npos) << listed.out;
    const std::string copy = dir.path("\xe5\x89\xaf\xe6\x9c\xac");
    Result extracted = runTool({"extract", pak, "--to", copy});
    ASSERT_EQ(extracted.code, 0) << extracted.err;
    platform::HostFile* back = platform::hostFileOpen((copy + "/" + folder + "/" + file).c_str(),
                                                      platform::HOST_FILE_READ);
    ASSERT_NE(back, nullptr);
    std::string bytes(content.size() + 1, '\0');
    bytes.resize(
        static_cast<size_t>(platform::hostFileRead(back, bytes.data(), static_cast<int64_t>(bytes.size()))));
    platform::hostFileClose(back);
    EXPECT_EQ(bytes, content);
}

TEST(PakTool, StoreOptionAndNamesRelativeToTheCurrentBase) {
    TempDir dir;
    makeTree(dir);
    std::string pak = dir.path("stored.pak");
    Result created = runTool({"create", pak, "--level", "0", "--base", dir.path(),
                              dir.path("src/gfx/ui/text.txt"), dir.path("src/readme.txt")});
    ASSERT_EQ(created.code, 0) << created.err;
    Result listed = runTool({"list", "--long", pak});
    EXPECT_NE(listed.out.find("stored    src/gfx/ui/text.txt"), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("deflate"), std::string::npos);
    EXPECT_EQ(runTool({"verify", pak}).code, 0);

    Result outside =
        runTool({"create", dir.path("x.pak"), "--base", dir.path("src/gfx"), dir.path("src/readme.txt")});
    EXPECT_EQ(outside.code, 1);
    EXPECT_NE(outside.err.find("outside the base"), std::string::npos);
}

TEST(PakTool, RefusesNamesThatDifferOnlyInCaseNamingBoth) {
#ifdef _WIN32
    GTEST_SKIP() << "file names differing only in case name one file on Windows";
#endif
    TempDir dir;
    dir.write("src/Gfx/A.png", "1");
    dir.write("src/gfx/a.png", "2");
    Result result = runTool({"create", dir.path("c.pak"), "--base", dir.path("src"), dir.path("src")});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("'Gfx/A.png' and 'gfx/a.png' differ only in case"), std::string::npos)
        << result.err;
    EXPECT_EQ(lineCount(result.err), 1);
    EXPECT_FALSE(dir.exists("c.pak"));
}

TEST(PakTool, CommandLineErrorsAreOneLineAndNonZero) {
    TempDir dir;
    makeTree(dir);
    Result help = runTool({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Usage: paktool"), std::string::npos);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"frobnicate"},
             {"create"},
             {"create", dir.path("x.pak")},
             {"create", dir.path("x.pak"), "--base"},
             {"create", dir.path("x.pak"), "--zip", dir.path("src")},
             {"list"},
             {"extract"},
             {"extract", dir.path("x.pak"), "-o", dir.path("o")},
         }) {
        Result result = runTool(args);
        EXPECT_EQ(result.code, 2) << args.size();
        EXPECT_EQ(lineCount(result.err), 1) << result.err;
    }
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"list", dir.path("missing.pak")},
             {"verify", dir.path("src/readme.txt")},
             {"create", dir.path("x.pak"), dir.path("nothing")},
             {"create", dir.path("no/such/dir/x.pak"), "--base", dir.path("src"), dir.path("src")},
         }) {
        Result result = runTool(args);
        EXPECT_EQ(result.code, 1) << args[0];
        EXPECT_EQ(lineCount(result.err), 1) << result.err;
    }
    ASSERT_EQ(runTool({"create", dir.path("ok.pak"), "--base", dir.path("src"), dir.path("src")}).code, 0);
    Result absent = runTool({"extract", dir.path("ok.pak"), "--to", dir.path("o"), "nothing.txt"});
    EXPECT_EQ(absent.code, 1);
    EXPECT_NE(absent.err.find("no member 'nothing.txt'"), std::string::npos);
}

TEST(PakTool, VerifyAndExtractReportDamage) {
    TempDir dir;
    std::string text = sampleText(40000, 5);
    std::string packed = deflated(text);
    std::string corrupt = packed;
    corrupt[packed.size() / 2] = static_cast<char>(corrupt[packed.size() / 2] ^ 0xFF);
    std::string list = nameList({"good.txt", "bad.txt", "../escape.txt", "missing.txt"});
    std::string escape = "x";
    std::vector<RawEntry> entries = {
        {mt::file::packNameHash("good.txt"), static_cast<uint32_t>(packed.size()),
         static_cast<uint32_t>(text.size()), 1, 0},
        {mt::file::packNameHash("bad.txt"), static_cast<uint32_t>(corrupt.size()),
         static_cast<uint32_t>(text.size()), 1, 0},
        {mt::file::packNameHash("../escape.txt"), 1, 1, 0, 0},
        {mt::file::packNameHash("filepack.list"), static_cast<uint32_t>(list.size()),
         static_cast<uint32_t>(list.size()), 0, 0},
    };
    uint32_t at = dataStart(entries.size());
    entries[0].offset = at;
    entries[1].offset = at + static_cast<uint32_t>(packed.size());
    entries[2].offset = entries[1].offset + static_cast<uint32_t>(corrupt.size());
    entries[3].offset = entries[2].offset + 1;
    dir.write("damaged.pak", rawArchive(entries, packed + corrupt + escape + list));

    Result verified = runTool({"verify", dir.path("damaged.pak")});
    EXPECT_EQ(verified.code, 1);
    EXPECT_NE(verified.err.find("member 'bad.txt' does not inflate"), std::string::npos) << verified.err;
    EXPECT_NE(verified.err.find("listed member 'missing.txt' is missing"), std::string::npos);
    EXPECT_EQ(verified.err.find("good.txt"), std::string::npos);

    Result extracted = runTool({"extract", dir.path("damaged.pak"), "--to", dir.path("out")});
    EXPECT_EQ(extracted.code, 1);
    EXPECT_EQ(dir.read("out/good.txt"), text);
    EXPECT_NE(extracted.err.find("member 'bad.txt' is damaged"), std::string::npos) << extracted.err;
    EXPECT_NE(extracted.err.find("'../escape.txt' would be written outside"), std::string::npos);
    EXPECT_FALSE(dir.exists("escape.txt"));
}

TEST(PakTool, AFailedCreateLeavesTheOldArchiveByteForByte) {
    TempDir dir;
    makeTree(dir);
    std::string pak = dir.path("data.pak");
    ASSERT_EQ(runTool({"create", pak, "--base", dir.path("src"), dir.path("src")}).code, 0);
    std::string before = dir.read("data.pak");
    // An input larger than 2 GiB (sparse: it takes no room on the disk).
    std::filesystem::create_directory(dir.path("huge"));
    dir.write("huge/big.bin", "");
    std::filesystem::resize_file(dir.path("huge/big.bin"), (int64_t{1} << 31) + 1);
    Result failed = runTool({"create", pak, "--base", dir.path(), dir.path("src"), dir.path("huge")});
    EXPECT_EQ(failed.code, 1);
    EXPECT_NE(failed.err.find("larger than 2 GiB"), std::string::npos) << failed.err;
    EXPECT_EQ(dir.read("data.pak"), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find("data.pak."), std::string::npos) << entry.path();
    EXPECT_EQ(runTool({"verify", pak}).code, 0);
}

TEST(PakTool, RefusesAnInputThatIsTheArchiveByAnyPath) {
#ifdef _WIN32
    GTEST_SKIP() << "builds its cases with symbolic links, which Wine cannot make";
#else
    TempDir dir;
    makeTree(dir);
    std::string pak = dir.path("src/data.pak");
    ASSERT_EQ(runTool({"create", pak, "--base", dir.path("src"), dir.path("src/readme.txt")}).code, 0);
    std::string before = dir.read("src/data.pak");
    std::filesystem::create_symlink(pak, dir.path("src/link.pak"));
    std::filesystem::create_hard_link(pak, dir.path("src/hard.pak"));
    for (const std::string& input :
         {dir.path("src/link.pak"), dir.path("src/hard.pak"), dir.path("src/gfx/../data.pak"), pak}) {
        Result result = runTool({"create", pak, "--base", dir.path("src"), input});
        EXPECT_EQ(result.code, 1) << input;
        EXPECT_NE(result.err.find("is the archive"), std::string::npos) << result.err;
        EXPECT_EQ(dir.read("src/data.pak"), before) << input;
    }
    std::filesystem::remove(dir.path("src/link.pak"));
    std::filesystem::remove(dir.path("src/hard.pak"));
    // Met in a directory, the archive is passed over.
    Result walked = runTool({"create", pak, "--base", dir.path("src"), dir.path("src")});
    ASSERT_EQ(walked.code, 0) << walked.err;
    EXPECT_EQ(walked.out, pak + ": 5 members and the name list\n");
#endif
}

TEST(PakTool, ExtractNeverWritesOverTheArchiveOrLeavesAHalfFile) {
    TempDir dir;
    std::string text = sampleText(40000, 5);
    std::string corrupt = deflated(text);
    corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0xFF);
    std::vector<RawEntry> entries = {
        {mt::file::packNameHash("bad.txt"), static_cast<uint32_t>(corrupt.size()),
         static_cast<uint32_t>(text.size()), 1, dataStart(2)},
        {mt::file::packNameHash("data.pak"), 4, 4, 0, 0}};
    entries[1].offset = dataStart(2) + static_cast<uint32_t>(corrupt.size());
    dir.write("data.pak", rawArchive(entries, corrupt + "evil"));
    std::string before = dir.read("data.pak");
    dir.write("keep.txt", "kept");

    Result damaged = runTool({"extract", dir.path("data.pak"), "-o", dir.path("keep.txt"), "bad.txt"});
    EXPECT_EQ(damaged.code, 1);
    EXPECT_EQ(dir.read("keep.txt"), "kept");
    Result self = runTool({"extract", dir.path("data.pak"), "-o", dir.path("data.pak"), "bad.txt"});
    EXPECT_EQ(self.code, 1);
    EXPECT_NE(self.err.find("is the archive itself"), std::string::npos) << self.err;
    Result intoItself = runTool({"extract", dir.path("data.pak"), "--to", dir.path(), "data.pak"});
    EXPECT_EQ(intoItself.code, 1);
    EXPECT_EQ(dir.read("data.pak"), before);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 2);
}

TEST(PakTool, VerifyReportsListedNamesThatNoLookupReaches) {
    TempDir dir;
    // Written the way a writer that hashed whole names did: ".hidden" under the hash of ".hidden", which a
    // lookup of ".hidden" (dropping ".h") never computes.
    std::string list = nameList({".hidden", "fine.txt"});
    std::vector<RawEntry> entries = {
        {mt::file::packNameHash(".hidden"), 1, 1, 0, 0},
        {mt::file::packNameHash("fine.txt"), 1, 1, 0, 0},
        {mt::file::packNameHash("filepack.list"), static_cast<uint32_t>(list.size()),
         static_cast<uint32_t>(list.size()), 0, 0},
    };
    entries[0].offset = dataStart(3);
    entries[1].offset = dataStart(3) + 1;
    entries[2].offset = dataStart(3) + 2;
    dir.write("old.pak", rawArchive(entries, "hf" + list));
    Result verified = runTool({"verify", dir.path("old.pak")});
    EXPECT_EQ(verified.code, 1);
    EXPECT_NE(verified.err.find("listed member '.hidden' cannot be reached by its name"), std::string::npos)
        << verified.err;
    EXPECT_EQ(verified.err.find("fine.txt"), std::string::npos);
    EXPECT_EQ(lineCount(verified.err), 1);

    // What the tool writes itself is reachable.
    dir.write("src/.hidden", "h");
    dir.write("src/.cfg/x", "x");
    ASSERT_EQ(runTool({"create", dir.path("new.pak"), "--base", dir.path("src"), dir.path("src")}).code, 0);
    Result fresh = runTool({"verify", dir.path("new.pak")});
    EXPECT_EQ(fresh.code, 0) << fresh.err;
    std::unique_ptr<mt::file::FileManager> manager(mt::file::createFileManager());
    ASSERT_TRUE(manager->mountArchive(dir.path("new.pak").c_str(), "new:"));
    std::unique_ptr<mt::file::File> file(manager->openFile("new:/.cfg/x", 1, 0));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->readByte(), 'x');
}
