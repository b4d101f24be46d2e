// The AVX2 kernels, compiled for AVX2 function by function, so that nothing
// else in the program comes to need it.

#include "fold_kernels.h"

#if defined(__x86_64__) || defined(_M_X64)

#include "letter_bytes.h"

#include <immintrin.h>

#include <bit>
#include <cstring>

#define KRESOVAR_AVX2 __attribute__((target("avx2,popcnt")))

using namespace letter_bytes;

namespace fold_kernels {
namespace {

// A 32-byte shuffle looks up 16 bytes, so a letter is found by three
// lookups, each giving a bit for each class of letters that the byte allows:
// a class is a lead byte and the high half of a second byte; the lead byte,
// the second byte's high half and its low half each say which classes they
// allow, and a letter starts where one class is allowed by all three.
struct Classes {
    std::array<unsigned char, 16> byLead{};  // by the lead byte's low half: all lead bytes are C0 to CF
    std::array<unsigned char, 16> byHigh{};
    std::array<unsigned char, 16> byLow{};
};
static_assert((kFirstLead & 0xF0) == 0xC0 && ((kFirstLead + kOtherLead - 1) & 0xF0) == 0xC0);

constexpr Classes kClasses = [] {
    Classes classes;
    unsigned bit = 0;
    for (unsigned row = 0; row < kOtherLead; ++row) {
        for (unsigned high = 0x8; high < 0xC; ++high) {
            bool any = false;
            for (unsigned low = 0; low < 16; ++low) {
                if (kPlain[row][high << 4 | low] != 0) {
                    classes.byLow[low] |= static_cast<unsigned char>(1u << bit);
                    any = true;
                }
            }
            if (!any)
                continue;
            if (bit == 8)
                throw "more classes than bits in a byte";
            classes.byLead[(kFirstLead + row) & 0xF] |= static_cast<unsigned char>(1u << bit);
            classes.byHigh[high] |= static_cast<unsigned char>(1u << bit);
            ++bit;
        }
    }
    return classes;
}();

// The plain letter is looked up by a key of 5 bits, made of the second byte
// and a number for each lead byte, found by search so that no two letters
// with different plain letters share a key.
constexpr std::array<unsigned char, 3> kKeyOffsets = {0, 0, 27};
static_assert(kKeyOffsets.size() == kOtherLead);

constexpr unsigned KeyOf(unsigned row, unsigned second)
{
    return ((second ^ second >> 3) + kKeyOffsets[row]) & 31;
}

struct Keys {
    std::array<unsigned char, 16> offsetByLead{};
    std::array<unsigned char, 32> plain{};
};

constexpr Keys kKeys = [] {
    Keys keys;
    for (unsigned row = 0; row < kOtherLead; ++row) {
        keys.offsetByLead[(kFirstLead + row) & 0xF] = kKeyOffsets[row];
        for (unsigned second = 0x80; second < 0xC0; ++second) {
            const unsigned char plain = kPlain[row][second];
            unsigned char& slot = keys.plain[KeyOf(row, second)];
            if (plain != 0 && slot != 0 && slot != plain)
                throw "two letters share a key";
            if (plain != 0)
                slot = plain;
        }
    }
    return keys;
}();

struct Tables {
    __m256i byLead, byHigh, byLow, offsetByLead, plainLow, plainHigh;
};

KRESOVAR_AVX2 inline __m256i Both(const unsigned char* table)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
}

KRESOVAR_AVX2 inline Tables LoadTables()
{
    return {Both(kClasses.byLead.data()), Both(kClasses.byHigh.data()), Both(kClasses.byLow.data()),
            Both(kKeys.offsetByLead.data()), Both(kKeys.plain.data()), Both(kKeys.plain.data() + 16)};
}

// The plain letter of each letter that starts at a byte, 0 at every other:
// `lead` holds each lead byte less C0, `second` the byte after it.
KRESOVAR_AVX2 inline __m256i PlainLetters(const Tables& t, __m256i lead, __m256i second)
{
    const __m256i low = _mm256_set1_epi8(0x0F);
    // 70 to 7F for a lead byte C0 to CF, and past 7F, which looks up 0, for any other.
    const __m256i byLead = _mm256_adds_epu8(lead, _mm256_set1_epi8(0x70));
    const __m256i classes = _mm256_and_si256(
        _mm256_and_si256(_mm256_shuffle_epi8(t.byLead, byLead),
                         _mm256_shuffle_epi8(t.byHigh, _mm256_and_si256(_mm256_srli_epi16(second, 4), low))),
        _mm256_shuffle_epi8(t.byLow, _mm256_and_si256(second, low)));
    // Shifted as 16-bit words, a byte takes in its neighbour's bits above the key's 5.
    const __m256i key = _mm256_and_si256(
        _mm256_add_epi8(_mm256_xor_si256(second, _mm256_srli_epi16(second, 3)), _mm256_shuffle_epi8(t.offsetByLead, byLead)),
        _mm256_set1_epi8(31));
    // The key's bit 4, moved to the top, chooses between the two halves of the table.
    const __m256i plain = _mm256_blendv_epi8(_mm256_shuffle_epi8(t.plainLow, key), _mm256_shuffle_epi8(t.plainHigh, key),
                                             _mm256_slli_epi16(key, 3));
    return _mm256_andnot_si256(_mm256_cmpeq_epi8(classes, _mm256_setzero_si256()), plain);
}

KRESOVAR_AVX2 inline void StoreHigh(unsigned char* to, __m128i bytes)
{
    _mm_storeh_pi(reinterpret_cast<__m64*>(to), _mm_castsi128_ps(bytes));
}

// Writes the bytes of `bytes` whose bits are set in `kept`, packed, to
// `out`, which has room for 32; returns how many. Each 8 bytes are packed by
// a shuffle from a table, and the four pieces stored one after another.
KRESOVAR_AVX2 inline std::size_t Pack(__m256i bytes, std::uint32_t kept, unsigned char* out)
{
    const __m256i order = _mm256_add_epi8(
        _mm256_set_epi64x(static_cast<long long>(kKeptOffsets[kept >> 24]),
                          static_cast<long long>(kKeptOffsets[kept >> 16 & 0xFF]),
                          static_cast<long long>(kKeptOffsets[kept >> 8 & 0xFF]),
                          static_cast<long long>(kKeptOffsets[kept & 0xFF])),
        _mm256_set_epi64x(0x0808080808080808, 0, 0x0808080808080808, 0));
    const __m256i packed = _mm256_shuffle_epi8(bytes, order);
    const __m128i first = _mm256_castsi256_si128(packed);
    const __m128i second = _mm256_extracti128_si256(packed, 1);
    const auto count = [kept](unsigned bits) { return static_cast<std::size_t>(std::popcount(kept & ((1u << bits) - 1))); };
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
    StoreHigh(out + count(8), first);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + count(16)), second);
    StoreHigh(out + count(24), second);
    return static_cast<std::size_t>(std::popcount(kept));
}

// The errors of UTF-8 (kUtf8Errors) at each of the 32 bytes at `p`, with the 3 before them.
KRESOVAR_AVX2 inline __m256i Load(const unsigned char* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

KRESOVAR_AVX2 inline __m256i Utf8Errors(const unsigned char* p)
{
    const __m256i low = _mm256_set1_epi8(0x0F);
    const __m256i before = Load(p - 1);
    const __m256i errors = _mm256_and_si256(
        _mm256_and_si256(
            _mm256_shuffle_epi8(Both(kUtf8Errors.byHighBefore.data()), _mm256_and_si256(_mm256_srli_epi16(before, 4), low)),
            _mm256_shuffle_epi8(Both(kUtf8Errors.byLowBefore.data()), _mm256_and_si256(before, low))),
        _mm256_shuffle_epi8(Both(kUtf8Errors.byHigh.data()), _mm256_and_si256(_mm256_srli_epi16(Load(p), 4), low)));
    // Bit 7 where a lead byte of 3 or 4 bytes stands 2 or 3 places before.
    const __m256i due = _mm256_and_si256(_mm256_or_si256(_mm256_subs_epu8(Load(p - 2), _mm256_set1_epi8(0xE0 - 0x80)),
                                                         _mm256_subs_epu8(Load(p - 3), _mm256_set1_epi8(0xF0 - 0x80))),
                                         _mm256_set1_epi8(static_cast<char>(0x80)));
    return _mm256_xor_si256(errors, due);
}

} // namespace

// 32 bytes at a time; 32 bytes of ASCII after ASCII, where no sequence runs
// on, need no lookup.
KRESOVAR_AVX2 std::size_t WellFormedAvx2(const unsigned char* in, std::size_t size, bool& nul)
{
    if (size < 32)
        return 0;
    // Before the first byte, as before any sequence, ASCII.
    unsigned char first[35] = {' ', ' ', ' '};
    std::memcpy(first + 3, in, 32);
    const __m256i errors = Utf8Errors(first + 3);
    if (!_mm256_testz_si256(errors, errors))
        return 0;
    __m256i lowest = Load(in);
    std::size_t at = 32;
    for (; at + 32 <= size; at += 32) {
        const __m256i bytes = Load(in + at);
        if (_mm256_movemask_epi8(_mm256_or_si256(bytes, Load(in + at - 1))) != 0) {
            const __m256i found = Utf8Errors(in + at);
            if (!_mm256_testz_si256(found, found))
                break;
        }
        lowest = _mm256_min_epu8(lowest, bytes);
    }
    nul = nul || _mm256_movemask_epi8(_mm256_cmpeq_epi8(lowest, _mm256_setzero_si256())) != 0;
    return SequenceStart(in, at);
}

namespace {

// A block of 32 bytes, its letters found: each letter's plain letter, and
// one bit for each letter's lead byte.
struct Block {
    __m256i bytes;
    __m256i plain;
    std::uint32_t folds;
};

KRESOVAR_AVX2 inline Block FindLetters(const Tables& tables, const unsigned char* in)
{
    const __m256i bytes = Load(in);
    const __m256i plain = PlainLetters(tables, _mm256_add_epi8(bytes, _mm256_set1_epi8(0x40)), Load(in + 1));
    return {bytes, plain, ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(plain, _mm256_setzero_si256())))};
}

// Writes the block folded, less the byte after each letter's lead byte and
// its first byte if `taken`; returns how many bytes it wrote.
KRESOVAR_AVX2 inline std::size_t Fold(const Block& block, std::uint32_t taken, unsigned char* out)
{
    const __m256i unchanged = _mm256_cmpeq_epi8(block.plain, _mm256_setzero_si256());
    return Pack(_mm256_blendv_epi8(block.plain, block.bytes, unchanged), ~(block.folds << 1 | taken), out);
}

} // namespace

// 64 bytes at a time, as two blocks of 32: each letter's lead byte becomes
// its plain letter and its second byte is dropped. Whether a letter starts
// at a byte depends on that byte and the next only, so a block needs from
// the block before only whether its first byte is the second byte of a
// letter.
KRESOVAR_AVX2 std::pair<std::size_t, std::size_t> FoldUtf8Avx2(const unsigned char* in, std::size_t size,
                                                                unsigned char* out)
{
    const Tables tables = LoadTables();
    std::size_t read = 0;
    std::size_t written = 0;
    std::uint32_t taken = 0;
    for (; read + 65 <= size; read += 64) {
        const Block first = FindLetters(tables, in + read);
        const Block second = FindLetters(tables, in + read + 32);
        // 64 bytes with no letter, rare in Polish prose but usual in most
        // other text, are copied whole; in prose, whether 32 are is too
        // uncertain to be worth a branch.
        if ((first.folds | second.folds | taken) == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written), first.bytes);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written + 32), second.bytes);
            written += 64;
            continue;
        }
        written += Fold(first, taken, out + written);
        written += Fold(second, first.folds >> 31, out + written);
        taken = second.folds >> 31;
    }
    for (; read + 33 <= size; read += 32) {
        const Block block = FindLetters(tables, in + read);
        written += Fold(block, taken, out + written);
        taken = block.folds >> 31;
    }
    return {read + taken, written};
}

// 32 units at a time, narrowed to the bytes their UTF-8 would have: a unit
// below U+0400 is the lead byte C0 plus its bits above the low 6, and the
// second byte 80 plus those 6; a higher unit saturates to a lead byte that
// begins no letter.
KRESOVAR_AVX2 std::size_t FoldUnitsAvx2(char16_t* units, std::size_t count)
{
    const Tables tables = LoadTables();
    const __m256i low6 = _mm256_set1_epi16(0x3F);
    const __m256i zero = _mm256_setzero_si256();
    std::size_t at = 0;
    for (; at + 32 <= count; at += 32) {
        const auto p = reinterpret_cast<__m256i*>(units + at);
        const __m256i a = _mm256_loadu_si256(p);
        const __m256i b = _mm256_loadu_si256(p + 1);
        if (_mm256_testz_si256(_mm256_or_si256(a, b), _mm256_set1_epi16(static_cast<short>(0xFF80))))
            continue;  // ASCII alone
        const __m256i plain = PlainLetters(
            tables, _mm256_packus_epi16(_mm256_srli_epi16(a, 6), _mm256_srli_epi16(b, 6)),
            _mm256_or_si256(_mm256_packus_epi16(_mm256_and_si256(a, low6), _mm256_and_si256(b, low6)),
                            _mm256_set1_epi8(static_cast<char>(0x80))));
        // The pack takes a and b half by half; widening the same halves gives each its own back.
        const __m256i plainA = _mm256_unpacklo_epi8(plain, zero);
        const __m256i plainB = _mm256_unpackhi_epi8(plain, zero);
        _mm256_storeu_si256(p, _mm256_blendv_epi8(plainA, a, _mm256_cmpeq_epi16(plainA, zero)));
        _mm256_storeu_si256(p + 1, _mm256_blendv_epi8(plainB, b, _mm256_cmpeq_epi16(plainB, zero)));
    }
    return at;
}

// 32 bytes at a time: each byte's key, and the letter and change of that
// key, are looked up by halves; a byte that is the letter of its key takes
// its change.
KRESOVAR_AVX2 std::size_t FoldCodePageAvx2(const CodePageLetters& letters, const unsigned char* in, std::size_t size,
                                           unsigned char* out)
{
    const __m256i low = _mm256_set1_epi8(0x0F);
    const __m256i keyByLow = Both(letters.keyByLow.data());
    const __m256i keyByHigh = Both(letters.keyByHigh.data());
    const __m256i letterLow = Both(letters.letterByKey.data());
    const __m256i letterHigh = Both(letters.letterByKey.data() + 16);
    const __m256i changeLow = Both(letters.changeByKey.data());
    const __m256i changeHigh = Both(letters.changeByKey.data() + 16);
    std::size_t at = 0;
    for (; at + 32 <= size; at += 32) {
        const __m256i bytes = Load(in + at);
        const __m256i key = _mm256_xor_si256(_mm256_shuffle_epi8(keyByLow, _mm256_and_si256(bytes, low)),
                                             _mm256_shuffle_epi8(keyByHigh, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), low)));
        // The key's bit 4, moved to the top, chooses between the two halves of each table.
        const __m256i upper = _mm256_slli_epi16(key, 3);
        const __m256i letter = _mm256_blendv_epi8(_mm256_shuffle_epi8(letterLow, key), _mm256_shuffle_epi8(letterHigh, key), upper);
        const __m256i change = _mm256_and_si256(
            _mm256_blendv_epi8(_mm256_shuffle_epi8(changeLow, key), _mm256_shuffle_epi8(changeHigh, key), upper),
            _mm256_cmpeq_epi8(letter, bytes));
        if (!out && !_mm256_testz_si256(change, change))
            break;
        if (out)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), _mm256_xor_si256(bytes, change));
    }
    return at;
}

} // namespace fold_kernels

#endif
