// The check of UTF-8 for the fold paths without a kernel of their own in
// fold_avx2.cpp or fold_neon.cpp, and the choice of the path's check.

#include "fold_kernels.h"
#include "fold_path.h"
#include "letter_bytes.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define KRESOVAR_SSE2 1
#endif

namespace {

// Whether byte b0, after b1, b2 and b3, breaks UTF-8 (bit 0), and whether
// it is NUL (bit 1). Branch-free, so that a loop of it is vectorised: every
// continuation byte must be one that a lead byte before it asks for, and
// the ranges of Unicode's table of well-formed sequences hold.
[[gnu::always_inline]] inline unsigned char Flags(unsigned char b3, unsigned char b2, unsigned char b1, unsigned char b0)
{
    const bool continuation = (b0 & 0xC0) == 0x80;
    const bool asked = (b1 >= 0xC0) | (b2 >= 0xE0) | (b3 >= 0xF0);
    const bool bad = (continuation != asked) | (b0 == 0xC0) | (b0 == 0xC1) | (b0 >= 0xF5)
                     | ((b1 == 0xE0) & (b0 < 0xA0)) | ((b1 == 0xED) & (b0 >= 0xA0))
                     | ((b1 == 0xF0) & (b0 < 0x90)) | ((b1 == 0xF4) & (b0 >= 0x90));
    return static_cast<unsigned char>(bad | (b0 == 0) << 1);
}

// Flags for the 64 bytes from p, each with the 3 before it.
unsigned char FlagsOf64(const unsigned char* p)
{
    const unsigned char* before = p - 3;  // not p[j - 3], which would wrap below 0
    unsigned char flags = 0;
    for (std::size_t j = 0; j < 64; ++j)
        flags |= Flags(before[j], before[j + 1], before[j + 2], p[j]);
    return flags;
}

// The same, quicker, 64 bytes at a time: with no byte from 0xE0 up among
// them or the 3 before, a byte continues a sequence exactly where a lead
// byte stands before it. Portably, the compiler makes vector loops of it:
struct PortableBlock {
    static unsigned char Flags(const unsigned char* p)
    {
        const unsigned char* before = p - 1;
        const unsigned char* threeBefore = p - 3;
        unsigned char flags = 0;
        unsigned char top = 0;
        for (std::size_t j = 0; j < 64; ++j) {
            const unsigned char b0 = p[j];
            const bool bad = (((b0 & 0xC0) == 0x80) != ((before[j] & 0xC0) == 0xC0)) | ((b0 & 0xFE) == 0xC0);
            flags |= static_cast<unsigned char>(bad | (b0 == 0) << 1);
            top = std::max(top, std::max(b0, threeBefore[j]));
        }
        return top < 0xE0 ? flags : FlagsOf64(p);
    }
};

#ifdef KRESOVAR_SSE2
// and with SSE2, 16 bytes at a time, ASCII after ASCII looked at for a NUL only.
struct Sse2Block {
    static __m128i Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

    static unsigned char Flags(const unsigned char* p)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i any = _mm_or_si128(_mm_or_si128(Load(p), Load(p + 16)), _mm_or_si128(Load(p + 32), Load(p + 48)));
        if (_mm_movemask_epi8(_mm_or_si128(any, Load(p - 1))) == 0) {
            const __m128i least = _mm_min_epu8(_mm_min_epu8(Load(p), Load(p + 16)), _mm_min_epu8(Load(p + 32), Load(p + 48)));
            return _mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0 ? 2 : 0;
        }
        unsigned bad = 0;
        __m128i most = zero;
        __m128i least = _mm_set1_epi8(-1);
        for (unsigned i = 0; i < 64; i += 16) {
            const __m128i bytes = Load(p + i);
            const __m128i before = Load(p + i - 1);
            const auto continuations = _mm_movemask_epi8(_mm_cmplt_epi8(bytes, _mm_set1_epi8(-64)));
            const auto leadsBefore = _mm_movemask_epi8(_mm_and_si128(before, _mm_add_epi8(before, before)));
            const auto overlong = _mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_and_si128(bytes, _mm_set1_epi8(static_cast<char>(0xFE))), _mm_set1_epi8(static_cast<char>(0xC0))));
            bad |= static_cast<unsigned>((continuations ^ leadsBefore) | overlong);
            most = _mm_max_epu8(most, _mm_max_epu8(bytes, Load(p + i - 3)));
            least = _mm_min_epu8(least, bytes);
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_subs_epu8(most, _mm_set1_epi8(static_cast<char>(0xDF))), zero)) != 0xFFFF)
            return FlagsOf64(p);
        return static_cast<unsigned char>((bad != 0) | (_mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0) << 1);
    }
};
#endif

// The check of fold_kernels.h for the paths without one of their own.
template <class Block>
std::size_t WellFormedByBlocks(const unsigned char* in, std::size_t size, bool& nul)
{
    if (size < 3 + 64)
        return 0;
    // Before the first byte, as before any sequence, ASCII.
    const unsigned char head[6] = {' ', ' ', ' ', in[0], in[1], in[2]};
    unsigned char flags = 0;
    for (std::size_t i = 3; i < 6; ++i)
        flags |= Flags(head[i - 3], head[i - 2], head[i - 1], head[i]);
    if (flags & 1)
        return 0;
    std::size_t at = 3;
    for (; at + 64 <= size; at += 64) {
        const unsigned char block = Block::Flags(in + at);
        if (block & 1)
            break;
        flags |= block;
    }
    nul = nul || (flags & 2) != 0;
    return letter_bytes::SequenceStart(in, at);
}

// The bytes from 0x80 up, a word of 8 at a time: the top bit of each byte
// multiplied down to one bit of the top byte.
fold_kernels::HighBytes HighBytesByWords(const unsigned char* in, bool& nul)
{
    constexpr std::uint64_t kTop = 0x8080808080808080u;
    constexpr std::uint64_t kGather = 0x0002040810204081u;  // the top bit of each byte, to the top byte
    std::uint64_t high = 0;
    std::uint64_t leads = 0;  // from 0xC0 up
    std::uint64_t zeros = 0;
    for (unsigned word = 0; word < 8; ++word) {
        std::uint64_t bytes;
        std::memcpy(&bytes, in + 8 * word, 8);
        zeros |= (bytes - 0x0101010101010101u) & ~bytes;
        const std::uint64_t top = bytes & kTop;
        high |= (top * kGather >> 56) << 8 * word;
        leads |= ((top & bytes << 1) * kGather >> 56) << 8 * word;
    }
    nul = nul || (zeros & kTop) != 0;
    return {high, high & ~leads};
}

#ifdef KRESOVAR_SSE2
fold_kernels::HighBytes HighBytesSse2(const unsigned char* in, bool& nul)
{
    const __m128i a = Sse2Block::Load(in), b = Sse2Block::Load(in + 16);
    const __m128i c = Sse2Block::Load(in + 32), d = Sse2Block::Load(in + 48);
    const __m128i least = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
    nul = nul || _mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128())) != 0;
    const auto mask = [](__m128i bytes) { return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(bytes))}; };
    // 0x80 to 0xBF are the signed bytes below -64.
    const __m128i below = _mm_set1_epi8(-64);
    const auto continuation = [&](__m128i bytes) { return mask(_mm_cmplt_epi8(bytes, below)); };
    return {mask(a) | mask(b) << 16 | mask(c) << 32 | mask(d) << 48,
            continuation(a) | continuation(b) << 16 | continuation(c) << 32 | continuation(d) << 48};
}
#endif

} // namespace

fold_kernels::Utf8CheckKernel fold_kernels::Utf8CheckOf(FoldPath path)
{
    switch (path) {
#ifdef KRESOVAR_SSE2
    case FoldPath::Sse2: return WellFormedByBlocks<Sse2Block>;
    case FoldPath::Avx2:
    case FoldPath::Avx512: return fold_kernels::WellFormedAvx2;
#elif defined(__aarch64__)
    case FoldPath::Neon: return fold_kernels::WellFormedNeon;
#endif
    default: return WellFormedByBlocks<PortableBlock>;
    }
}


fold_kernels::HighBytesKernel fold_kernels::HighBytesOf(FoldPath path)
{
#ifdef KRESOVAR_SSE2
    if (path != FoldPath::Portable)
        return HighBytesSse2;
#endif
    (void)path;
    return HighBytesByWords;
}
