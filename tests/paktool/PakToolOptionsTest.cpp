// paktool's commands as a user meets them: member selection, listings, options, counts, damaged and cut-off
// archives, and where each line goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../file/PackSupport.h"
#include "../file/TempDir.h"
#include "support/Terminal.h"
#include "support/ToolRun.h"
#include "tools/paktool/PakTool.h"

namespace {

using Result = testsupport::ToolResult;

Result runTool(const std::vector<std::string>& args) {
    return testsupport::runCaptured(paktool::run, args);
}

int lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// src/ with five files, packed into data.pak.
class PakToolOptions : public testing::Test {
  protected:
    void SetUp() override {
        dir.write("src/readme.txt", "read me\n");
        dir.write("src/gfx/noise.bin", noise(70000, 1));
        dir.write("src/gfx/ui/text.txt", sampleText(200000, 2));
        dir.write("src/lang/english.lng", sampleText(3000, 3));
        dir.write("src/lang/deutsch.lng", sampleText(3000, 4));
        pak = dir.path("data.pak");
        Result created = runTool({"create", pak, "--base", dir.path("src"), dir.path("src")});
        ASSERT_EQ(created.code, 0) << created.err;
    }
    std::vector<std::string> listed(const std::string& archive) {
        Result result = runTool({"list", archive});
        std::vector<std::string> names;
        size_t start = 0;
        for (size_t end; (end = result.out.find('\n', start)) != std::string::npos; start = end + 1)
            names.push_back(result.out.substr(start, end - start));
        return names;
    }

    TempDir dir;
    std::string pak;
};

}  // namespace

TEST_F(PakToolOptions, OneMemberCountEverywhereThatLeavesOutTheNameList) {
    Result created = runTool({"create", dir.path("again.pak"), "--base", dir.path("src"), dir.path("src")});
    EXPECT_EQ(created.out, dir.path("again.pak") + ": 5 members and the name list\n");
    Result verified = runTool({"verify", pak});
    EXPECT_EQ(verified.out, pak + ": 5 members and the name list OK\n");
    Result longList = runTool({"list", "-l", pak});
    EXPECT_NE(longList.out.find("5 members and the name list\n"), std::string::npos) << longList.out;
    EXPECT_NE(runTool({"list", "--json", pak}).out.find("\"memberCount\": 5}"), std::string::npos);
    EXPECT_EQ(listed(pak).size(), 5u);  // names only, the name list not among them
}

TEST_F(PakToolOptions, ListingsLongAndJson) {
    EXPECT_EQ(listed(pak), (std::vector<std::string>{"gfx/noise.bin", "gfx/ui/text.txt", "lang/deutsch.lng",
                                                     "lang/english.lng", "readme.txt"}));
    Result longList = runTool({"list", "--long", pak});
    ASSERT_EQ(longList.code, 0);
    EXPECT_NE(longList.out.find("  size     stored  ratio  method    name\n"), std::string::npos)
        << longList.out;
    // Noise does not deflate: stored, ratio 100%.
    EXPECT_NE(longList.out.find("     70000      70000   100%  stored    gfx/noise.bin\n"), std::string::npos)
        << longList.out;
    EXPECT_NE(longList.out.find("deflate   gfx/ui/text.txt"), std::string::npos);
    EXPECT_NE(longList.out.find("filepack.list"), std::string::npos);
    EXPECT_EQ(lines(longList.out), 1 + 6 + 1);

    Result json = runTool({"list", "--json", pak});
    ASSERT_EQ(json.code, 0);
    std::string quotedPak;  // as JSON writes it: a backslash of a Windows path is escaped
    for (char c : pak)
        quotedPak += c == '\\' ? std::string("\\\\") : std::string(1, c);
    EXPECT_EQ(json.out.rfind("{\"archive\": \"" + quotedPak + "\", \"members\": [\n", 0), 0u) << json.out;
    EXPECT_NE(json.out.find("{\"name\": \"gfx/noise.bin\", \"hash\": \""), std::string::npos);
    EXPECT_NE(json.out.find("\"size\": 70000, \"stored\": 70000, \"method\": \"stored\"}"),
              std::string::npos);
    EXPECT_NE(json.out.find("\"nameList\": {\"name\": \"filepack.list\""), std::string::npos) << json.out;
    EXPECT_EQ(runTool({"list", "-l", "--json", pak}).code, paktool::EXIT_USAGE);
}

TEST_F(PakToolOptions, ExtractSelectsByFolderAndWildcardAndWritesStoredNames) {
    Result folder = runTool({"extract", pak, "--to", dir.path("a"), "-v", "LANG\\"});
    ASSERT_EQ(folder.code, 0) << folder.err;
    EXPECT_EQ(folder.out, "lang/deutsch.lng\nlang/english.lng\n");
    EXPECT_EQ(dir.read("a/lang/english.lng"), dir.read("src/lang/english.lng"));
    EXPECT_FALSE(dir.exists("a/readme.txt"));

    Result wildcard = runTool({"extract", pak, "--to", dir.path("b"), "-v", "*.TXT", "--exclude", "gfx"});
    ASSERT_EQ(wildcard.code, 0) << wildcard.err;
    EXPECT_EQ(wildcard.out, "readme.txt\n");

    // The typed spelling finds the member; the file takes the stored name.
    ASSERT_EQ(runTool({"extract", pak, "--to", dir.path("c"), "Lang/English.LNG"}).code, 0);
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path("c")))
        written.push_back(std::filesystem::relative(entry.path(), dir.path("c")).generic_string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"lang", "lang/english.lng"}));

    Result none = runTool({"extract", pak, "--to", dir.path("d"), "*.png", "readme.txt"});
    EXPECT_EQ(none.code, paktool::EXIT_FAILED);
    EXPECT_EQ(none.err, "paktool: no member '*.png' in '" + pak + "'\n");
    EXPECT_TRUE(dir.exists("d/readme.txt"));
}

TEST_F(PakToolOptions, ExtractToStandardOutput) {
    Result one = runTool({"extract", pak, "-o", "-", "-v", "readme.txt"});
    ASSERT_EQ(one.code, 0) << one.err;
    EXPECT_EQ(one.out, "read me\n");
    EXPECT_EQ(one.err, "readme.txt\n");  // names go to standard error when the data takes standard output
    Result two = runTool({"extract", pak, "-o", "-", "lang"});
    EXPECT_EQ(two.code, paktool::EXIT_USAGE);
    EXPECT_EQ(two.out, "");
    EXPECT_NE(two.err.find("-o writes one member, and 2 are selected"), std::string::npos) << two.err;
}

TEST_F(PakToolOptions, CreateStorePatternsLevelsVerboseAndQuiet) {
    Result created = runTool({"create", dir.path("s.pak"), "-q", "--store", "*.txt", "--level", "1", "--base",
                              dir.path("src"), dir.path("src")});
    ASSERT_EQ(created.code, 0) << created.err;
    EXPECT_EQ(created.out + created.err, "");
    Result longList = runTool({"list", "-l", dir.path("s.pak")});
    EXPECT_NE(longList.out.find("stored    gfx/ui/text.txt"), std::string::npos) << longList.out;
    EXPECT_NE(longList.out.find("deflate   lang/english.lng"), std::string::npos);

    ASSERT_EQ(
        runTool({"create", dir.path("z.pak"), "--level", "0", "--base", dir.path("src"), dir.path("src")})
            .code,
        0);
    EXPECT_EQ(runTool({"list", "-l", dir.path("z.pak")}).out.find("deflate"), std::string::npos);
    for (const char* level : {"10", "-1", "x", ""})
        EXPECT_EQ(runTool({"create", dir.path("y.pak"), "--level", level, dir.path("src")}).code,
                  paktool::EXIT_USAGE)
            << level;
    EXPECT_FALSE(dir.exists("y.pak"));

    Result verbose = runTool({"create", dir.path("v.pak"), "-v", "--exclude", "*.bin", "--exclude", "lang",
                              "--base", dir.path("src"), dir.path("src")});
    EXPECT_EQ(verbose.out,
              "gfx/ui/text.txt\nreadme.txt\n" + dir.path("v.pak") + ": 2 members and the name list\n");
    Result verified = runTool({"verify", "-v", dir.path("v.pak")});
    EXPECT_EQ(verified.out, "OK gfx/ui/text.txt\nOK readme.txt\nOK filepack.list\n" + dir.path("v.pak") +
                                ": 2 members and the name list OK\n");
    Result quiet = runTool({"verify", "-q", dir.path("v.pak")});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST_F(PakToolOptions, UnknownAndForeignOptionsAndTheEndOfOptions) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"list", "-x", pak},
                                               {"verify", "-l", pak},
                                               {"extract", pak, "--level", "3"},
                                               {"create", dir.path("n.pak"), "--to", "x", "y"},
                                               {"list", pak, "--json=yes"}}) {
        Result result = runTool(args);
        EXPECT_EQ(result.code, paktool::EXIT_USAGE) << args[1];
        EXPECT_EQ(lines(result.err), 1) << result.err;
    }
    EXPECT_NE(runTool({"verify", "-l", pak}).err.find("-l is an option of list, not of verify"),
              std::string::npos);

    // After "--" a file named "-v" is a path.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    dir.write("-v", "dash");
    Result dashed = runTool({"create", "dash.pak", "--", "-v"});
    std::filesystem::current_path(previous);
    ASSERT_EQ(dashed.code, 0) << dashed.err;
    EXPECT_EQ(listed(dir.path("dash.pak")), (std::vector<std::string>{"-v"}));
}

TEST_F(PakToolOptions, ExtractRefusesAMemberWhoseCheckValueDoesNotMatch) {
    // The deflate data is whole, only the check value at its end is wrong: every byte can be read, and only
    // the check tells the damage.
    const std::string text = sampleText(20000, 9);
    std::string packed = deflated(text);
    packed.back() = static_cast<char>(packed.back() ^ 0x01);
    const std::string list = nameList({"a.txt"});
    std::vector<RawEntry> entries = {
        {mt::file::packNameHash("a.txt"), static_cast<uint32_t>(packed.size()),
         static_cast<uint32_t>(text.size()), 1, 0},
        {mt::file::packNameHash("filepack.list"), static_cast<uint32_t>(list.size()),
         static_cast<uint32_t>(list.size()), 0, 0},
    };
    entries[0].offset = dataStart(entries.size());
    entries[1].offset = entries[0].offset + static_cast<uint32_t>(packed.size());
    dir.write("bad.pak", rawArchive(entries, packed + list));
    dir.write("out/a.txt", "older");

    Result extracted = runTool({"extract", dir.path("bad.pak"), "--to", dir.path("out")});
    EXPECT_EQ(extracted.code, paktool::EXIT_FAILED);
    EXPECT_EQ(extracted.err,
              "paktool: member 'a.txt' is damaged: it does not inflate: incorrect data check; nothing was "
              "written\n");
    EXPECT_EQ(dir.read("out/a.txt"), "older");
    Result piped = runTool({"extract", dir.path("bad.pak"), "-o", "-", "a.txt"});
    EXPECT_EQ(piped.code, paktool::EXIT_FAILED);
    Result verified = runTool({"verify", dir.path("bad.pak")});
    EXPECT_EQ(verified.code, paktool::EXIT_FAILED);
    EXPECT_NE(verified.err.find("incorrect data check"), std::string::npos) << verified.err;
}

TEST_F(PakToolOptions, ACutOffArchiveIsOneLineWithTheMissingBytes) {
    const std::string whole = dir.read("data.pak");
    dir.write("cut.pak", whole.substr(0, whole.size() - 1000));
    Result verified = runTool({"verify", dir.path("cut.pak")});
    EXPECT_EQ(verified.code, paktool::EXIT_FAILED);
    EXPECT_EQ(verified.err,
              "paktool: " + dir.path("cut.pak") + ": the archive is truncated: 1000 bytes are missing\n");
    Result listing = runTool({"list", dir.path("cut.pak")});
    EXPECT_EQ(listing.code, paktool::EXIT_FAILED);
    EXPECT_EQ(listing.err, "paktool: '" + dir.path("cut.pak") + "' is truncated: 1000 bytes are missing\n");

    Result extracted =
        runTool({"extract", dir.path("cut.pak"), "--to", dir.path("out"), "gfx/noise.bin", "readme.txt"});
    EXPECT_EQ(extracted.code, paktool::EXIT_FAILED);
    EXPECT_EQ(extracted.err,
              "paktool: '" + dir.path("cut.pak") +
                  "' is truncated: 1000 bytes are missing; the members it cuts off are not written\n");
    EXPECT_TRUE(dir.read("out/gfx/noise.bin") == dir.read("src/gfx/noise.bin"));  // not cut off: written
    EXPECT_FALSE(dir.exists("out/readme.txt"));                                   // written last, so cut off
    Result all = runTool({"extract", dir.path("cut.pak"), "--to", dir.path("all")});
    EXPECT_EQ(all.err, extracted.err);  // the name list is cut off too: still one line

    dir.write("head.pak", whole.substr(0, 30));
    Result head = runTool({"list", dir.path("head.pak")});
    EXPECT_EQ(head.code, paktool::EXIT_FAILED);
    const size_t directoryEnd = 8 + (static_cast<uint8_t>(whole[4]) | static_cast<uint8_t>(whole[5]) << 8);
    EXPECT_EQ(head.err, "paktool: '" + dir.path("head.pak") + "' is truncated: " +
                            std::to_string(directoryEnd - 30) + " bytes of its directory are missing\n");
}

TEST_F(PakToolOptions, ListFailsOnADamagedRow) {
    std::vector<RawEntry> entries = {{mt::file::packNameHash("a.txt"), 5, 5, 0, 0},
                                     {mt::file::packNameHash("b.txt"), 5, 5, 4, 0}};  // unknown flags
    entries[0].offset = dataStart(entries.size());
    entries[1].offset = entries[0].offset + 5;
    dir.write("rows.pak", rawArchive(entries, "aaaaabbbbb"));
    Result listing = runTool({"list", "-l", dir.path("rows.pak")});
    EXPECT_EQ(listing.code, paktool::EXIT_FAILED);
    EXPECT_NE(listing.out.find("damaged   #"), std::string::npos) << listing.out;
    EXPECT_EQ(listing.err, "paktool: '" + dir.path("rows.pak") + "' has 1 damaged directory row(s)\n");
}

TEST_F(PakToolOptions, ProgressOnlyOnATerminalAndNotWithQuiet) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a pseudo-terminal (openpty)";
#else
    Result plain = runTool({"extract", pak, "--to", dir.path("p")});
    EXPECT_EQ(plain.err, "");
    for (const char* command : {"extract", "verify", "create"}) {
        std::vector<std::string> args{command, pak};
        if (std::string(command) == "extract")
            args = {command, pak, "--to", dir.path("t")};
        if (std::string(command) == "create")
            args = {command, dir.path("t.pak"), "--base", dir.path("src"), dir.path("src")};
        testsupport::Terminal terminal;
        FILE* out = std::tmpfile();
        EXPECT_EQ(paktool::run(args, out, terminal.file()), 0) << command;
        std::fclose(out);
        const std::string seen = terminal.seen();
        EXPECT_NE(seen.find(std::string("\rpaktool: ") + command + " "), std::string::npos)
            << command << seen;
        EXPECT_EQ(seen.substr(seen.size() - 4), "\r\033[K") << command;

        testsupport::Terminal quietTerminal;
        args.push_back("-q");
        out = std::tmpfile();
        EXPECT_EQ(paktool::run(args, out, quietTerminal.file()), 0) << command;
        std::fclose(out);
        EXPECT_EQ(quietTerminal.seen(), "") << command;
    }
#endif
}
