#include "code_page.h"

#include "fold_kernels.h"
#include "fold_path.h"
#include "fold_text.h"
#include "letter_bytes.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>
#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#include <immintrin.h>
#define KRESOVAR_SSE2 1
#endif

namespace {

// The characters of the bytes 0x80 to 0xFF, from the glibc charmaps of the
// same names (/usr/share/i18n/charmaps); fold_test checks them against iconv.
// 0 marks a byte the code page leaves undefined.
constexpr std::array<std::array<char16_t, 128>, 3> kHighCharacters = {{
    // CP1250
    {{
        0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,
        0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
        0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
        0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
        0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
        0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
        0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
        0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
        0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
        0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
        0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
        0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
        0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
    }},
    // ISO-8859-2
    {{
        0x0080, 0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0086, 0x0087,
        0x0088, 0x0089, 0x008A, 0x008B, 0x008C, 0x008D, 0x008E, 0x008F,
        0x0090, 0x0091, 0x0092, 0x0093, 0x0094, 0x0095, 0x0096, 0x0097,
        0x0098, 0x0099, 0x009A, 0x009B, 0x009C, 0x009D, 0x009E, 0x009F,
        0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7,
        0x00A8, 0x0160, 0x015E, 0x0164, 0x0179, 0x00AD, 0x017D, 0x017B,
        0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E, 0x015B, 0x02C7,
        0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C,
        0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
        0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
        0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
        0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
        0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
        0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
        0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
        0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
    }},
    // IBM852
    {{
        0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7,
        0x0142, 0x00EB, 0x0150, 0x0151, 0x00EE, 0x0179, 0x00C4, 0x0106,
        0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D, 0x013E, 0x015A,
        0x015B, 0x00D6, 0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D,
        0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x0104, 0x0105, 0x017D, 0x017E,
        0x0118, 0x0119, 0x00AC, 0x017A, 0x010C, 0x015F, 0x00AB, 0x00BB,
        0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x011A,
        0x015E, 0x2563, 0x2551, 0x2557, 0x255D, 0x017B, 0x017C, 0x2510,
        0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103,
        0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
        0x0111, 0x0110, 0x010E, 0x00CB, 0x010F, 0x0147, 0x00CD, 0x00CE,
        0x011B, 0x2518, 0x250C, 0x2588, 0x2584, 0x0162, 0x016E, 0x2580,
        0x00D3, 0x00DF, 0x00D4, 0x0143, 0x0144, 0x0148, 0x0160, 0x0161,
        0x0154, 0x00DA, 0x0155, 0x0170, 0x00FD, 0x00DD, 0x0163, 0x00B4,
        0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8, 0x00A7, 0x00F7, 0x00B8,
        0x00B0, 0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0,
    }},
}};

constexpr std::size_t IndexOf(ByteEncoding codePage)
{
    return static_cast<std::size_t>(codePage) - static_cast<std::size_t>(ByteEncoding::Windows1250);
}

constexpr bool IsPolishLetter(char16_t character)
{
    return std::any_of(FoldTable.begin(), FoldTable.end(), [&](FoldRow row) { return row.letter == character; });
}

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

// The bytes of Windows-1252 (and, from 0xA0, ISO-8859-1) that Western
// European text hardly holds: the five it leaves undefined, † ‡ ˆ ˜ ¢ ¤ ¥ ¦
// ¨ ¬ ¯ ³ ´ ¶ ¸ ¹.
constexpr unsigned char kOddInWestern[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x86, 0x87, 0x88, 0x98, 0xA2, 0xA4,
                                           0xA5, 0xA6, 0xA8, 0xAC, 0xAF, 0xB3, 0xB4, 0xB6, 0xB8, 0xB9};

// And those that it writes side by side: Ñ Ó ñ ó.
constexpr unsigned char kPairedInWestern[] = {0xD1, 0xD3, 0xF1, 0xF3};

constexpr Evidence EvidenceOf(std::size_t page, unsigned char byte)
{
    const char16_t character = kHighCharacters[page][byte - 0x80];
    const auto among = [&](const auto& bytes) { return std::find(std::begin(bytes), std::end(bytes), byte) != std::end(bytes); };
    if (IsPolishLetter(character))
        return among(kOddInWestern) ? Evidence::Sure : among(kPairedInWestern) ? Evidence::Paired : Evidence::Unsure;
    const bool control = character == 0 || character < 0xA0;
    const bool letter = character >= 0xC0 && character <= 0x24F && character != u'×' && character != u'÷';
    return control || letter ? Evidence::Against : Evidence::None;
}
constexpr std::array<std::array<Evidence, 128>, 3> kEvidence = [] {
    std::array<std::array<Evidence, 128>, 3> evidence{};
    for (std::size_t page = 0; page < evidence.size(); ++page) {
        for (unsigned byte = 0x80; byte < 256; ++byte)
            evidence[page][byte - 0x80] = EvidenceOf(page, static_cast<unsigned char>(byte));
    }
    return evidence;
}();

// A text needs this many Polish letters inside words to read as a code page:
// one may be a symbol beside a word, as "m³" or "x¹" in Windows-1252.
constexpr std::int64_t kSureLetters = 2;

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

fold_kernels::Utf8CheckKernel Utf8CheckOf(FoldPath path)
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

bool IsCodePage(ByteEncoding encoding)
{
    return encoding >= ByteEncoding::Windows1250;
}

char16_t CodePageCharacter(ByteEncoding codePage, unsigned char byte)
{
    return byte < 0x80 ? byte : kHighCharacters[IndexOf(codePage)][byte - 0x80];
}

Evidence StrayEvidence(ByteEncoding codePage, unsigned char byte)
{
    return byte < 0x80 ? Evidence::None : kEvidence[IndexOf(codePage)][byte - 0x80];
}

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

void LegacyText::Take(const unsigned char* bytes, std::size_t size)
{
    // A piece of ASCII after whole sequences holds no stray byte.
    if (pendingSize_ == 0 && !HasHighByte(bytes, size)) {
        nul_ = nul_ || std::memchr(bytes, 0, size) != nullptr;
        Pass(bytes, size);
        return;
    }
    std::size_t at = 0;
    if (pendingSize_ > 0) {
        // The sequence the bytes before left unfinished, walked with those that finish or break it.
        unsigned char seam[6];
        const std::size_t waiting = std::exchange(pendingSize_, 0);
        const std::size_t taken = std::min<std::size_t>(size, 3);
        std::memcpy(seam, pending_, waiting);
        std::memcpy(seam + waiting, bytes, taken);
        const std::size_t walked = Walk(seam, waiting + taken, 0, waiting, false);
        if (pendingSize_ > 0)
            return;  // still unfinished, with all of these bytes
        at = walked - waiting;
    }
    // The path's check passes whole sequences of UTF-8; what stops it, a
    // block that is not UTF-8 or the last bytes, is walked a byte at a time.
    const fold_kernels::Utf8CheckKernel check = Utf8CheckOf(UsedFoldPath());
    while (at < size) {
        const std::size_t checked = check(bytes + at, size - at, nul_);
        Pass(bytes + at, checked);
        at = Walk(bytes, size, at + checked, std::min(size, at + checked + 64), false);
    }
}

std::size_t LegacyText::Walk(const unsigned char* bytes, std::size_t size, std::size_t from, std::size_t to, bool end)
{
    using letter_bytes::Continues;
    std::size_t i = from;
    while (i < to) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            nul_ = nul_ || lead == 0;
            Step(lead);
            ++i;
            continue;
        }
        const std::size_t length = letter_bytes::SequenceLength(lead);
        std::size_t have = 1;
        while (have < length && i + have < size && Continues(bytes + i, have, bytes[i + have]))
            ++have;
        if (length >= 2 && have == length) {
            Pass(bytes + i, length);
            i += length;
        } else if (length >= 2 && i + have == size && !end) {
            // The next bytes may finish it.
            pendingSize_ = size - i;
            std::memcpy(pending_, bytes + i, pendingSize_);
            return size;
        } else {
            Stray(lead);
            ++i;
        }
    }
    return i;
}

void LegacyText::Pass(const unsigned char* bytes, std::size_t size)
{
    // Only the bytes near either end can end a run that holds stray bytes, or
    // begin the one the next bytes go on with: a run across all of kNear
    // bytes is long, wherever it began.
    constexpr std::size_t kNear = kLongRun + 1;
    const std::size_t head = size > 2 * kNear ? kNear : size;
    for (std::size_t i = 0; i < head; ++i)
        Step(bytes[i]);
    for (std::size_t i = std::max(head, size - kNear); i < size; ++i)
        Step(bytes[i]);
}

void LegacyText::Step(unsigned char byte)
{
    if (byte < 0x80) {
        const bool letter = static_cast<unsigned char>((byte | 0x20) - 'a') < 26;
        if (runLength_ > 0)
            EndRun(letter);
        letterBefore_ = letter;
        return;
    }
    if (runLength_ == 0)
        runAfterLetter_ = letterBefore_;
    runLength_ = std::min(runLength_ + 1, kLongRun + 1);
}

void LegacyText::Stray(unsigned char byte)
{
    ++strays_[byte];
    Step(byte);
    if (runStrays_ < kLongRun)
        runStray_[runStrays_] = byte;
    ++runStrays_;
}

void LegacyText::EndRun(bool beforeLetter)
{
    for (std::size_t page = 0; page < kCodePages.size() && runStrays_ > 0; ++page) {
        Tally& tally = tally_[page];
        // A long run, as the encodings of Chinese, Japanese and Korean make, is no Polish word.
        if (runLength_ > kLongRun) {
            tally.against += static_cast<std::int64_t>(runStrays_);
            continue;
        }
        std::array<std::int64_t, 5> count{};
        for (std::size_t i = 0; i < runStrays_; ++i)
            ++count[static_cast<std::size_t>(kEvidence[page][runStray_[i] - 0x80])];
        const auto [sure, unsure, paired, against, none] = count;
        const std::int64_t letters = sure + unsure + paired;
        // Letters side by side at a word, not only those Western text pairs,
        // or one that it hardly holds between two letters.
        const bool inWord = (runAfterLetter_ || beforeLetter)
                            && ((letters >= 2 && paired < letters)
                                || (runLength_ == 1 && runAfterLetter_ && beforeLetter && sure == 1));
        (inWord ? tally.sure : tally.unsure) += letters;
        tally.against += against;
    }
    runLength_ = 0;
    runStrays_ = 0;
}

std::vector<ByteEncoding> LegacyText::Finish()
{
    const std::size_t waiting = std::exchange(pendingSize_, 0);
    Walk(pending_, waiting, 0, waiting, true);
    if (runLength_ > 0)
        EndRun(false);
    std::vector<ByteEncoding> best;
    if (nul_)
        return best;  // binary
    std::int64_t bestScore = 0;
    for (std::size_t page = 0; page < kCodePages.size(); ++page) {
        const Tally& tally = tally_[page];
        const std::int64_t score = tally.sure + tally.unsure - 2 * tally.against;
        if (tally.sure < kSureLetters || score <= 0 || score < bestScore)
            continue;
        if (score > bestScore)
            best.clear();
        bestScore = score;
        best.push_back(kCodePages[page]);
    }
    return best;
}

StartVerdict UnicodeStart::Look(const unsigned char* bytes, std::size_t size, bool end, bool full)
{
    if (!consumed_ && looked_ == 0) {
        static constexpr std::string_view kMarks[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
        for (std::string_view mark : kMarks) {
            const std::size_t compared = std::min(size, mark.size());
            if (std::memcmp(bytes, mark.data(), compared) != 0)
                continue;
            if (compared == mark.size())
                return StartVerdict::Unicode;
            if (!end)
                return StartVerdict::Undecided;
        }
    }
    while (looked_ < size) {
        const unsigned char* lead = bytes + looked_;
        if (*lead < 0x80) {
            ++looked_;
            firstHigh_ = sawHigh_ ? firstHigh_ : looked_;
            continue;
        }
        sawHigh_ = true;
        const std::size_t length = letter_bytes::SequenceLength(*lead);
        std::size_t have = 1;
        while (have < length && looked_ + have < size && letter_bytes::Continues(lead, have, lead[have]))
            ++have;
        if (length < 2 || (have < length && looked_ + have < size) || (have < length && end))
            return StartVerdict::CodePage;
        if (have < length)
            break;  // the next bytes finish it, or the buffer's end ends the look
        looked_ += length;
        const bool letters = std::all_of(lead, lead + length, [&](unsigned char byte) {
            return IsPolishLetter(CodePageCharacter(codePage_, byte));
        });
        if (!letters && ++sequences_ == kUnicodeSequences)
            return StartVerdict::Unicode;
    }
    if (end || (full && firstHigh_ == 0))
        return sequences_ > 0 ? StartVerdict::Unicode : StartVerdict::CodePage;
    return StartVerdict::Undecided;
}

void UnicodeStart::Consumed(std::size_t count)
{
    looked_ -= count;
    firstHigh_ -= count;
    consumed_ = consumed_ || count > 0;
}
