#include "mt/graphics/TextureDataSW.h"

#ifndef _WIN32
#include <sys/mman.h>  // huge pages for large blocks, where the host has them
#endif

#include <cstdint>
#include <cstdlib>
#include <new>

#include "mt/graphics/ColorTable.h"
#include "mt/graphics/DrawTarget.h"
#include "mt/graphics/Texture.h"

namespace mt::graphics {

namespace {

// Blocks from this size on are asked to use huge pages: a new picture's pages are all touched once, and
// faulting them in 4 KB at a time costs as much as writing the pixels. Blocks that need no clearing are
// aligned to the huge page size as well, so that every one of their pages can be a huge one.
constexpr size_t HUGE_PAGE_BLOCK = size_t{4} << 20;
constexpr size_t HUGE_PAGE = size_t{2} << 20;
constexpr uintptr_t PAGE = 4096;

}  // namespace

void* TextureDataSW::allocatePixelBlock(size_t bytes, bool clear) {
    void* block = nullptr;
#ifdef MADV_HUGEPAGE
    if (!clear && bytes >= HUGE_PAGE_BLOCK && bytes <= SIZE_MAX - HUGE_PAGE)
        block = std::aligned_alloc(HUGE_PAGE, (bytes + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1));
#endif
    if (!block)
        block = clear ? std::calloc(bytes, 1) : std::malloc(bytes);
#ifdef MADV_HUGEPAGE
    if (block && bytes >= HUGE_PAGE_BLOCK) {
        const uintptr_t first = (reinterpret_cast<uintptr_t>(block) + PAGE - 1) & ~(PAGE - 1);
        const uintptr_t last = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(PAGE - 1);
        if (last > first)
            madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
    return block;
}

TextureDataSW::TextureDataSW(Texture* owner) : texture(owner) {
    int levels = 1;
    int32_t format = 0;
    if (texture) {
        levels = texture->getLevelCount();
        format = texture->getFormat();
    }
    if (levels < 1)
        levels = 1;
    if (levels > MAX_LEVELS)
        levels = MAX_LEVELS;
    // Records of extra levels that cannot be allocated are left out: the data then has fewer levels.
    try {
        for (int i = 1; i < levels; ++i)
            extraLevels.push_back(std::make_unique<LevelBuffer>());
    } catch (const std::bad_alloc&) {
    }
    formatInfo = makePixelFormatInfo(format);
    if (texture)
        texture->setData(this);
}

TextureDataSW::~TextureDataSW() {
    for (int level = 0; level < getLevelCount(); ++level)
        releaseLevelPixels(level);
    dropPreparedConversion();
    delete palette;
    if (texture)
        texture->detachData(this);
}

LevelBuffer* TextureDataSW::levelRecord(int level) {
    if (level == 0)
        return level0;
    if (level < 0 || level > static_cast<int>(extraLevels.size()))
        return nullptr;
    return extraLevels[static_cast<size_t>(level - 1)].get();
}

LevelBuffer* TextureDataSW::lock() {
    dropPreparedConversion();
    return level0;
}

LevelBuffer* TextureDataSW::getLevel(int level) {
    dropPreparedConversion();
    return levelRecord(level);
}

void TextureDataSW::releaseLevelPixels(int level) {
    LevelBuffer* record = levelRecord(level);
    if (!record)
        return;
    if (level == 0)
        dropPreparedConversion();
    if (levelOwned[level])
        std::free(record->pixels);
    levelOwned[level] = false;
    record->pixels = nullptr;
    if (level == 0)
        dataSize = 0;
}

void TextureDataSW::setPalette(Palette* newPalette) {
    dropPreparedConversion();
    if (newPalette == palette)
        return;
    delete palette;
    palette = newPalette;
}

void TextureDataSW::setLevel0(void* pixels, int pitch) {
    setLevel(0, pixels, pitch);
}

void TextureDataSW::setLevel(int level, void* pixels, int pitch) {
    LevelBuffer* record = levelRecord(level);
    if (!record)
        return;
    if (level == 0)
        dropPreparedConversion();
    // A block the data allocated itself is freed when something else takes its place.
    if (record->pixels != pixels)
        releaseLevelPixels(level);
    record->pixels = pixels;
    record->pitch = pitch;
}

SourceSize TextureDataSW::getSourceSize() {
    if (!texture)
        return {};
    const Size& size = texture->getSize();
    return {static_cast<int32_t>(static_cast<uint32_t>(size.width) << 16),
            static_cast<int32_t>(static_cast<uint32_t>(size.height) << 16)};
}

bool TextureDataSW::hasAlpha() {
    return formatHasAlpha(formatInfo.format);
}

void* TextureDataSW::allocateLevels(int width, int height) {
    for (int level = 0; level < getLevelCount(); ++level) {
        releaseLevelPixels(level);
        const int w = level < 31 ? width >> level : 0;
        const int h = level < 31 ? height >> level : 0;
        const int64_t bytes = levelByteSize(formatInfo.format, w, h);
        if (bytes < 0) {
            // A size that cannot be held: no level gets pixels.
            for (int i = 0; i < level; ++i)
                releaseLevelPixels(i);
            return nullptr;
        }
        void* block = bytes > 0 ? allocatePixelBlock(static_cast<size_t>(bytes), clearNewPixels) : nullptr;
        if (bytes > 0 && !block) {
            for (int i = 0; i < level; ++i)
                releaseLevelPixels(i);
            return nullptr;
        }
        setLevel(level, block, w);
        levelOwned[level] = block != nullptr;
        if (level == 0)
            dataSize = static_cast<int32_t>(bytes);
    }
    return level0->pixels;
}

void* TextureDataSW::allocateLevel0(int bytes) {
    releaseLevelPixels(0);
    if (bytes <= 0)
        return nullptr;
    void* block = allocatePixelBlock(static_cast<size_t>(bytes), true);
    if (!block)
        return nullptr;
    adoptLevel0(block, bytes, bytes);
    return block;
}

void TextureDataSW::adoptLevel0(void* pixels, int32_t bytes, int32_t pitch) {
    setLevel0(pixels, pitch);
    levelOwned[0] = pixels != nullptr;
    dataSize = pixels ? bytes : 0;
}

int32_t* TextureDataSW::createFrameTable(int count) {
    try {
        frameOffsets.assign(count > 0 ? static_cast<size_t>(count) : 0, 0);
    } catch (const std::bad_alloc&) {
        frameOffsets.clear();
        return nullptr;
    }
    return getFrameTable();
}

int32_t TextureDataSW::getFrameOffset(int frame) const {
    if (frame < 0 || frame >= static_cast<int>(frameOffsets.size()))
        return 0;
    return frameOffsets[static_cast<size_t>(frame)];
}

void TextureDataSW::setColorTable(const ColorTable* table) {
    colorTable = table ? table->entries : nullptr;
    colorTableCount = table && table->entries ? table->count : 0;
    colorTableFormat = table ? table->format : 0;
}

uint32_t TextureDataSW::colorTableEntry(uint32_t pixel) const {
    const uint32_t index = pixel & 0xFFFu;
    if (!colorTable || colorTableFormat != ARGB_8888 || index >= static_cast<uint32_t>(colorTableCount))
        return pixel;
    return static_cast<const uint32_t*>(colorTable)[index];
}

void TextureDataSW::setPreparedConversion(int32_t format, void* pixels, int32_t bytes) {
    dropPreparedConversion();
    preparedPixels = pixels;
    preparedFormat = pixels ? format : 0;
    preparedBytes = pixels ? bytes : 0;
}

void* TextureDataSW::takePreparedConversion(int32_t format, int32_t& bytes) {
    bytes = 0;
    if (!preparedPixels || preparedFormat != format)
        return nullptr;
    void* pixels = preparedPixels;
    bytes = preparedBytes;
    preparedPixels = nullptr;
    preparedFormat = 0;
    preparedBytes = 0;
    return pixels;
}

void TextureDataSW::dropPreparedConversion() {
    std::free(preparedPixels);
    preparedPixels = nullptr;
    preparedFormat = 0;
    preparedBytes = 0;
}

bool TextureDataSW::ownsPixels() const {
    for (int level = 0; level < getLevelCount(); ++level)
        if (levelOwned[level])
            return true;
    return false;
}

void TextureDataSW::useDrawTarget(const DrawTarget& target) {
    clipRight = target.clipRight;
    clipLeft = target.clipLeft;
    clipTop = target.clipTop;
    clipBottom = target.clipBottom;
    additiveTable = target.additiveTable ? target.additiveTable : defaultAdditiveTable();
    blendTable16 = target.blendTable16 ? target.blendTable16 : defaultBlendTable16();
}

}  // namespace mt::graphics
