#pragma once

// The 18 letters as bytes, and the scan that folds or finds them, shared by
// FoldBytes and FindLetter. Internal to fold/.

#include "code_page.h"
#include "fold_bytes.h"
#include "fold_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace letter_bytes {

// In UTF-8 every one of the 18 letters is two bytes, a lead byte C3 to C5 and
// a second byte: kPlain[LetterRow(lead)][second] is its plain letter, 0 for a
// pair that is none of them. The last row, of zeros, stands for any other
// lead byte, so that a lookup needs no branch.
inline constexpr unsigned char kFirstLead = 0xC3;
inline constexpr unsigned kOtherLead = 3;
inline constexpr auto kPlain = [] {
    std::array<std::array<unsigned char, 256>, kOtherLead + 1> table{};
    for (FoldRow row : FoldTable)
        table.at((0xC0 | row.letter >> 6) - kFirstLead).at(0x80 | (row.letter & 0x3F)) = static_cast<unsigned char>(row.plain);
    return table;
}();

inline unsigned LetterRow(unsigned char lead)
{
    return std::min(static_cast<unsigned>(lead - kFirstLead) & 0xFFu, kOtherLead);
}

// The 18 letters written decomposed: a base letter and a combining mark.
struct Decomposition {
    char16_t letter;
    char base;
    char16_t mark;
};
inline constexpr char16_t kOgonek = 0x0328;
inline constexpr char16_t kAcute = 0x0301;
inline constexpr char16_t kDotAbove = 0x0307;
inline constexpr Decomposition kDecompositions[] = {
    {u'ą', 'a', kOgonek}, {u'ę', 'e', kOgonek}, {u'Ą', 'A', kOgonek}, {u'Ę', 'E', kOgonek},
    {u'ć', 'c', kAcute},  {u'ń', 'n', kAcute},  {u'ó', 'o', kAcute},  {u'ś', 's', kAcute},
    {u'ź', 'z', kAcute},  {u'Ć', 'C', kAcute},  {u'Ń', 'N', kAcute},  {u'Ó', 'O', kAcute},
    {u'Ś', 'S', kAcute},  {u'Ź', 'Z', kAcute},  {u'ż', 'z', kDotAbove}, {u'Ż', 'Z', kDotAbove},
};
// Each folds to its base letter, so dropping the mark is the whole fold.
static_assert(std::all_of(std::begin(kDecompositions), std::end(kDecompositions), [](Decomposition d) {
    return std::any_of(FoldTable.begin(), FoldTable.end(),
                       [d](FoldRow row) { return row.letter == d.letter && row.plain == d.base; });
}));

inline bool Combines(char16_t base, char16_t mark)
{
    return std::any_of(std::begin(kDecompositions), std::end(kDecompositions),
                       [&](Decomposition d) { return d.base == base && d.mark == mark; });
}

inline bool IsBase(char16_t unit)
{
    return std::any_of(std::begin(kDecompositions), std::end(kDecompositions),
                       [&](Decomposition d) { return d.base == unit; });
}

// The combining mark whose UTF-8 form is CC followed by `second`.
inline constexpr unsigned char kMarkLead = 0xCC;
inline char16_t MarkOf(unsigned char second)
{
    return static_cast<char16_t>(0x0300 | (second & 0x3F));
}

// The length of the UTF-8 sequence that `lead` begins, 0 if it begins none.
inline std::size_t SequenceLength(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
}

// Whether any byte of `in` is `least` or more: a kilobyte between looks,
// 64 bytes at a time in loops the compiler vectorises.
inline bool AnyFrom(const unsigned char* in, std::size_t size, unsigned char least)
{
    for (std::size_t at = 0; at < size; at += 1024) {
        const std::size_t stop = std::min(size, at + 1024);
        unsigned char lanes[64] = {};
        std::size_t i = at;
        for (; i + 64 <= stop; i += 64) {
            for (std::size_t j = 0; j < 64; ++j)
                lanes[j] = lanes[j] > in[i + j] ? lanes[j] : in[i + j];  // not std::max, which stays scalar
        }
        unsigned char top = 0;
        for (; i < stop; ++i)
            top = std::max(top, in[i]);
        for (unsigned char lane : lanes)
            top = std::max(top, lane);
        if (top >= least)
            return true;
    }
    return false;
}

// Where to look on from at `at`, in UTF-8 that a check found well formed up
// to there, looking at each byte with those before it: at `at` itself,
// unless a lead byte in the 3 bytes before begins a sequence that runs on,
// or none at all (which only the byte after it shows).
inline std::size_t SequenceStart(const unsigned char* in, std::size_t at)
{
    for (std::size_t back = 1; back <= 3 && back <= at; ++back) {
        const unsigned char byte = in[at - back];
        if (byte >= 0xC0)
            return SequenceLength(byte) > back || SequenceLength(byte) == 0 ? at - back : at;
        if (byte < 0x80)
            break;
    }
    return at;
}

// Whether `next` continues the valid sequence begun by `bytes`.
inline bool Continues(const unsigned char* bytes, std::size_t size, unsigned char next)
{
    if (size == 1) {
        switch (bytes[0]) {
        case 0xE0: return next >= 0xA0 && next <= 0xBF;
        case 0xED: return next >= 0x80 && next <= 0x9F;
        case 0xF0: return next >= 0x90 && next <= 0xBF;
        case 0xF4: return next >= 0x80 && next <= 0x8F;
        default: break;
        }
    }
    return next >= 0x80 && next <= 0xBF;
}

// One bit for each byte of a word from 0x80 up, the first byte's lowest:
// the bytes' top bits, gathered by a multiplication.
inline unsigned HighBits(std::uint64_t word)
{
    std::uint64_t tops = (word & 0x8080808080808080u) >> 7;
    if constexpr (std::endian::native == std::endian::big)
        tops = __builtin_bswap64(tops);
    return static_cast<unsigned>((tops * 0x0102040810204080u) >> 56);
}

// The same for the bytes with their two high bits set.
inline unsigned LeadBits(std::uint64_t word)
{
    return HighBits(word & word << 1);
}

// Folds UTF-8 or, with kFind, only finds the first letter (and writes nothing).
template <bool kFind>
PieceScan ScanUtf8(const unsigned char* in, std::size_t size, unsigned char* out, bool decomposed, bool end)
{
    const unsigned char* p = in;
    const unsigned char* const stop = in + size;
    std::size_t written = 0;
    const auto copy = [&](std::size_t count) {
        if constexpr (!kFind)
            std::memcpy(out + written, p, count);
        p += count;
        written += count;
    };
    for (;;) {
        // Eight bytes at a time up to the next byte that may begin a letter or
        // a mark (every such lead byte has its two high bits set).
        while (stop - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const int run = std::countr_zero(LeadBits(word) | 1u << 8);
            if constexpr (!kFind)
                std::memcpy(out + written, p, 8);
            p += run;
            written += static_cast<std::size_t>(run);
            if (run < 8)
                break;
        }
        if (p == stop)
            break;
        const unsigned row = LetterRow(*p);
        if (row == kOtherLead && !(decomposed && *p == kMarkLead)) {
            copy(1);
            continue;
        }
        if (stop - p == 1) {
            if (!end)
                break;  // completed, or not, by the next piece
            copy(1);
            continue;
        }
        const unsigned char second = p[1];
        const auto at = static_cast<std::size_t>(p - in);
        if (row != kOtherLead) {
            if (const unsigned char plain = kPlain[row][second]) {
                if constexpr (kFind)
                    return {at, 0, at, 2};
                out[written++] = plain;
                p += 2;
                continue;
            }
        } else if (p > in && second >= 0x80 && second < 0xC0 && Combines(p[-1], MarkOf(second))) {
            // The base letter before it was copied as it is; the mark goes.
            if constexpr (kFind)
                return {at - 1, 0, at - 1, 3};
            p += 2;
            continue;
        }
        copy(1);
    }
    // A base letter at the end, alone or with the lead byte of a mark, waits
    // for the next piece too.
    if (decomposed && !end && p > in && IsBase(p[-1]) && (p == stop || *p == kMarkLead)) {
        --p;
        --written;
    }
    return {static_cast<std::size_t>(p - in), written};
}

template <bool kFind>
PieceScan ScanUtf16(const unsigned char* in, std::size_t size, unsigned char* out, ByteFold fold, bool end)
{
    std::size_t at = 0;
    std::size_t written = 0;
    for (; size - at >= 2; at += 2) {
        const char16_t unit = Utf16Unit(in + at, fold.encoding);
        if (fold.decomposed && at >= 2 && Combines(Utf16Unit(in + at - 2, fold.encoding), unit)) {
            if constexpr (kFind)
                return {at - 2, 0, at - 2, 4};
            continue;
        }
        const char16_t folded = FoldUnit(unit);
        if constexpr (kFind) {
            if (folded != unit)
                return {at, 0, at, 2};
        } else {
            const bool big = fold.encoding == ByteEncoding::Utf16BigEndian;
            out[written++] = static_cast<unsigned char>(big ? folded >> 8 : folded & 0xFF);
            out[written++] = static_cast<unsigned char>(big ? folded & 0xFF : folded >> 8);
        }
    }
    if (!end) {
        // An odd byte, and a base letter that a mark may follow, wait for the next piece.
        if (fold.decomposed && at >= 2 && IsBase(Utf16Unit(in + at - 2, fold.encoding))) {
            at -= 2;
            written -= kFind ? 0 : 2;
        }
        return {at, written};
    }
    if (at < size) {
        if constexpr (!kFind)
            out[written++] = in[at];
        ++at;
    }
    return {at, written};
}

template <bool kFind>
PieceScan Scan(ByteFold fold, const unsigned char* in, std::size_t size, unsigned char* out, bool end)
{
    if (IsCodePage(fold.encoding))
        return ScanCodePage(fold.encoding, in, size, kFind ? nullptr : out);
    if (fold.encoding == ByteEncoding::Utf8 && IsCodePage(fold.strays))
        return ScanMixed(fold.strays, in, size, kFind ? nullptr : out, end);
    return fold.encoding == ByteEncoding::Utf8 ? ScanUtf8<kFind>(in, size, out, fold.decomposed, end)
                                               : ScanUtf16<kFind>(in, size, out, fold, end);
}

} // namespace letter_bytes
