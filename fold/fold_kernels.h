#pragma once

// The vector kernels of FoldBytes and FoldText, one file for each
// instruction set (each compiles to nothing on other processors), and what
// they share. Internal to fold/.

#include "fold_path.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace fold_kernels {

// Each folds UTF-8 with no decomposed letters, all but its last few bytes,
// which are left to the careful scan, and returns how far it read and wrote.
using BytesKernel = std::pair<std::size_t, std::size_t> (*)(const unsigned char* in, std::size_t size,
                                                            unsigned char* out);
std::pair<std::size_t, std::size_t> FoldUtf8Avx2(const unsigned char* in, std::size_t size, unsigned char* out);
std::pair<std::size_t, std::size_t> FoldUtf8Neon(const unsigned char* in, std::size_t size, unsigned char* out);

// Each folds UTF-16 units in place, all but the last few, and returns how many it folded.
using UnitsKernel = std::size_t (*)(char16_t* units, std::size_t count);
std::size_t FoldUnitsAvx2(char16_t* units, std::size_t count);
std::size_t FoldUnitsNeon(char16_t* units, std::size_t count);

// A code page's letters, as the kernels below look them up: for each byte
// from 0x80 up, what turns it into its fold by XOR (0 for a byte that is no
// letter); and, for lookups of 16, a key of 5 bits for every byte, one
// number for its low half XOR one for its high half, found by search so
// that no two letters share a key, with each key's letter and change.
struct CodePageLetters {
    std::array<unsigned char, 128> changes{};
    std::array<unsigned char, 16> keyByLow{};
    std::array<unsigned char, 16> keyByHigh{};
    std::array<unsigned char, 32> letterByKey{};
    std::array<unsigned char, 32> changeByKey{};
};

constexpr CodePageLetters LettersOf(const std::array<unsigned char, 128>& changes)
{
    CodePageLetters letters{changes};
    std::uint32_t random = 1;
    for (unsigned attempt = 0; attempt < 10000; ++attempt) {
        for (unsigned char& key : letters.keyByLow) {
            random = random * 1103515245u + 12345u;
            key = static_cast<unsigned char>(random >> 16 & 31);
        }
        // Each high half in turn takes the first number that keeps its letters' keys apart from all others.
        std::array<bool, 32> taken{};
        bool fits = true;
        for (unsigned high = 8; high < 16 && fits; ++high) {
            fits = false;
            for (unsigned number = 0; number < 32 && !fits; ++number) {
                std::array<bool, 32> trying = taken;
                fits = true;
                for (unsigned low = 0; low < 16; ++low) {
                    if (changes[(high - 8) << 4 | low] != 0) {
                        const unsigned key = letters.keyByLow[low] ^ number;
                        fits = fits && !trying[key];
                        trying[key] = true;
                    }
                }
                if (fits) {
                    taken = trying;
                    letters.keyByHigh[high] = static_cast<unsigned char>(number);
                }
            }
        }
        if (!fits)
            continue;
        for (unsigned byte = 0x80; byte < 256; ++byte) {
            if (changes[byte - 0x80] != 0) {
                const unsigned key = letters.keyByLow[byte & 15] ^ letters.keyByHigh[byte >> 4];
                letters.letterByKey[key] = static_cast<unsigned char>(byte);
                letters.changeByKey[key] = changes[byte - 0x80];
            }
        }
        return letters;
    }
    throw "no keys keep the letters apart";
}

// Each folds text of a code page, or with a null `out` looks through it, a
// block at a time: all but its last few bytes, or up to the block that holds
// its first letter. Returns how far it went.
using CodePageKernel = std::size_t (*)(const CodePageLetters& letters, const unsigned char* in, std::size_t size,
                                       unsigned char* out);
std::size_t FoldCodePageAvx2(const CodePageLetters& letters, const unsigned char* in, std::size_t size, unsigned char* out);
std::size_t FoldCodePageNeon(const CodePageLetters& letters, const unsigned char* in, std::size_t size, unsigned char* out);

// Each checks UTF-8 from the start of a sequence, a block at a time, and
// returns how far it is well formed: to the start of the last sequence that
// a block which breaks UTF-8, or the last few bytes, stopped. Sets `nul`
// when a NUL stands before there.
using Utf8CheckKernel = std::size_t (*)(const unsigned char* in, std::size_t size, bool& nul);
std::size_t WellFormedAvx2(const unsigned char* in, std::size_t size, bool& nul);
std::size_t WellFormedNeon(const unsigned char* in, std::size_t size, bool& nul);
// The check of the fold path (utf8_check.cpp).
Utf8CheckKernel Utf8CheckOf(FoldPath path);

// Each gives the bytes from 0x80 up among the 64 from `in`, and those of
// them from 0x80 to 0xBF (continuation bytes in UTF-8), one bit each from
// the lowest, and sets `nul` when one of them is NUL: how TextWatch passes
// over ASCII and finds the bytes that may be stray.
struct HighBytes {
    std::uint64_t high;
    std::uint64_t continuation;
};
using HighBytesKernel = HighBytes (*)(const unsigned char* in, bool& nul);
HighBytesKernel HighBytesOf(FoldPath path);

// The errors a byte can make in UTF-8 with the byte before it, one bit each,
// looked up by the high and the low half of the byte before and by the high
// half of the byte: an error stands where all three give its bit. A
// continuation byte after a continuation byte is an error unless a lead
// byte of 3 or 4 bytes stands 2 or 3 places before: that lead byte's bit 7
// cancels the error's. (The check of Keiser and Lemire, "Validating UTF-8 in
// less than one instruction per byte".)
struct Utf8ErrorTables {
    std::array<unsigned char, 16> byHighBefore;
    std::array<unsigned char, 16> byLowBefore;
    std::array<unsigned char, 16> byHigh;
};
inline constexpr Utf8ErrorTables kUtf8Errors = [] {
    constexpr unsigned char tooShort = 1 << 0;  // a lead byte without its continuation bytes
    constexpr unsigned char tooLong = 1 << 1;   // a continuation byte after ASCII
    constexpr unsigned char overlong3 = 1 << 2;
    constexpr unsigned char tooLarge = 1 << 3;  // past U+10FFFF
    constexpr unsigned char surrogate = 1 << 4;
    constexpr unsigned char overlong2 = 1 << 5;
    constexpr unsigned char tooLarge1000 = 1 << 6;  // F5 and up followed by 80 to 8F
    constexpr unsigned char overlong4 = 1 << 6;     // F0 followed by 80 to 8F, which F5 and up shares
    constexpr unsigned char twoContinuations = 1 << 7;
    constexpr unsigned char carry = tooShort | tooLong | twoContinuations;  // whatever the low half before
    Utf8ErrorTables t{};
    for (unsigned half = 0; half < 16; ++half) {
        t.byHighBefore[half] = half < 8 ? tooLong : half < 12 ? twoContinuations
            : half == 12 ? tooShort | overlong2 : half == 13 ? tooShort
            : half == 14 ? tooShort | overlong3 | surrogate : tooShort | tooLarge | tooLarge1000 | overlong4;
        t.byLowBefore[half] = carry | (half == 0 ? overlong3 | overlong2 | overlong4 : half == 1 ? overlong2
            : half < 4 ? 0 : half == 4 ? tooLarge : half == 13 ? tooLarge | tooLarge1000 | surrogate : tooLarge | tooLarge1000);
        t.byHigh[half] = half < 8 || half >= 12 ? tooShort
            : tooLong | overlong2 | twoContinuations | (half == 8 ? overlong3 | tooLarge1000 | overlong4
                                                        : half == 9 ? overlong3 | tooLarge : surrogate | tooLarge);
    }
    return t;
}();

// For each set of 8 bytes to keep, one bit each, the offsets of those bytes
// in order, one to a byte from the lowest: a shuffle that packs them.
inline constexpr auto kKeptOffsets = [] {
    std::array<std::uint64_t, 256> offsets{};
    for (unsigned kept = 0; kept < 256; ++kept) {
        unsigned at = 0;
        for (unsigned byte = 0; byte < 8; ++byte) {
            if (kept >> byte & 1)
                offsets[kept] |= std::uint64_t{byte} << 8 * at++;
        }
    }
    return offsets;
}();

} // namespace fold_kernels
