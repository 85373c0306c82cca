#include "tools/gfxtool/GfxTool.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "file/TempDir.h"
#include "graphics/PngTestSupport.h"
#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/Texture.h"
#include "mt/stream/MemoryStream.h"
#include "platform/FileReplace.h"
#include "platform/HostFile.h"
#include "support/ToolRun.h"

namespace {

using Result = testsupport::ToolResult;

Result runTool(const std::vector<std::string>& args) {
    return testsupport::runCaptured(gfxtool::run, args);
}

// A 4 x 6 RGBA picture with transparent (all zero), partly transparent and opaque pixels.
std::vector<std::vector<uint8_t>> pictureRows() {
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < 6; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < 4; ++x) {
            const int kind = (x + 2 * y) % 3;
            const uint8_t a = kind == 0 ? 0 : kind == 1 ? 0x80 : 0xFF;
            for (uint8_t v : {static_cast<uint8_t>(a ? 17 * x + 16 : 0), static_cast<uint8_t>(a ? 34 * y : 0),
                              static_cast<uint8_t>(a ? 0xC3 : 0), a})
                row.push_back(v);
        }
        rows.push_back(row);
    }
    return rows;
}

// The whole content of a file, by UTF-8 path; empty when it does not open.
std::string hostFileBytes(const std::string& path) {
    platform::HostFile* file = platform::hostFileOpen(path.c_str(), platform::HOST_FILE_READ);
    if (!file)
        return {};
    std::string bytes(static_cast<size_t>(std::max<int64_t>(0, platform::hostFileSize(file))), '\0');
    bytes.resize(
        static_cast<size_t>(platform::hostFileRead(file, bytes.data(), static_cast<int64_t>(bytes.size()))));
    platform::hostFileClose(file);
    return bytes;
}

// The RGBA bytes of a PNG file, rows one after the other.
std::vector<uint8_t> decode(const std::string& png, int& width, int& height) {
    std::vector<uint8_t> bytes(png.begin(), png.end());
    mt::MemoryStream in(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
    mt::graphics::PNGImageLoader loader;
    mt::graphics::Texture* texture = loader.load(&in);
    if (!texture)
        return {};
    width = texture->getSize().width;
    height = texture->getSize().height;
    const uint8_t* pixels = static_cast<const uint8_t*>(texture->lock()->pixels);
    std::vector<uint8_t> rgba(pixels, pixels + width * height * 4);
    texture->release(true);
    return rgba;
}

class GfxToolTest : public testing::Test {
  protected:
    void SetUp() override {
        pngtest::PngLayout layout;
        layout.width = 4;
        layout.height = 6;
        layout.colorType = PNG_COLOR_TYPE_RGBA;
        const std::vector<uint8_t> png = pngtest::writePng(layout, pictureRows());
        folder.write("in.png", std::string(png.begin(), png.end()));
        for (const auto& row : pictureRows())
            expected.insert(expected.end(), row.begin(), row.end());
    }
    std::string path(const std::string& name) { return folder.path(name); }

    TempDir folder;
    std::vector<uint8_t> expected;
};

}  // namespace

TEST_F(GfxToolTest, PicturesRoundTripThroughEveryStorage) {
    for (const std::string storage : {"raw", "plain", "alpha"}) {
        SCOPED_TRACE(storage);
        Result made = runTool({"frompng", path("in.png"), path("t.gfx"), "--storage", storage, "--format",
                               "2", "--frames", "2"});
        ASSERT_EQ(made.code, gfxtool::EXIT_OK) << made.err;
        EXPECT_NE(made.out.find("4 x 3, 2 frame(s)"), std::string::npos) << made.out;
        Result back = runTool({"topng", path("t.gfx"), path("out.png")});
        ASSERT_EQ(back.code, gfxtool::EXIT_OK) << back.err;
        int width = 0, height = 0;
        EXPECT_EQ(decode(folder.read("out.png"), width, height), expected);
        EXPECT_EQ(height, 6);

        // One frame alone: the lower half of the picture.
        ASSERT_EQ(runTool({"topng", path("t.gfx"), path("one.png"), "--frame", "1"}).code, gfxtool::EXIT_OK);
        EXPECT_EQ(decode(folder.read("one.png"), width, height),
                  std::vector<uint8_t>(expected.begin() + 48, expected.end()));
        EXPECT_EQ(height, 3);
    }

    // ARGB 4444 keeps the top four bits of each channel.
    ASSERT_EQ(
        runTool({"frompng", path("in.png"), path("q.gfx"), "--storage", "alpha", "--format", "argb4444"})
            .code,
        gfxtool::EXIT_OK);
    ASSERT_EQ(runTool({"topng", path("q.gfx"), path("q.png")}).code, gfxtool::EXIT_OK);
    int width = 0, height = 0;
    const std::vector<uint8_t> quantized = decode(folder.read("q.png"), width, height);
    ASSERT_EQ(quantized.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(quantized[i], (expected[i] >> 4) * 17) << i;
}

TEST_F(GfxToolTest, InfoAndErrors) {
    ASSERT_EQ(runTool({"frompng", path("in.png"), path("t.gfx"), "--storage", "plain", "--format", "3",
                       "--frames", "3"})
                  .code,
              gfxtool::EXIT_OK);
    Result info = runTool({"info", path("t.gfx")});
    EXPECT_EQ(info.code, gfxtool::EXIT_OK);
    EXPECT_NE(info.out.find("3 (RGB_565)"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("1 (PACKED PLAIN)"), std::string::npos);
    EXPECT_NE(info.out.find("frame 2:"), std::string::npos);
    EXPECT_NE(info.out.find("loads:          yes"), std::string::npos);

    EXPECT_EQ(runTool({}).code, gfxtool::EXIT_USAGE);
    EXPECT_EQ(runTool({"--help"}).out, gfxtool::usage());
    EXPECT_EQ(runTool({"frompng", path("in.png"), path("x.gfx"), "--storage", "zip", "--format", "2"}).code,
              gfxtool::EXIT_USAGE);
    EXPECT_EQ(runTool({"frompng", path("in.png"), path("x.gfx"), "--storage", "plain", "--format", "7"}).code,
              gfxtool::EXIT_USAGE);
    EXPECT_EQ(runTool({"frompng", path("in.png"), path("x.gfx"), "--storage", "raw", "--format", "2",
                       "--frames", "4"})
                  .code,
              gfxtool::EXIT_FAILED);
    EXPECT_EQ(runTool({"frompng", path("none.png"), path("x.gfx"), "--storage", "raw", "--format", "2"}).code,
              gfxtool::EXIT_FAILED);
    EXPECT_EQ(runTool({"topng", path("t.gfx"), path("x.png"), "--frame", "3"}).code, gfxtool::EXIT_FAILED);
    folder.write("bad.gfx", std::string(40, '\x7F'));
    Result bad = runTool({"info", path("bad.gfx")});
    EXPECT_EQ(bad.code, gfxtool::EXIT_FAILED);
    EXPECT_NE(bad.out.find("loads:          no"), std::string::npos);
    EXPECT_FALSE(folder.exists("x.gfx"));
}

namespace {

// The names in the test folder. (This and the next are unused on Windows, where their tests are skipped.)
std::vector<std::string> namesIn(const TempDir& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A packed-plain ARGB 8888 texture file of the given sides in which every row is one transparent segment
// (8 bytes a row), so that a file of a few KB declares a large picture.
[[maybe_unused]] std::string transparentPackedFile(int32_t width, int32_t height) {
    std::vector<uint8_t> frame;
    for (int32_t y = 0; y < height; ++y)
        for (uint32_t word : {static_cast<uint32_t>(width) * 4, 0u})
            for (int shift = 0; shift < 32; shift += 8)
                frame.push_back(static_cast<uint8_t>(word >> shift));
    std::vector<uint8_t> file;
    for (uint32_t word : {2u, 1u, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1u, 0u, 0u, 0u,
                          0u, static_cast<uint32_t>(frame.size())}) {
        const size_t at = file.size();
        for (int shift = 0; shift < 32; shift += 8)
            file.push_back(static_cast<uint8_t>(word >> shift));
        if (at == 16) {  // frame count and colour-index flag are 16-bit halves of one word
            file[16] = 1;
            file[17] = file[18] = file[19] = 0;
        }
    }
    file.insert(file.end(), frame.begin(), frame.end());
    return std::string(file.begin(), file.end());
}

#ifndef _WIN32
// Runs the tool in a child whose files may not grow beyond limit bytes; its exit code, -1 on failure.
int exitCodeWithFileSizeLimit(const std::vector<std::string>& args, rlim_t limit) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
        const rlimit size{limit, limit};
        setrlimit(RLIMIT_FSIZE, &size);
        FILE* sink = std::fopen("/dev/null", "w");
        _exit(gfxtool::run(args, sink, sink));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// How many bytes the peak memory of a child running the tool grew by, and its exit code (-1 on failure).
std::pair<int64_t, int> peakOfToolInChild(const std::vector<std::string>& args) {
    int ends[2];
    if (pipe(ends) != 0)
        return {-1, -1};
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        FILE* sink = std::fopen("/dev/null", "w");
        const int64_t code = gfxtool::run(args, sink, sink);
        getrusage(RUSAGE_SELF, &after);
        const int64_t report[2] = {(static_cast<int64_t>(after.ru_maxrss) - before.ru_maxrss) * 1024, code};
        _exit(write(ends[1], report, sizeof report) == sizeof report ? 0 : 1);
    }
    close(ends[1]);
    int64_t report[2] = {-1, -1};
    if (read(ends[0], report, sizeof report) != sizeof report)
        report[0] = -1;
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {-1, -1};
    return {report[0], static_cast<int>(report[1])};
}
#endif

}  // namespace

TEST_F(GfxToolTest, FailuresLeaveAnExistingOutputAsItWas) {
    folder.write("out.gfx", "old texture");
    folder.write("out.png", "old picture");
    const std::string png = folder.read("in.png");
    folder.write("cut.png", png.substr(0, png.size() - 30));
    std::string corrupt = png;
    corrupt[corrupt.size() / 2] ^= 0x40;
    folder.write("corrupt.png", corrupt);
    for (const std::string name : {"cut.png", "corrupt.png"}) {
        Result made = runTool({"frompng", path(name), path("out.gfx"), "--storage", "raw", "--format", "2"});
        EXPECT_EQ(made.code, gfxtool::EXIT_FAILED) << name << ": any libpng error is a failure";
    }
    // A picture that declares 16384 x 16384 in a few bytes fails at once, without a 1 GiB texture.
    const std::vector<uint8_t> head(png.begin(), png.begin() + 33);
    std::string huge(head.begin(), head.end());
    huge[16] = 0, huge[17] = 0, huge[18] = 0x40, huge[19] = 0;  // width 16384
    huge[20] = 0, huge[21] = 0, huge[22] = 0x40, huge[23] = 0;  // height 16384
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17);
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    huge += png.substr(33);
    folder.write("huge.png", huge);
    EXPECT_EQ(
        runTool({"frompng", path("huge.png"), path("out.gfx"), "--storage", "raw", "--format", "2"}).code,
        gfxtool::EXIT_FAILED);
    folder.write("bad.gfx", std::string(40, '\x7F'));
    EXPECT_EQ(runTool({"topng", path("bad.gfx"), path("out.png")}).code, gfxtool::EXIT_FAILED);
#ifndef _WIN32
    // Writing fails part way (the file size limit of a child stands in for a full disk).
    ASSERT_EQ(
        runTool({"frompng", path("in.png"), path("good.gfx"), "--storage", "raw", "--format", "2"}).code,
        gfxtool::EXIT_OK);
    for (const auto& args : {std::vector<std::string>{"frompng", path("in.png"), path("out.gfx"), "--storage",
                                                      "raw", "--format", "2"},
                             std::vector<std::string>{"topng", path("good.gfx"), path("out.png")}}) {
        EXPECT_EQ(exitCodeWithFileSizeLimit(args, 40), gfxtool::EXIT_FAILED) << args[0];
    }
    std::filesystem::remove(path("good.gfx"));
#endif
    // Output into a folder that does not exist.
    EXPECT_EQ(runTool({"topng", path("in.png"), path("none/out.png")}).code, gfxtool::EXIT_FAILED);

    EXPECT_EQ(folder.read("out.gfx"), "old texture");
    EXPECT_EQ(folder.read("out.png"), "old picture");
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"bad.gfx", "corrupt.png", "cut.png", "huge.png",
                                                         "in.png", "out.gfx", "out.png"}))
        << "no half-written file is left behind";

#ifndef _WIN32
    // A success replaces the old file whole, keeps its permissions, and writes through a link.
    chmod(path("out.gfx").c_str(), 0640);
    std::filesystem::create_symlink(path("out.gfx"), path("link.gfx"));
    ASSERT_EQ(
        runTool({"frompng", path("in.png"), path("link.gfx"), "--storage", "raw", "--format", "2"}).code,
        gfxtool::EXIT_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.gfx")));
    EXPECT_EQ(folder.read("out.gfx").size(), 36u + 4u + 4u * 6u * 4u);
    struct stat info;
    ASSERT_EQ(stat(path("out.gfx").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
#endif
}

TEST_F(GfxToolTest, AnOutputThatIsTheInputIsRefused) {
    ASSERT_EQ(runTool({"frompng", path("in.png"), path("t.gfx"), "--storage", "plain", "--format", "2"}).code,
              gfxtool::EXIT_OK);
    const std::string picture = folder.read("in.png"), texture = folder.read("t.gfx");
    std::vector<std::string> pictureSpellings = {
        path("in.png"), folder.path() + "/./in.png",
        folder.path() + "/../" + std::filesystem::path(folder.path()).filename().string() + "/in.png"};
    std::vector<std::string> textureSpellings = {path("t.gfx")};
#ifndef _WIN32
    // Links are made only where any user may make them.
    std::filesystem::create_hard_link(path("in.png"), path("hard.png"));
    std::filesystem::create_symlink(path("t.gfx"), path("soft.gfx"));
    pictureSpellings.push_back(path("hard.png"));
    textureSpellings.push_back(path("soft.gfx"));
#endif
    for (const std::string& output : pictureSpellings) {
        Result run = runTool({"frompng", path("in.png"), output, "--storage", "raw", "--format", "2"});
        EXPECT_EQ(run.code, gfxtool::EXIT_FAILED) << output;
        EXPECT_NE(run.err.find("is the input"), std::string::npos) << run.err;
    }
    for (const std::string& output : textureSpellings)
        EXPECT_EQ(runTool({"topng", path("t.gfx"), output}).code, gfxtool::EXIT_FAILED) << output;
    EXPECT_EQ(folder.read("in.png"), picture);
    EXPECT_EQ(folder.read("t.gfx"), texture);
}

// Paths are UTF-8 on every host: names outside any 8-bit code page go in and come out as given.
TEST_F(GfxToolTest, FileNamesOutsideTheCodePageAreReadAndWritten) {
    const std::string picture =
        folder.path() + "/Gr\xc3\xb6\xc3\x9f\x65 \xd1\x84\xd0\xbe\xd1\x82\xd0\xbe.png";
    const std::string texture = folder.path() + "/\xe7\x94\xbb\xd0\xa2.gfx";
    const std::string again = folder.path() + "/\xd1\x81\xd0\xbd\xd0\xbe\xd0\xb2\xd0\xb0.png";
    const std::string png = folder.read("in.png");
    ASSERT_TRUE(platform::replaceFileContents(picture.c_str(), png.data(), png.size()));
    Result made = runTool({"frompng", picture, texture, "--storage", "alpha", "--format", "argb8888"});
    ASSERT_EQ(made.code, gfxtool::EXIT_OK) << made.err;
    Result back = runTool({"topng", texture, again});
    ASSERT_EQ(back.code, gfxtool::EXIT_OK) << back.err;
    int width = 0, height = 0;
    EXPECT_EQ(decode(hostFileBytes(again), width, height), expected);
    // Writing over an existing output under such a name replaces it.
    ASSERT_EQ(runTool({"topng", texture, again}).code, gfxtool::EXIT_OK);
    EXPECT_EQ(decode(hostFileBytes(again), width, height), expected);
    EXPECT_EQ(runTool({"frompng", picture, picture, "--storage", "raw", "--format", "2"}).code,
              gfxtool::EXIT_FAILED);
    EXPECT_EQ(hostFileBytes(picture), png);
}

TEST_F(GfxToolTest, ToPngCostsMemoryByTheFileNotByTheSidesItDeclares) {
#ifdef _WIN32
    GTEST_SKIP() << "measures peak memory in a forked child (fork, getrusage)";
#else
    // 4096 x 1024 transparent pixels in a 32 KB file: 16 MiB as RGBA.
    folder.write("big.gfx", transparentPackedFile(4096, 1024));
    const auto [growth, code] = peakOfToolInChild({"topng", path("big.gfx"), path("big.png")});
    ASSERT_GE(growth, 0) << "the child failed";
    EXPECT_EQ(code, gfxtool::EXIT_OK);
    EXPECT_LT(growth, int64_t{8} << 20) << "peak memory grew by " << growth << " bytes";
    int width = 0, height = 0;
    const std::vector<uint8_t> rgba = decode(folder.read("big.png"), width, height);
    EXPECT_EQ(width, 4096);
    EXPECT_EQ(height, 1024);
    EXPECT_EQ(rgba, std::vector<uint8_t>(rgba.size(), 0));
#endif
}
