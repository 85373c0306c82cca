#pragma once
// Decodes bytes as a PNG picture in every way the loader offers and checks what comes out: a texture of
// format ABGR_8888 or BGR_888 whose size and format readInfo confirms, pixels within the loader's bounds,
// the same pixels when decoded into a prepared target, and an ARGB_8888 conversion (prepared while decoding)
// byte for byte that of the converter's per-pixel walk. Damaged pictures must give no texture and never
// crash, leak or allocate without bound. Shared by the libFuzzer target (which stops at a failed check) and
// by the test that replays its corpus (which reports it).
#include <cstdint>
#include <cstring>
#include <string>

#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/graphics/TextureDataSWRaw.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/MemoryStream.h"

namespace fuzzing {

// The fuzz target's own bound on a picture's pixels, below the loader's default so that every check of a
// large picture stays quick; the default itself is tested by the loader's tests.
constexpr int64_t PNG_FUZZ_MAX_BYTES = int64_t{32} << 20;

inline bool sameLevel0(mt::graphics::Texture* a, mt::graphics::Texture* b, size_t bytes) {
    const void* pa = a->lock()->pixels;
    const void* pb = b->lock()->pixels;
    return pa && pb && std::memcmp(pa, pb, bytes) == 0;
}

inline std::string checkPng(const uint8_t* data, size_t size) {
    using namespace mt::graphics;
    if (size > (1 << 20))
        return {};
    uint8_t* bytes = const_cast<uint8_t*>(data);
    const int32_t length = static_cast<int32_t>(size);
    PNGImageLoader loader;
    loader.setMaxBytes(PNG_FUZZ_MAX_BYTES);
    Texture* picture = nullptr;
    {
        mt::MemoryStream memory(bytes, length, mt::STREAM_NOT_OWNER);
        mt::CachedInputStream cached(&memory, 4096);
        picture = loader.load(&cached);
    }
    Texture* info = nullptr;
    {
        mt::MemoryStream memory(bytes, length, mt::STREAM_NOT_OWNER);
        info = loader.readInfo(&memory);
    }
    std::string problem;
    if (picture) {
        const Size size2 = picture->getSize();
        const int format = picture->getFormat();
        const int64_t expected =
            static_cast<int64_t>(size2.width) * size2.height * (format == BGR_888 ? 3 : 4);
        if (format != ABGR_8888 && format != BGR_888)
            problem = "a format other than ABGR_8888 and BGR_888";
        else if (expected > PNG_FUZZ_MAX_BYTES || picture->getData()->getDataSize() != expected)
            problem = "pixel data that does not match the picture's size or exceeds the bound";
        else if (!info || info->getSize().width != size2.width || info->getSize().height != size2.height ||
                 info->getFormat() != format)
            problem = "readInfo disagrees with load";
        if (problem.empty()) {
            // The conversion prepared while decoding, then the per-pixel walk of the converter.
            TextureConverter fast;
            TextureConverter plain;
            plain.setRowFastPath(false);
            Texture* quick = fast.convert(picture, ARGB_8888, true);
            Texture* walked = plain.convert(picture, ARGB_8888, true);
            if (!quick || !walked ||
                !sameLevel0(quick, walked, static_cast<size_t>(size2.width) * size2.height * 4))
                problem = "the prepared ARGB_8888 conversion differs from the per-pixel walk";
            mt::releaseReference(quick, true);
            mt::releaseReference(walked, true);
            mt::releaseReference(fast.convert(picture, RGB_565, true), true);
        }
        if (problem.empty()) {
            Texture* target = new Texture(TEXTURE_IN_MEMORY, "", size2, format, nullptr, 0, 1);
            new TextureDataSWRaw(target);
            mt::MemoryStream memory(bytes, length, mt::STREAM_NOT_OWNER);
            if (loader.loadInto(target, &memory) != target ||
                !sameLevel0(target, picture, static_cast<size_t>(expected)))
                problem = "loadInto gives other pixels than load";
            target->release(true);
        }
        picture->release(true);
    }
    mt::releaseReference(info, true);
    return problem;
}

}  // namespace fuzzing
