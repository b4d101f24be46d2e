// The fold of the code pages: the kernels for the paths without one of their
// own in fold_avx2.cpp or fold_neon.cpp, and ScanCodePage.

#include "code_page.h"
#include "code_page_tables.h"

#include "fold_kernels.h"
#include "fold_path.h"
#include "letter_bytes.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define KRESOVAR_SSE2 1
#endif

using namespace code_page_tables;

namespace {

// For each code page, what turns each byte from 0x80 up into its fold by
// XOR: a letter's bits that differ from its plain letter's, 0 for any other
// byte; and its letters as the kernels look them up.
constexpr std::array<unsigned char, 128> ChangesOf(std::size_t page)
{
    std::array<unsigned char, 128> changes{};
    for (unsigned byte = 0x80; byte < 256; ++byte) {
        for (FoldRow row : FoldTable) {
            if (kHighCharacters[page][byte - 0x80] == row.letter)
                changes[byte - 0x80] = static_cast<unsigned char>(byte ^ row.plain);
        }
    }
    return changes;
}
constexpr fold_kernels::CodePageLetters kLetters[] = {fold_kernels::LettersOf(ChangesOf(0)),
                                                      fold_kernels::LettersOf(ChangesOf(1)),
                                                      fold_kernels::LettersOf(ChangesOf(2))};

// One bit for each byte from 0x80 up among the 64 at `p`, the first byte's
// lowest: with SSE2, 16 bytes at a time, or portably 8 at a time.
#ifdef KRESOVAR_SSE2
struct Sse2HighBits {
    static std::uint64_t Of(const unsigned char* p)
    {
        std::uint64_t bits = 0;
        for (unsigned i = 0; i < 64; i += 16) {
            const auto sixteen = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
            bits |= static_cast<std::uint64_t>(static_cast<unsigned>(sixteen)) << i;
        }
        return bits;
    }
};
#endif

struct PortableHighBits {
    static std::uint64_t Of(const unsigned char* p)
    {
        std::uint64_t bits = 0;
        for (unsigned i = 0; i < 64; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            bits |= std::uint64_t{letter_bytes::HighBits(word)} << i;
        }
        return bits;
    }
};

// A kernel of fold_kernels.h: 64 bytes at a time, runs of ASCII passed
// whole, and only the bytes from 0x80 up looked up.
template <class HighBits>
std::size_t ScanBlocks(const fold_kernels::CodePageLetters& letters, const unsigned char* in, std::size_t size,
                       unsigned char* out)
{
    const auto& changes = letters.changes;
    std::size_t at = 0;
    for (; at + 64 <= size; at += 64) {
        if (out)
            std::memcpy(out + at, in + at, 64);
        for (std::uint64_t high = HighBits::Of(in + at); high != 0; high &= high - 1) {
            const std::size_t i = at + static_cast<std::size_t>(std::countr_zero(high));
            if (!out && changes[in[i] - 0x80] != 0)
                return at;
            if (out)
                out[i] ^= changes[in[i] - 0x80];
        }
    }
    return at;
}

fold_kernels::CodePageKernel CodePageKernelOf(FoldPath path)
{
    switch (path) {
#ifdef KRESOVAR_SSE2
    case FoldPath::Sse2: return ScanBlocks<Sse2HighBits>;
    // The AVX2 kernel serves AVX-512 too, so that no kernel runs untested.
    case FoldPath::Avx2:
    case FoldPath::Avx512: return fold_kernels::FoldCodePageAvx2;
#elif defined(__aarch64__)
    case FoldPath::Neon: return fold_kernels::FoldCodePageNeon;
#endif
    default: return ScanBlocks<PortableHighBits>;
    }
}

} // namespace

bool HasHighByte(const unsigned char* in, std::size_t size)
{
    return letter_bytes::AnyFrom(in, size, 0x80);
}

PieceScan ScanCodePage(ByteEncoding codePage, const unsigned char* in, std::size_t size, unsigned char* out)
{
    const fold_kernels::CodePageLetters& letters = kLetters[IndexOf(codePage)];
    const auto& changes = letters.changes;
    for (std::size_t at = CodePageKernelOf(UsedFoldPath())(letters, in, size, out); at < size; ++at) {
        const unsigned char change = in[at] < 0x80 ? 0 : changes[in[at] - 0x80];
        if (!out && change != 0)
            return {at, 0, at, 1};
        if (out)
            out[at] = in[at] ^ change;
    }
    return {size, out ? size : 0};
}


PieceScan ScanMixed(ByteEncoding codePage, const unsigned char* in, std::size_t size, unsigned char* out, bool end)
{
    using namespace letter_bytes;
    const auto& changes = kLetters[IndexOf(codePage)].changes;
    std::size_t at = 0;
    std::size_t written = 0;
    while (at < size) {
        const unsigned char lead = in[at];
        if (lead < 0x80) {
            if (out)
                out[written++] = lead;
            ++at;
            continue;
        }
        const std::size_t length = SequenceLength(lead);
        std::size_t have = 1;
        while (have < length && at + have < size && Continues(in + at, have, in[at + have]))
            ++have;
        if (length >= 2 && have == length) {
            const unsigned row = LetterRow(lead);
            const unsigned char plain = length == 2 && row != kOtherLead ? kPlain[row][in[at + 1]] : 0;
            if (plain != 0 && !out)
                return {at, 0, at, 2};
            if (plain != 0) {
                out[written++] = plain;
            } else if (out) {
                std::memcpy(out + written, in + at, length);
                written += length;
            }
            at += length;
            continue;
        }
        if (length >= 2 && at + have == size && !end)
            break;  // the next piece may finish it
        const unsigned char change = changes[lead - 0x80];
        if (change != 0 && !out)
            return {at, 0, at, 1};
        if (out)
            out[written++] = lead ^ change;
        ++at;
    }
    return {at, written};
}
