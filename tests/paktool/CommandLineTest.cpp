// The tools' shared command-line parsing and progress line, and paktool's member patterns.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>

#include "support/Terminal.h"
#include "support/ToolRun.h"
#include "tools/common/CommandLine.h"
#include "tools/common/ProgressLine.h"
#include "tools/paktool/MemberPattern.h"

namespace {

using toolsupport::CommandLine;
using toolsupport::CommandSpec;

const std::vector<CommandSpec> kCommands = {
    {"pack", {{"--level", nullptr, "N"}, {"--verbose", "-v", nullptr}, {"--exclude", nullptr, "PATTERN"}}},
    {"show", {{"--frame", nullptr, "N"}, {"--verbose", "-v", nullptr}}},
    {"draw", {{"--frame", nullptr, "N"}}},
};

std::string parse(const std::vector<std::string>& args, CommandLine& line) {
    return toolsupport::parseCommandLine(args, kCommands[0], kCommands, line);
}

}  // namespace

TEST(CommandLine, OptionsAnywhereValuesBothWaysAndDoubleDashEndsOptions) {
    CommandLine line;
    ASSERT_EQ(parse({"pack", "a", "--level", "3", "-v", "b", "--exclude=*.png", "--exclude", "x", "--", "-q",
                     "--level", "-"},
                    line),
              "");
    EXPECT_EQ(line.operands, (std::vector<std::string>{"a", "b", "-q", "--level", "-"}));
    EXPECT_EQ(line.value("--level"), "3");
    EXPECT_TRUE(line.has("--verbose"));  // typed as -v
    EXPECT_EQ(line.values("--exclude"), (std::vector<std::string>{"*.png", "x"}));
    EXPECT_EQ(line.value("--missing", "fallback"), "fallback");
}

TEST(CommandLine, RefusesUnknownForeignAndIncompleteOptions) {
    CommandLine line;
    EXPECT_EQ(parse({"pack", "-x"}, line), "unknown option '-x' for pack");
    EXPECT_EQ(parse({"pack", "--levels", "3"}, line), "unknown option '--levels' for pack");
    EXPECT_EQ(parse({"pack", "--frame", "3"}, line), "--frame is an option of show and draw, not of pack");
    EXPECT_EQ(parse({"pack", "a", "--level"}, line), "--level needs a value (N)");
    EXPECT_EQ(parse({"pack", "--verbose=yes"}, line), "--verbose takes no value");
    // A forgotten value is not filled with the next option.
    EXPECT_EQ(parse({"pack", "--exclude", "-v", "a"}, line), "--exclude needs a value (PATTERN) before -v");
    ASSERT_EQ(parse({"pack", "--exclude=-v", "a"}, line), "");
    EXPECT_EQ(line.value("--exclude"), "-v");
    EXPECT_EQ(toolsupport::allOptionNames(kCommands),
              (std::vector<std::string>{"--level", "--verbose", "-v", "--exclude", "--frame"}));
}

TEST(MemberPattern, FoldersWildcardsCaseAndSlashes) {
    using paktool::selectsMember;
    EXPECT_TRUE(selectsMember("lang", "lang/english.lng"));
    EXPECT_TRUE(selectsMember("LANG\\", "lang/english.lng"));
    EXPECT_FALSE(selectsMember("lan", "lang/english.lng"));  // a folder, not a prefix of a word
    EXPECT_FALSE(selectsMember("lang", "language.txt"));
    EXPECT_TRUE(selectsMember("Lang\\English.LNG", "lang/english.lng"));
    EXPECT_TRUE(selectsMember("*.png", "launcher/launcher_bg_english.png"));  // '*' crosses folders
    EXPECT_TRUE(selectsMember("launcher/*_??glish.PNG", "launcher/launcher_bg_english.png"));
    EXPECT_FALSE(selectsMember("*.png", "launcher/bg.png.txt"));
    EXPECT_TRUE(selectsMember("*a*b*c*", "xaxbxcx"));
    EXPECT_FALSE(selectsMember("*a*b*c*d", "xaxbxcx"));
    // Long runs of stars over a long name stay linear in each.
    EXPECT_FALSE(paktool::wildcardMatch(std::string(200, '*') + "b", std::string(20000, 'a')));
}

TEST(ProgressLine, DrawsOnlyOnATerminalAndNotWhenQuiet) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a pseudo-terminal (openpty)";
#else
    FILE* file = std::tmpfile();
    {
        toolsupport::ProgressLine progress(file, "tool: work", false);
        EXPECT_FALSE(progress.enabled());
        progress.update(1, 2, "a");
    }
    EXPECT_EQ(testsupport::readAndClose(file), "");

    testsupport::Terminal terminal;
    ASSERT_NE(terminal.file(), nullptr);
    {
        toolsupport::ProgressLine quiet(terminal.file(), "tool: work", true);
        quiet.update(1, 2, "hidden");
        toolsupport::ProgressLine progress(terminal.file(), "tool: work", false);
        EXPECT_TRUE(progress.enabled());
        progress.update(1, 4, "first");
        progress.update(4, 4, "last");
    }
    const std::string seen = terminal.seen();
    EXPECT_EQ(seen.find("hidden"), std::string::npos);
    EXPECT_NE(seen.find("\rtool: work  25% first"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\rtool: work 100% last"), std::string::npos) << seen;
    EXPECT_EQ(seen.substr(seen.size() - 4), "\r\033[K");  // cleared at the end
#endif
}
