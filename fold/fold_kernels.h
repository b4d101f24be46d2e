#pragma once

// The vector kernels of FoldBytes and FoldText, one file for each
// instruction set (each compiles to nothing on other processors), and what
// they share. Internal to fold/.

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

// Each folds text of a code page, or with a null `out` looks through it, a
// block at a time: all but its last few bytes, or up to the block that holds
// its first letter. `changes` holds, for each byte from 0x80 up, what turns
// it into its fold by XOR (0 for a byte that is no letter). Returns how far
// it went.
using CodePageKernel = std::size_t (*)(const unsigned char* changes, const unsigned char* in, std::size_t size,
                                       unsigned char* out);
std::size_t FoldCodePageAvx2(const unsigned char* changes, const unsigned char* in, std::size_t size, unsigned char* out);
std::size_t FoldCodePageNeon(const unsigned char* changes, const unsigned char* in, std::size_t size, unsigned char* out);

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
