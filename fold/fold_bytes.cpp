#include "fold_bytes.h"

#include "fold_kernels.h"
#include "fold_path.h"
#include "letter_bytes.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <tuple>
#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define KRESOVAR_SSE2 1
#endif

using namespace letter_bytes;

namespace {

// The offset in the next 16 bytes of the first lead byte, 16 if none, with
// no branch: the compiler makes any choice between the two words one.
struct PortableLeads {
    static std::size_t FirstIn16(const unsigned char* p)
    {
        std::uint64_t low;
        std::uint64_t high;
        std::memcpy(&low, p, 8);
        std::memcpy(&high, p + 8, 8);
        return static_cast<std::size_t>(std::countr_zero(LeadBits(low) | LeadBits(high) << 8 | 1u << 16));
    }
};

#ifdef KRESOVAR_SSE2
// The same with one 16-byte load: a byte doubled keeps its bit 6 as its top bit.
struct Sse2Leads {
    static std::size_t FirstIn16(const unsigned char* p)
    {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto leads = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(bytes, _mm_add_epi8(bytes, bytes))));
        return static_cast<std::size_t>(std::countr_zero(leads | 1u << 16));
    }
};
#endif

// Folds the letter that may start at `read`: a lead byte and the byte after
// it become a plain letter, or the lead byte is copied. Branch-free, and
// inlined like Step, so that the four lanes below keep their positions in
// registers.
[[gnu::always_inline]] inline void FoldLead(const unsigned char* in, unsigned char* out, std::size_t& read,
                                             std::size_t& written)
{
    const unsigned char lead = in[read];
    const unsigned char plain = kPlain[LetterRow(lead)][in[read + 1]];
    const unsigned folds = plain != 0;
    out[written++] = static_cast<unsigned char>(plain | (lead & (folds - 1)));
    read += 1 + folds;
}

// Copies the next 16 bytes whole, moves on to the first lead byte among them
// and folds the letter that may start there. Reads 18 bytes at most.
template <class Leads>
[[gnu::always_inline]] inline void Step(const unsigned char* in, unsigned char* out, std::size_t& read, std::size_t& written)
{
    std::memcpy(out + written, in + read, 16);
    const std::size_t run = Leads::FirstIn16(in + read);
    read += run;
    written += run;
    FoldLead(in, out, read, written);
}

// Folds UTF-8 text with no decomposed letters, all but its last 32 bytes,
// which are left to the careful scan. A step waits on the loads of the step
// before it, so four stretches of the text, cut where no letter is split,
// are folded side by side, each into its own place, and joined after.
// Returns how far it read and wrote.
template <class Leads>
std::pair<std::size_t, std::size_t> FoldUtf8Body(const unsigned char* in, std::size_t size, unsigned char* out)
{
    constexpr std::size_t kLanes = 4;
    static_assert(kSideBySideFrom == kLanes * 64);
    if (size < kSideBySideFrom)
        return {0, 0};
    const std::size_t limit = size - 32;
    std::size_t begin[kLanes + 1];
    for (std::size_t k = 0; k < kLanes; ++k) {
        // Not between a letter's two bytes: a byte after a continuation byte
        // never is, so one step is enough, whatever the bytes.
        begin[k] = limit / kLanes * k;
        begin[k] += k > 0 && (in[begin[k]] & 0xC0) == 0x80;
    }
    begin[kLanes] = limit;
    std::size_t read[kLanes] = {begin[0], begin[1], begin[2], begin[3]};
    std::size_t written[kLanes] = {begin[0], begin[1], begin[2], begin[3]};
    // Plain variables rather than the arrays, so that they stay in registers.
    std::size_t r0 = read[0], r1 = read[1], r2 = read[2], r3 = read[3];
    std::size_t w0 = written[0], w1 = written[1], w2 = written[2], w3 = written[3];
    while (r0 + 18 <= begin[1] && r1 + 18 <= begin[2] && r2 + 18 <= begin[3] && r3 + 18 <= begin[4]) {
        Step<Leads>(in, out, r0, w0);
        Step<Leads>(in, out, r1, w1);
        Step<Leads>(in, out, r2, w2);
        Step<Leads>(in, out, r3, w3);
    }
    read[0] = r0, read[1] = r1, read[2] = r2, read[3] = r3;
    written[0] = w0, written[1] = w1, written[2] = w2, written[3] = w3;
    std::size_t joined = 0;
    for (std::size_t k = 0; k < kLanes; ++k) {
        while (read[k] + 18 <= begin[k + 1])
            Step<Leads>(in, out, read[k], written[k]);
        while (read[k] < begin[k + 1])
            FoldLead(in, out, read[k], written[k]);
        std::memmove(out + joined, out + begin[k], written[k] - begin[k]);
        joined += written[k] - begin[k];
    }
    return {read[kLanes - 1], joined};
}

#ifdef KRESOVAR_SSE2
// Folds 64 bytes at a time where the processor can compress a vector: every
// letter's lead byte becomes its plain letter and its second byte is dropped,
// all at once. Whether a letter starts at a byte depends on that byte and the
// next only, so the blocks need no lanes; a letter that ends a block takes
// the next block's first byte with it.
#define KRESOVAR_COMPRESS_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2")))
#if defined(__GNUC__) && !defined(__clang__)
// A false alarm: GCC 12's own _mm512_permutexvar_epi8 passes an undefined
// vector as the merge source that its full mask never reads.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
KRESOVAR_COMPRESS_TARGET std::pair<std::size_t, std::size_t> FoldUtf8Compressing(const unsigned char* in,
                                                                                std::size_t size, unsigned char* out)
{
    __m512i plainOf[3];
    for (unsigned row = 0; row < 3; ++row)
        plainOf[row] = _mm512_loadu_si512(&kPlain[row][0x80]);
    std::size_t read = 0;
    std::size_t written = 0;
    // Whether the letter that ended the block before took this block's
    // first byte. Carried as a mask, so that the next block's loads wait on
    // nothing but `read`, which moves on by a whole block each time.
    __mmask64 taken = 0;
    for (; read + 65 <= size; read += 64) {
        const __m512i bytes = _mm512_loadu_si512(in + read);
        const __m512i next = _mm512_loadu_si512(in + read + 1);
        const __m512i row = _mm512_sub_epi8(bytes, _mm512_set1_epi8(static_cast<char>(kFirstLead)));
        __m512i plain = _mm512_permutexvar_epi8(next, plainOf[0]);
        plain = _mm512_mask_permutexvar_epi8(plain, _mm512_cmpeq_epi8_mask(row, _mm512_set1_epi8(1)), next, plainOf[1]);
        plain = _mm512_mask_permutexvar_epi8(plain, _mm512_cmpeq_epi8_mask(row, _mm512_set1_epi8(2)), next, plainOf[2]);
        const __mmask64 second = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(next, _mm512_set1_epi8(static_cast<char>(0x80))),
                                                        _mm512_set1_epi8(0x40));
        // The first byte, when taken, is a continuation byte, which never folds.
        const __mmask64 folds = _mm512_cmplt_epu8_mask(row, _mm512_set1_epi8(3)) & second
                                & _mm512_test_epi8_mask(plain, plain);
        const __mmask64 kept = ~(folds << 1 | taken);
        _mm512_storeu_si512(out + written, _mm512_maskz_compress_epi8(kept, _mm512_mask_blend_epi8(folds, bytes, plain)));
        written += static_cast<std::size_t>(std::popcount(kept));
        taken = folds >> 63;
    }
    return {read + taken, written};
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

fold_kernels::BytesKernel BodyFoldOf(FoldPath path)
{
    switch (path) {
#ifdef KRESOVAR_SSE2
    case FoldPath::Sse2: return FoldUtf8Body<Sse2Leads>;
    case FoldPath::Avx2: return fold_kernels::FoldUtf8Avx2;
    case FoldPath::Avx512: return FoldUtf8Compressing;
#elif defined(__aarch64__)
    case FoldPath::Neon: return fold_kernels::FoldUtf8Neon;
#endif
    default: return FoldUtf8Body<PortableLeads>;
    }
}

} // namespace

PieceScan FoldBytes(ByteFold fold, const unsigned char* in, std::size_t size, unsigned char* out, bool end)
{
    std::size_t read = 0;
    std::size_t written = 0;
    if (fold.encoding == ByteEncoding::Utf8 && !fold.decomposed && fold.strays == ByteEncoding::Utf8)
        std::tie(read, written) = BodyFoldOf(UsedFoldPath())(in, size, out);
    const PieceScan scan = Scan<false>(fold, in + read, size - read, out + written, end);
    return {read + scan.consumed, written + scan.produced};
}

bool FoldsToItself(ByteFold fold, const unsigned char* in, std::size_t size)
{
    if (IsCodePage(fold.encoding) || IsCodePage(fold.strays))
        return !HasHighByte(in, size);
    if (fold.encoding != ByteEncoding::Utf8 || (fold.decomposed && size > 0 && IsBase(in[size - 1])))
        return false;
    return !AnyFrom(in, size, 0xC0);  // every lead byte is C0 or more
}

PieceScan FindLetter(ByteFold fold, const unsigned char* in, std::size_t size, bool end)
{
    return Scan<true>(fold, in, size, nullptr, end);
}
