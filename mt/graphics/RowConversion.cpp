#include "mt/graphics/RowConversion.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define MT_ROW_X86 1
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace mt::graphics {

namespace {

inline uint32_t swapRedBlue(uint32_t v) {
    return (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
}

// Pixels one at a time; also the head and tail of the vector paths.
void swapPixels(const uint8_t* in, uint8_t* out, size_t from, size_t to) {
    for (size_t x = from; x < to; ++x) {
        uint32_t v;
        std::memcpy(&v, in + 4 * x, 4);
        v = swapRedBlue(v);
        std::memcpy(out + 4 * x, &v, 4);
    }
}

// Pixels up to the first 16-byte aligned output address, so that the vector loop stores aligned.
size_t alignedStart(const uint8_t* out, size_t width) {
    size_t x = 0;
    while (x < width && (reinterpret_cast<uintptr_t>(out + 4 * x) & 15) != 0)
        ++x;
    return x;
}

#ifdef MT_ROW_X86

__attribute__((target("sse2"))) inline void store(uint8_t* out, __m128i v) {
    _mm_store_si128(reinterpret_cast<__m128i*>(out), v);
}

// Four pixels at a time: 0x00BB00RR per pixel, its 16-bit halves swapped, gives 0x00RR00BB.
__attribute__((target("sse2"))) void swapSSE2(const uint8_t* in, uint8_t* out, size_t width) {
    size_t x = alignedStart(out, width);
    swapPixels(in, out, 0, x);
    const __m128i alphaGreen = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
    for (; x + 4 <= width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x));
        __m128i redBlue = _mm_andnot_si128(alphaGreen, v);
        redBlue = _mm_shufflehi_epi16(_mm_shufflelo_epi16(redBlue, 0xB1), 0xB1);
        store(out + 4 * x, _mm_or_si128(_mm_and_si128(v, alphaGreen), redBlue));
    }
    swapPixels(in, out, x, width);
}

// Eight pixels at a time with one byte shuffle per four pixels.
__attribute__((target("ssse3"))) void swapSSSE3(const uint8_t* in, uint8_t* out, size_t width) {
    size_t x = alignedStart(out, width);
    swapPixels(in, out, 0, x);
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    for (; x + 8 <= width; x += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x + 16));
        store(out + 4 * x, _mm_shuffle_epi8(a, order));
        store(out + 4 * x + 16, _mm_shuffle_epi8(b, order));
    }
    for (; x + 4 <= width; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * x));
        store(out + 4 * x, _mm_shuffle_epi8(a, order));
    }
    swapPixels(in, out, x, width);
}

#endif

}  // namespace

RowPath fastestRowPath() {
#ifdef MT_ROW_X86
    static const RowPath path = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("ssse3"))
            return RowPath::SSSE3;
        if (__builtin_cpu_supports("sse2"))
            return RowPath::SSE2;
        return RowPath::PLAIN;
    }();
    return path;
#else
    return RowPath::PLAIN;
#endif
}

void convertRowABGRtoARGB(const uint8_t* in, uint8_t* out, size_t width, RowPath path) {
#ifdef MT_ROW_X86
    // A path the processor lacks falls back to the next one it has.
    const RowPath fastest = fastestRowPath();
    if (path == RowPath::SSSE3 && fastest == RowPath::SSSE3) {
        swapSSSE3(in, out, width);
        return;
    }
    if (path != RowPath::PLAIN && fastest != RowPath::PLAIN) {
        swapSSE2(in, out, width);
        return;
    }
#else
    (void)path;
#endif
    swapPixels(in, out, 0, width);
}

void convertRowBGRtoARGB(const uint8_t* in, uint8_t* out, size_t width) {
    size_t x = 0;
    // Four bytes are read per pixel (the fourth belongs to the next pixel), so the last pixel of a row is
    // done bytewise and no read passes the row's end.
    for (; x + 1 < width; ++x) {
        uint32_t v;
        std::memcpy(&v, in + 3 * x, 4);
        v = 0xFF000000u | (v & 0xFFu) << 16 | (v & 0xFF00u) | ((v >> 16) & 0xFFu);
        std::memcpy(out + 4 * x, &v, 4);
    }
    for (; x < width; ++x) {
        const uint8_t* p = in + 3 * x;
        const uint32_t v =
            0xFF000000u | static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
        std::memcpy(out + 4 * x, &v, 4);
    }
}

}  // namespace mt::graphics
