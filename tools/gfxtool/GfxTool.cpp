#include "tools/gfxtool/GfxTool.h"

#include <png.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/PixelRef.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWPackedAlpha.h"
#include "mt/graphics/TextureDataSWPackedPlain.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/graphics/TextureFile.h"
#include "mt/graphics/TexturePacker.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/FileInputStream.h"
#include "platform/FileReplace.h"
#include "platform/HostFile.h"
#include "tools/common/CommandLine.h"
#include "tools/common/ProgressLine.h"
#include "tools/gfxtool/PixelFormatNames.h"

using namespace mt::graphics;

namespace gfxtool {

namespace {

const char* const USAGE =
    "Usage: gfxtool COMMAND ARGUMENTS [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  topng FILE.gfx OUT.png [--frame N] [-q]\n"
    "      Writes the texture file's frames as an RGBA picture, one below the other, or only frame N.\n"
    "      Colour-indexed pixels are written as they are stored.\n"
    "  frompng IN.png OUT.gfx --storage MODE --format F [--frames N] [--dither] [-q]\n"
    "      Makes a texture file from a picture.\n"
    "  info FILE.gfx\n"
    "      Shows the header (the pixel format by code and name), the frame sizes and whether the file\n"
    "      loads.\n"
    "  -h, --help\n"
    "      Shows this text.\n"
    "  --version\n"
    "      Shows the version.\n"
    "\n"
    "Options (each command takes only its own):\n"
    "  --frame N          topng: only frame N. Frames count from 0: the first frame is 0.\n"
    "  --storage MODE     frompng: raw keeps every pixel; plain packs runs of visible pixels (fully\n"
    "                     transparent pixels cost nothing); alpha packs partly transparent and opaque\n"
    "                     pixels in runs of their own.\n"
    "  --format F         frompng: the pixel format, by code or by name (below).\n"
    "  --frames N         frompng: the picture is a column of N frames of equal height (1 to 32767).\n"
    "  --dither           frompng: carries the rounding error of raw conversions on to the next pixel.\n"
    "  -q, --quiet        topng, frompng: no progress line and no summary line.\n"
    "\n"
    "Pixel formats (--format takes the code or the name, in any case, with or without '_'):\n"
    "   1 RGB_888      2 ARGB_8888    3 RGB_565      4 ARGB_4444    5 PAL_8        6 ARGB_1555\n"
    "   7 ABGR_8888    8 BGR_888      9 BGR_565     10 ABGR_4444   11 PAL_4       12 DXT1\n"
    "  13 DXT3        14 DXT5        15 ABGR_1555   16 PAL_2       17 PAL_5A3     26 A_8\n"
    "  Codes 18 to 25 have no pixel layout. Every storage takes 2, 3 and 4; raw storage also takes 1,\n"
    "  6 to 10, 15 and 26. The others are read from texture files but not made from pictures.\n"
    "\n"
    "A progress line is shown on standard error while frompng and topng work, when it is a terminal.\n"
    "\n"
    "Exit status: 0 success; 1 a file cannot be read or written, or a picture or texture file is damaged;\n"
    "2 a wrong command line (unknown command or option, an option of another command, a missing or\n"
    "wrong value).\n";

// The options of each command; any other option is an error that names the command it belongs to.
const std::vector<toolsupport::CommandSpec> kCommands = {
    {"topng", {{"--frame", nullptr, "N"}, {"--quiet", "-q", nullptr}}},
    {"frompng",
     {{"--storage", nullptr, "MODE"},
      {"--format", nullptr, "F"},
      {"--frames", nullptr, "N"},
      {"--dither", nullptr, nullptr},
      {"--quiet", "-q", nullptr}}},
    {"info", {}},
};

struct Options {
    std::vector<std::string> positional;
    std::string storage;
    std::string format;
    int frames = 1;
    int frame = -1;
    bool dither = false;
    bool quiet = false;
};

bool parseInt(const std::string& text, int& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// Registers a file manager for the library's loaders and writers while the tool runs.
class FileSystem {
  public:
    FileSystem() : manager(mt::file::createFileManager()) {
        previous = mt::g_serviceRegistry;
        if (manager)
            registry.registerService(manager.get(), mt::SERVICE_FILE_MANAGER);
        mt::g_serviceRegistry = &registry;
    }
    ~FileSystem() { mt::g_serviceRegistry = previous; }
    bool ready() const { return manager != nullptr; }

  private:
    std::unique_ptr<mt::file::FileManager> manager;
    mt::ServiceRegistry registry;
    mt::ServiceRegistry* previous;
};

// Releases a texture when it goes out of scope.
struct TextureRef {
    Texture* texture = nullptr;
    explicit TextureRef(Texture* t = nullptr) : texture(t) {}
    ~TextureRef() { mt::releaseReference(texture, true); }
    TextureRef(const TextureRef&) = delete;
    TextureRef& operator=(const TextureRef&) = delete;
};

// Whether two paths name the same existing file (by device and file number), whatever the spelling or links.
bool sameFile(const std::string& a, const std::string& b) {
    return platform::hostSameFile(a.c_str(), b.c_str());
}

// Produces row y of a picture as 8-bit RGBA into row; false when the row could only be made in part.
using RowSource = bool (*)(void* context, int y, uint8_t* row);

struct PngRows {
    RowSource source;
    void* context;
    uint8_t* row;
    bool complete;
};

// libpng's output into the new file; a failed write shows at commit.
void writeToReplacement(png_structp png, png_bytep data, size_t size) {
    static_cast<platform::ReplacementFile*>(png_get_io_ptr(png))->write(data, size);
}
void flushNothing(png_structp) {}

// Writes a width x height RGBA picture as a PNG into file, a row at a time. Nothing with a destructor lives
// in this frame, so that libpng's error return may unwind it.
bool writePng(platform::ReplacementFile& file, int width, int height, PngRows* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &file, writeToReplacement, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        rows->complete = rows->source(rows->context, y, rows->row) && rows->complete;
        png_write_row(png, rows->row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Writes the texture as a texture file in place of outputPath; the bytes written, or 0 on failure (the old
// file is then as it was).
int64_t replaceWithTextureFile(Texture* texture, int frames, const std::string& outputPath) {
    TextureFileParts parts;
    platform::ReplacementFile file;
    if (!layoutTextureFile(texture, frames, parts) || !file.begin(outputPath.c_str()))
        return 0;
    int64_t written = static_cast<int64_t>(parts.head.size());
    file.write(parts.head.data(), parts.head.size());
    for (const TextureFileParts::Span& frame : parts.frames) {
        file.write(frame.bytes, frame.size);
        written += frame.size;
    }
    return file.commit() ? written : 0;
}

class Tool {
  public:
    Tool(FILE* out, FILE* err) : out(out), err(err) {}

    int fail(const std::string& message) {
        if (progress)
            progress->finish();
        std::fprintf(err, "gfxtool: %s\n", message.c_str());
        return EXIT_FAILED;
    }
    int usageError(const std::string& message) {
        std::fprintf(err, "gfxtool: %s (see gfxtool --help)\n", message.c_str());
        return EXIT_USAGE;
    }

    int toPng(const Options& options);
    int fromPng(const Options& options);
    int info(const Options& options);

  private:
    // Reads a texture file in its own pixel format; null (with the reason on err) when it does not load.
    Texture* loadFile(const std::string& path, GfxHeader& header);

    FILE* out;
    FILE* err;
    // The progress line of the command at work, cleared before any message.
    std::unique_ptr<toolsupport::ProgressLine> progress;
};

Texture* Tool::loadFile(const std::string& path, GfxHeader& header) {
    mt::FileInputStream in{mt::String(path.c_str()), 0};
    if (!in.isOpen()) {
        fail("cannot open '" + path + "'");
        return nullptr;
    }
    uint8_t bytes[GFX_HEADER_SIZE];
    if (in.read(bytes, GFX_HEADER_SIZE) != GFX_HEADER_SIZE) {
        fail("'" + path + "' is too short for a texture file");
        return nullptr;
    }
    header = parseTextureHeader(bytes);
    Texture* texture = new (std::nothrow) Texture(
        TEXTURE_FROM_FILE, mt::String(), Size{header.width, header.height}, header.format, nullptr, 0, 1);
    if (!texture) {
        fail("out of memory");
        return nullptr;
    }
    if (!loadTextureData(in, texture, header, header.format, false)) {
        texture->release(true);
        fail("'" + path + "' is damaged or not a texture file this tool can read");
        return nullptr;
    }
    return texture;
}

// The rows of a run of frames, one below the other, as 8-bit RGBA, made one row at a time in order, so that
// memory stays in proportion to a row and to the file, whatever size the file declares.
class FrameRows {
  public:
    FrameRows(Texture* texture, int firstFrame) : texture(texture), firstFrame(firstFrame) {
        data = dynamic_cast<TextureDataSW*>(texture->getData());
        packedData = dynamic_cast<TextureDataSWPackedPlain*>(data);
        size = texture->getSize();
        format = texture->getFormat();
        bytesPerPixel = getBytesPerPixel(format);
    }

    // Row y of the run of frames (y counts through the frames in order, starting at 0).
    bool row(int y, uint8_t* rgba) {
        std::memset(rgba, 0, static_cast<size_t>(size.width) * 4);
        const int frame = firstFrame + y / size.height;
        const int line = y % size.height;
        if (!data || !data->lock()->pixels)
            return false;
        return data->getStorageFormat() == STORAGE_RAW ? rawRow(frame, line, rgba)
                                                       : packedRow(frame, line, rgba);
    }

    static bool produce(void* context, int y, uint8_t* rgba) {
        return static_cast<FrameRows*>(context)->row(y, rgba);
    }

  private:
    void put(uint8_t* rgba, int x, const PixelRef& pixel) {
        int r, g, b, a;
        pixel.readRGBA(r, g, b, a);
        rgba[4 * x] = static_cast<uint8_t>(r);
        rgba[4 * x + 1] = static_cast<uint8_t>(g);
        rgba[4 * x + 2] = static_cast<uint8_t>(b);
        rgba[4 * x + 3] = static_cast<uint8_t>(a);
    }

    bool rawRow(int frame, int line, uint8_t* rgba) {
        const uint8_t* level = static_cast<const uint8_t*>(data->lock()->pixels);
        const int64_t offset = data->getFrameOffset(frame);
        const int64_t bytes = levelByteSize(format, size.width, size.height);
        if (bytes <= 0 || offset < 0 || offset + bytes > data->getDataSize())
            return false;
        const PixelRef first(const_cast<uint8_t*>(level) + offset, format, texture);
        const int64_t start = static_cast<int64_t>(line) * size.width;
        for (int x = 0; x < size.width; ++x)
            put(rgba, x, first.at(start + x));
        return true;
    }

    bool packedRow(int frame, int line, uint8_t* rgba) {
        if (!packedData || (bytesPerPixel != 2 && bytesPerPixel != 4))
            return false;
        if (line == 0) {
            // A new frame: its rows are read from its offset on, one after the other.
            const int32_t offset = data->getFrameOffset(frame);
            broken = frame >= data->getFrameCount() || offset < 0;
            position = broken ? 0 : static_cast<size_t>(offset);
        }
        if (broken)
            return false;
        if (pixels.empty()) {
            pixels.assign(static_cast<size_t>(size.width) * bytesPerPixel, 0);
            classes.assign(static_cast<size_t>(size.width), 0);
        }
        std::fill(pixels.begin(), pixels.end(), 0);
        std::fill(classes.begin(), classes.end(), 0);
        const PixelRect out{pixels.data(), classes.data(), size.width, 1, size.width};
        const uint8_t* level = static_cast<const uint8_t*>(data->lock()->pixels);
        broken = !unpackRow(level, static_cast<size_t>(packedData->getPackedSize()), position, bytesPerPixel,
                            data->getStorageFormat(), out);
        const bool colorIndexed = data->isColorIndexed();
        for (int x = 0; x < size.width; ++x) {
            if (classes[x] == PIXEL_TRANSPARENT)
                continue;
            const int32_t held = packedPixelFormat(format, colorIndexed, classes[x] == PIXEL_PARTIAL);
            put(rgba, x, PixelRef(pixels.data() + static_cast<size_t>(x) * bytesPerPixel, held, texture));
        }
        return !broken;
    }

    Texture* texture;
    int firstFrame;
    TextureDataSW* data = nullptr;
    TextureDataSWPackedPlain* packedData = nullptr;
    Size size;
    int32_t format = 0;
    int32_t bytesPerPixel = 0;
    size_t position = 0;
    bool broken = false;
    std::vector<uint8_t> pixels;
    std::vector<uint8_t> classes;
};

int Tool::toPng(const Options& options) {
    if (options.positional.size() != 2)
        return usageError("topng needs FILE.gfx and OUT.png");
    const std::string& outputPath = options.positional[1];
    if (sameFile(options.positional[0], outputPath))
        return fail("the output '" + outputPath + "' is the input file");
    GfxHeader header;
    TextureRef texture(loadFile(options.positional[0], header));
    if (!texture.texture)
        return EXIT_FAILED;
    const int frames = texture.texture->getFrameCount();
    if (options.frame >= frames)
        return fail("the file has " + std::to_string(frames) + " frame(s), 0 to " +
                    std::to_string(frames - 1) + "; there is no frame " + std::to_string(options.frame));
    const int first = options.frame >= 0 ? options.frame : 0;
    const int count = options.frame >= 0 ? 1 : frames;
    const Size size = texture.texture->getSize();
    const int64_t frameBytes = static_cast<int64_t>(size.width) * size.height * 4;
    if (static_cast<int64_t>(size.height) * count > INT32_MAX || frameBytes * count > (int64_t{1} << 31))
        return fail("the picture would be too large");
    const int height = size.height * count;
    FrameRows source(texture.texture, first);
    std::vector<uint8_t> row(static_cast<size_t>(size.width) * 4);
    PngRows rows{FrameRows::produce, &source, row.data(), true};
    progress = std::make_unique<toolsupport::ProgressLine>(err, "gfxtool: topng", options.quiet);
    progress->update(0, 1, "writing " + outputPath);
    platform::ReplacementFile output;
    if (!output.begin(outputPath.c_str()) || !writePng(output, size.width, height, &rows) || !output.commit())
        return fail("cannot write '" + outputPath + "'");
    progress->finish();
    if (!rows.complete)
        std::fprintf(err, "gfxtool: warning: damaged frame data; what could not be read is transparent\n");
    if (!options.quiet)
        std::fprintf(out, "%s: %d x %d, %d frame(s)\n", outputPath.c_str(), size.width, height, count);
    return EXIT_OK;
}

int Tool::fromPng(const Options& options) {
    if (options.positional.size() != 2)
        return usageError("frompng needs IN.png and OUT.gfx");
    int32_t storage;
    if (options.storage == "raw")
        storage = STORAGE_RAW;
    else if (options.storage == "plain")
        storage = STORAGE_PACKED_PLAIN;
    else if (options.storage == "alpha")
        storage = STORAGE_PACKED_ALPHA;
    else
        return usageError("--storage must be raw, plain or alpha, not '" + options.storage + "'");
    const int32_t format = parsePixelFormat(options.format);
    if (format == 0)
        return usageError("'" + options.format + "' is not a pixel format (gfxtool --help lists them)");
    const bool packable = format == ARGB_8888 || format == RGB_565 || format == ARGB_4444;
    if (storage == STORAGE_RAW ? !(isPlainFormat(format)) : !packable)
        return usageError("pixel format " + describePixelFormat(format) + " cannot be stored " +
                          options.storage +
                          (storage == STORAGE_RAW ? " (raw takes 1 to 4, 6 to 10, 15 and 26)"
                                                  : " (packed storage takes 2, 3 and 4)"));
    if (options.frames < 1)
        return usageError("--frames must be at least 1");
    const std::string& outputPath = options.positional[1];
    if (sameFile(options.positional[0], outputPath))
        return fail("the output '" + outputPath + "' is the input file");

    mt::FileInputStream file{mt::String(options.positional[0].c_str()), 0};
    if (!file.isOpen())
        return fail("cannot open '" + options.positional[0] + "'");
    mt::CachedInputStream cached(&file, 4096);
    // Steps: reading, converting, one per frame, writing.
    const int steps = options.frames + 3;
    progress = std::make_unique<toolsupport::ProgressLine>(err, "gfxtool: frompng", options.quiet);
    progress->update(0, steps, "reading " + options.positional[0]);
    PNGImageLoader loader;
    loader.setMaxSide(GFX_MAX_SIDE);
    // Any error libpng reports (damaged or truncated data) gives no picture, and no output is written.
    TextureRef picture(loader.load(&cached));
    if (!picture.texture)
        return fail("'" + options.positional[0] + "' is not a readable PNG picture");
    const Size size = picture.texture->getSize();
    if (size.height % options.frames != 0)
        return fail("the picture's height " + std::to_string(size.height) + " is not a multiple of " +
                    std::to_string(options.frames) + " frames");
    const int32_t frameHeight = size.height / options.frames;

    progress->update(1, steps, "converting");
    TextureConverter converter;
    TextureRef converted(
        converter.convert(picture.texture, storage == STORAGE_RAW ? format : ARGB_8888, options.dither));
    if (!converted.texture || !converted.texture->lock()->pixels)
        return fail("cannot convert the picture to pixel format " + std::to_string(format));
    const uint8_t* pixels = static_cast<const uint8_t*>(converted.texture->lock()->pixels);

    std::vector<uint8_t> level;
    std::vector<int32_t> offsets;
    if (storage == STORAGE_RAW) {
        const int64_t frameBytes = levelByteSize(format, size.width, frameHeight);
        level.assign(pixels, pixels + frameBytes * options.frames);
        for (int i = 0; i < options.frames; ++i)
            offsets.push_back(static_cast<int32_t>(frameBytes * i));
    } else {
        for (int i = 0; i < options.frames; ++i) {
            progress->update(2 + i, steps, "packing frame " + std::to_string(i));
            offsets.push_back(static_cast<int32_t>(level.size()));
            PixelRect frame;
            frame.pixels =
                const_cast<uint8_t*>(pixels) + static_cast<size_t>(size.width) * frameHeight * 4 * i;
            frame.width = size.width;
            frame.height = frameHeight;
            frame.pitch = size.width;
            packFrame(frame, ARGB_8888, format, storage, false, level);
            if (level.size() > static_cast<size_t>(INT32_MAX))
                return fail("the packed frames are too large for a texture file");
        }
    }

    TextureRef texture(new (std::nothrow) Texture(TEXTURE_FROM_FILE, mt::String(),
                                                  Size{size.width, frameHeight}, format, nullptr, 0, 1));
    if (!texture.texture)
        return fail("out of memory");
    TextureDataSW* data;
    if (storage == STORAGE_RAW)
        data = new (std::nothrow) TextureDataSWRaw(texture.texture);
    else if (storage == STORAGE_PACKED_PLAIN)
        data = new (std::nothrow) TextureDataSWPackedPlain(texture.texture);
    else
        data = new (std::nothrow) TextureDataSWPackedAlpha(texture.texture);
    void* block = data ? data->allocateLevel0(static_cast<int>(level.size())) : nullptr;
    int32_t* frameTable = data ? data->createFrameTable(options.frames) : nullptr;
    if (!block || !frameTable || !texture.texture->setFrameCount(options.frames))
        return fail("out of memory");
    std::memcpy(block, level.data(), level.size());
    std::copy(offsets.begin(), offsets.end(), frameTable);

    progress->update(steps - 1, steps, "writing " + outputPath);
    const int64_t written = replaceWithTextureFile(texture.texture, options.frames, outputPath);
    if (written <= 0)
        return fail("cannot write '" + outputPath + "'");
    progress->finish();
    if (!options.quiet)
        std::fprintf(out, "%s: %d x %d, %d frame(s), format %s, %s, %lld bytes\n", outputPath.c_str(),
                     size.width, frameHeight, options.frames, describePixelFormat(format).c_str(),
                     getStorageFormatName(storage), static_cast<long long>(written));
    return EXIT_OK;
}

int Tool::info(const Options& options) {
    if (options.positional.size() != 1)
        return usageError("info needs FILE.gfx");
    const std::string& path = options.positional[0];
    mt::FileInputStream in{mt::String(path.c_str()), 0};
    if (!in.isOpen())
        return fail("cannot open '" + path + "'");
    uint8_t bytes[GFX_HEADER_SIZE];
    if (in.read(bytes, GFX_HEADER_SIZE) != GFX_HEADER_SIZE)
        return fail("'" + path + "' is too short for a texture file");
    const GfxHeader header = parseTextureHeader(bytes);
    std::fprintf(out, "pixel format:   %s\n", describePixelFormat(header.format).c_str());
    std::fprintf(out, "storage:        %d (%s)\n", header.storage, getStorageFormatName(header.storage));
    std::fprintf(out, "size:           %d x %d\n", header.width, header.height);
    std::fprintf(out, "frames:         %d\n", header.frameCount);
    std::fprintf(out, "colour-indexed: %s\n", header.colorIndexed ? "yes" : "no");
    if (header.convertedSize)
        std::fprintf(out, "size as RGB 565: %d\n", header.convertedSize);
    if (header.scaledPackedSize)
        std::fprintf(out, "packed size at scale 187: %d\n", header.scaledPackedSize);
    const int32_t available = in.available();
    for (int i = 0; i < header.frameCount && 4 * (i + 1) <= available; ++i) {
        uint8_t word[4];
        if (in.read(word, 4) != 4)
            break;
        std::fprintf(out, "frame %d:        %u bytes\n", i,
                     static_cast<unsigned>(word[0] | word[1] << 8 | word[2] << 16 |
                                           static_cast<unsigned>(word[3]) << 24));
    }
    GfxHeader reread;
    TextureRef texture(loadFile(path, reread));
    std::fprintf(out, "loads:          %s\n", texture.texture ? "yes" : "no");
    return texture.texture ? EXIT_OK : EXIT_FAILED;
}

}  // namespace

const char* usage() {
    return USAGE;
}

const std::vector<toolsupport::CommandSpec>& commands() {
    return kCommands;
}

namespace {

// The command line of one command into Options; "" or the reason it is wrong.
std::string readOptions(const std::vector<std::string>& args, const toolsupport::CommandSpec& command,
                        Options& options) {
    toolsupport::CommandLine line;
    std::string problem = toolsupport::parseCommandLine(args, command, kCommands, line);
    if (!problem.empty())
        return problem;
    options.positional = line.operands;
    options.storage = line.value("--storage");
    options.format = line.value("--format");
    options.dither = line.has("--dither");
    options.quiet = line.has("--quiet");
    if (line.has("--frames") &&
        (!parseInt(line.value("--frames"), options.frames) || options.frames < 1 || options.frames > 32767))
        return "--frames needs a count from 1 to 32767, not '" + line.value("--frames") + "'";
    if (line.has("--frame") && (!parseInt(line.value("--frame"), options.frame) || options.frame < 0))
        return "--frame needs a frame number (the first frame is 0), not '" + line.value("--frame") + "'";
    if (command.command == std::string("frompng")) {
        if (!line.has("--storage"))
            return "frompng needs --storage MODE (raw, plain or alpha)";
        if (!line.has("--format"))
            return "frompng needs --format F (a pixel format code or name)";
    }
    return "";
}

int runCommand(const std::vector<std::string>& args, Tool& tool, FILE* out);

}  // namespace

int run(const std::vector<std::string>& args, FILE* out, FILE* err) {
    Tool tool(out, err);
    try {
        return runCommand(args, tool, out);
    } catch (const std::bad_alloc&) {
        return tool.fail("out of memory");
    }
}

namespace {

int runCommand(const std::vector<std::string>& args, Tool& tool, FILE* out) {
    if (args.empty())
        return tool.usageError("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(USAGE, out);
        return EXIT_OK;
    }
    if (args[0] == "--version") {
        std::fputs("gfxtool " VALTOR_VERSION "\n", out);
        return EXIT_OK;
    }
    const toolsupport::CommandSpec* command = nullptr;
    for (const toolsupport::CommandSpec& spec : kCommands) {
        if (args[0] == spec.command)
            command = &spec;
    }
    if (!command)
        return tool.usageError("unknown command '" + args[0] + "'");
    Options options;
    const std::string problem = readOptions(args, *command, options);
    if (!problem.empty())
        return tool.usageError(problem);
    FileSystem files;
    if (!files.ready())
        return tool.fail("cannot create the file manager");
    if (args[0] == "topng")
        return tool.toPng(options);
    if (args[0] == "frompng")
        return tool.fromPng(options);
    return tool.info(options);
}

}  // namespace

}  // namespace gfxtool
