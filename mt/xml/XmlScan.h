#pragma once
// Finding the next byte of interest in a run of text, sixteen bytes at a time where the processor allows.
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define MT_XML_SCAN_SSE2 1
#endif

namespace mt::xmlscan {

// The first byte in [p, end) that equals one of the four stops (repeat one to look for fewer), or end.
template <uint8_t A, uint8_t B, uint8_t C, uint8_t D>
inline const uint8_t* findAny(const uint8_t* p, const uint8_t* end) {
#ifdef MT_XML_SCAN_SSE2
    const __m128i a = _mm_set1_epi8(static_cast<char>(A));
    const __m128i b = _mm_set1_epi8(static_cast<char>(B));
    const __m128i c = _mm_set1_epi8(static_cast<char>(C));
    const __m128i d = _mm_set1_epi8(static_cast<char>(D));
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, a), _mm_cmpeq_epi8(bytes, b)),
                                          _mm_or_si128(_mm_cmpeq_epi8(bytes, c), _mm_cmpeq_epi8(bytes, d)));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0)
            return p + __builtin_ctz(mask);
        p += 16;
    }
#endif
    while (p < end && *p != A && *p != B && *p != C && *p != D)
        ++p;
    return p;
}

// Bit i set when p[i] is one of the stops, for the count (at most 16) bytes from p.
template <uint8_t A, uint8_t B, uint8_t C, uint8_t D>
inline unsigned stopMask(const uint8_t* p, int count) {
#ifdef MT_XML_SCAN_SSE2
    if (count == 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(A))),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(B)))),
                         _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(C))),
                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(D)))));
        return static_cast<unsigned>(_mm_movemask_epi8(hits));
    }
#endif
    unsigned mask = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] == A || p[i] == B || p[i] == C || p[i] == D)
            mask |= 1u << i;
    }
    return mask;
}

// Copies count bytes like memmove (the ranges may overlap). Short runs, which are most of what a document
// holds, are copied inline in at most four moves instead of through a library call.
inline void copyBytes(void* destination, const void* source, size_t count) {
    auto* out = static_cast<uint8_t*>(destination);
    const auto* in = static_cast<const uint8_t*>(source);
    if (count > 32) {
        std::memmove(out, in, count);
    } else if (count >= 16) {
        uint8_t head[16], tail[16];
        std::memcpy(head, in, 16);
        std::memcpy(tail, in + count - 16, 16);
        std::memcpy(out, head, 16);
        std::memcpy(out + count - 16, tail, 16);
    } else if (count >= 8) {
        uint64_t head, tail;
        std::memcpy(&head, in, 8);
        std::memcpy(&tail, in + count - 8, 8);
        std::memcpy(out, &head, 8);
        std::memcpy(out + count - 8, &tail, 8);
    } else if (count >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, in, 4);
        std::memcpy(&tail, in + count - 4, 4);
        std::memcpy(out, &head, 4);
        std::memcpy(out + count - 4, &tail, 4);
    } else if (count > 0) {
        const uint8_t first = in[0], middle = in[count / 2], last = in[count - 1];
        out[0] = first;
        out[count / 2] = middle;
        out[count - 1] = last;
    }
}

}  // namespace mt::xmlscan
