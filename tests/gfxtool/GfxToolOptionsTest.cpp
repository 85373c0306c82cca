// gfxtool's command line: each command's own options, pixel formats by code and name, where each line goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "file/TempDir.h"
#include "graphics/PngTestSupport.h"
#include "mt/graphics/PixelFormat.h"
#include "support/ProgramRun.h"
#include "support/Terminal.h"
#include "support/ToolRun.h"
#include "tools/gfxtool/GfxTool.h"
#include "tools/gfxtool/PixelFormatNames.h"

namespace {

using Result = testsupport::ToolResult;
const std::string kProgram = MT_BINARY_DIR "/tools/gfxtool/gfxtool";

Result runTool(const std::vector<std::string>& args) {
    return testsupport::runCaptured(gfxtool::run, args);
}

// Unused on Windows, where the tests that run the program are skipped.
[[maybe_unused]] int lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// An opaque 2 x 4 picture.
std::string smallPng() {
    pngtest::PngLayout layout;
    layout.width = 2;
    layout.height = 4;
    layout.colorType = PNG_COLOR_TYPE_RGB;
    const std::vector<uint8_t> png =
        pngtest::writePng(layout, std::vector<std::vector<uint8_t>>(4, {1, 2, 3, 4, 5, 6}));
    return std::string(png.begin(), png.end());
}

}  // namespace

TEST(GfxToolOptions, EachCommandTakesOnlyItsOwnOptions) {
    TempDir dir;
    dir.write("in.png", smallPng());
    Result foreign = runTool({"frompng", dir.path("in.png"), dir.path("a.gfx"), "--storage", "raw",
                              "--format", "2", "--frame", "3"});
    EXPECT_EQ(foreign.code, gfxtool::EXIT_USAGE);
    EXPECT_EQ(foreign.err, "gfxtool: --frame is an option of topng, not of frompng (see gfxtool --help)\n");
    EXPECT_FALSE(dir.exists("a.gfx"));
    EXPECT_EQ(runTool({"info", dir.path("a.gfx"), "--dither"}).err,
              "gfxtool: --dither is an option of frompng, not of info (see gfxtool --help)\n");
    EXPECT_EQ(runTool({"topng", dir.path("a.gfx"), dir.path("b.png"), "-z"}).code, gfxtool::EXIT_USAGE);

    Result missing = runTool({"frompng", dir.path("in.png"), dir.path("a.gfx"), "--storage", "raw"});
    EXPECT_EQ(missing.code, gfxtool::EXIT_USAGE);
    EXPECT_NE(missing.err.find("frompng needs --format F"), std::string::npos) << missing.err;
    EXPECT_NE(runTool({"frompng", dir.path("in.png"), dir.path("a.gfx"), "--format", "2"})
                  .err.find("frompng needs --storage MODE"),
              std::string::npos);
    // "--" ends the options: a file may be called "-q".
    Result dashed = runTool({"info", "--", "-q"});
    EXPECT_EQ(dashed.code, gfxtool::EXIT_FAILED);
    EXPECT_EQ(dashed.err, "gfxtool: cannot open '-q'\n");
}

TEST(GfxToolOptions, FormatsByCodeAndNameInAnyCaseAreListedAndNamed) {
    const std::string help = runTool({"--help"}).out;
    for (int32_t code = mt::graphics::PIXEL_FORMAT_FIRST; code <= mt::graphics::PIXEL_FORMAT_LAST; ++code) {
        const char* name = gfxtool::pixelFormatName(code);
        EXPECT_EQ(gfxtool::parsePixelFormat(std::to_string(code)), code);
        if (!name)
            continue;
        std::string lower = name;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return std::tolower(c); });
        EXPECT_EQ(gfxtool::parsePixelFormat(name), code) << name;
        EXPECT_EQ(gfxtool::parsePixelFormat(lower), code) << lower;
        char listed[32];
        std::snprintf(listed, sizeof listed, "%2d %s", code, name);
        EXPECT_NE(help.find(listed), std::string::npos) << listed;
    }
    EXPECT_EQ(gfxtool::parsePixelFormat("argb8888"), mt::graphics::ARGB_8888);
    EXPECT_EQ(gfxtool::parsePixelFormat("Abgr 1555"), mt::graphics::ABGR_1555);
    EXPECT_EQ(gfxtool::parsePixelFormat("565"), mt::graphics::RGB_565);
    for (const char* wrong : {"", "0", "27", "-2", "argb", "0x2", "002x"})
        EXPECT_EQ(gfxtool::parsePixelFormat(wrong), 0) << wrong;

    // info names every format, not only the three of the packed storages.
    TempDir dir;
    dir.write("in.png", smallPng());
    ASSERT_EQ(runTool({"frompng", dir.path("in.png"), dir.path("a.gfx"), "--storage", "raw", "--format",
                       "abgr_1555"})
                  .code,
              gfxtool::EXIT_OK);
    Result info = runTool({"info", dir.path("a.gfx")});
    EXPECT_NE(info.out.find("pixel format:   15 (ABGR_1555)"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("Unknown pixel format"), std::string::npos);
    EXPECT_EQ(gfxtool::describePixelFormat(20), "20 (no pixel layout)");
    EXPECT_EQ(gfxtool::describePixelFormat(99), "99 (not a pixel format)");
}

TEST(GfxToolOptions, HelpStatesExitCodesAndFramesFromZero) {
    const std::string help = runTool({"--help"}).out;
    EXPECT_NE(help.find("Exit status: 0 success; 1"), std::string::npos);
    EXPECT_NE(help.find("2 a wrong command line"), std::string::npos);
    EXPECT_NE(help.find("Frames count from 0"), std::string::npos);
    TempDir dir;
    dir.write("in.png", smallPng());
    ASSERT_EQ(runTool({"frompng", dir.path("in.png"), dir.path("a.gfx"), "--storage", "raw", "--format", "3",
                       "--frames", "2"})
                  .code,
              gfxtool::EXIT_OK);
    EXPECT_EQ(runTool({"topng", dir.path("a.gfx"), dir.path("f.png"), "--frame", "1"}).code,
              gfxtool::EXIT_OK);
    Result past = runTool({"topng", dir.path("a.gfx"), dir.path("f.png"), "--frame", "2"});
    EXPECT_EQ(past.code, gfxtool::EXIT_FAILED);
    EXPECT_NE(past.err.find("2 frame(s), 0 to 1; there is no frame 2"), std::string::npos) << past.err;
}

TEST(GfxToolOptions, TheProgramPrintsResultsOnStdoutAndEachDiagnosticAsOneLineOnStderr) {
#ifdef _WIN32
    GTEST_SKIP() << "runs the program through posix_spawn";
#else
    TempDir dir;
    Result missing = testsupport::runProgram(kProgram, {"info", dir.path("none.gfx")});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.out, "") << "a framework line reached standard output";
    EXPECT_EQ(missing.err, "gfxtool: cannot open '" + dir.path("none.gfx") + "'\n");

    dir.write("in.png", smallPng());
    Result made = testsupport::runProgram(kProgram, {"frompng", dir.path("in.png"), dir.path("a.gfx"),
                                                     "--storage", "plain", "--format", "ARGB_4444"});
    EXPECT_EQ(made.code, 0) << made.err;
    EXPECT_EQ(made.err, "");
    EXPECT_EQ(lines(made.out), 1);
    EXPECT_NE(made.out.find("format 4 (ARGB_4444)"), std::string::npos) << made.out;
    Result quiet = testsupport::runProgram(kProgram, {"frompng", "-q", dir.path("in.png"), dir.path("a.gfx"),
                                                      "--storage", "plain", "--format", "4"});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");

    // The version is the project's, from the build's own cache.
    std::ifstream cache(MT_BINARY_DIR "/CMakeCache.txt");
    std::stringstream text;
    text << cache.rdbuf();
    const std::string key = "CMAKE_PROJECT_VERSION:STATIC=";
    const size_t at = text.str().find(key);
    ASSERT_NE(at, std::string::npos);
    const std::string version =
        text.str().substr(at + key.size(), text.str().find('\n', at) - at - key.size());
    EXPECT_EQ(testsupport::runProgram(kProgram, {"--version"}).out, "gfxtool " + version + "\n");
#endif
}

TEST(GfxToolOptions, DamagedOrTruncatedPicturesAreRefusedAndLeaveTheOutputAlone) {
#ifdef _WIN32
    GTEST_SKIP() << "runs the program through posix_spawn";
#else
    TempDir dir;
    pngtest::PngLayout layout;
    layout.width = 64;
    layout.height = 64;
    layout.colorType = PNG_COLOR_TYPE_RGB;
    std::vector<std::vector<uint8_t>> rows(64, std::vector<uint8_t>(64 * 3));
    uint32_t seed = 7;
    for (auto& row : rows)
        for (uint8_t& byte : row)
            byte = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    const std::vector<uint8_t> png = pngtest::writePng(layout, rows);
    dir.write("truncated.png", std::string(png.begin(), png.begin() + static_cast<long>(png.size() / 2)));
    std::string flipped(png.begin(), png.end());
    flipped[png.size() / 2] = static_cast<char>(flipped[png.size() / 2] ^ 0x55);
    dir.write("flipped.png", flipped);
    dir.write("old.gfx", "an older file");
    for (const char* name : {"truncated.png", "flipped.png"}) {
        Result result = testsupport::runProgram(
            kProgram, {"frompng", dir.path(name), dir.path("old.gfx"), "--storage", "raw", "--format", "2"});
        EXPECT_EQ(result.code, 1) << name;
        EXPECT_EQ(result.out, "") << name;
        EXPECT_EQ(result.err, "gfxtool: '" + dir.path(name) + "' is not a readable PNG picture\n") << name;
        EXPECT_EQ(dir.read("old.gfx"), "an older file") << name;
    }
#endif
}

TEST(GfxToolOptions, ProgressLineOnlyOnATerminalAndNotWithQuiet) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a pseudo-terminal (openpty)";
#else
    TempDir dir;
    dir.write("in.png", smallPng());
    const std::vector<std::string> args = {
        "frompng", dir.path("in.png"), dir.path("a.gfx"), "--storage", "plain", "--format", "2", "--frames",
        "2"};
    Result plain = runTool(args);  // standard error is a file here
    EXPECT_EQ(plain.code, 0);
    EXPECT_EQ(plain.err, "");

    testsupport::Terminal terminal;
    FILE* out = std::tmpfile();
    EXPECT_EQ(gfxtool::run(args, out, terminal.file()), 0);
    std::fclose(out);
    const std::string seen = terminal.seen();
    EXPECT_NE(seen.find("\rgfxtool: frompng   0% reading"), std::string::npos) << seen;
    EXPECT_EQ(seen.substr(seen.size() - 4), "\r\033[K");

    testsupport::Terminal quietTerminal;
    std::vector<std::string> quiet = args;
    quiet.push_back("-q");
    out = std::tmpfile();
    EXPECT_EQ(gfxtool::run(quiet, out, quietTerminal.file()), 0);
    EXPECT_EQ(testsupport::readAndClose(out), "");
    EXPECT_EQ(quietTerminal.seen(), "");
#endif
}
