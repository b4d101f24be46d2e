#include "fold_text.h"

#include "fold_kernels.h"
#include "fold_path.h"

#include <algorithm>
#include <cstddef>

namespace {

// Every table letter lies in [kLowest, kPastHighest); no unit outside can change.
constexpr char16_t kLowest = std::min_element(FoldTable.begin(), FoldTable.end(),
    [](FoldRow a, FoldRow b) { return a.letter < b.letter; })->letter;
constexpr char16_t kPastHighest = std::max_element(FoldTable.begin(), FoldTable.end(),
    [](FoldRow a, FoldRow b) { return a.letter < b.letter; })->letter + 1;

// For every unit below kPastHighest: the unit itself, or its plain letter.
constexpr auto kLookup = [] {
    std::array<char16_t, kPastHighest> lookup{};
    for (std::size_t unit = 0; unit < lookup.size(); ++unit)
        lookup[unit] = static_cast<char16_t>(unit);
    for (FoldRow row : FoldTable)
        lookup[row.letter] = row.plain;
    return lookup;
}();

// Small enough to stay in the first-level cache between the copy and the fold.
constexpr std::size_t kChunk = 2048;
constexpr std::size_t kBlock = 16;

bool MayHoldLetter(const char16_t* block)
{
    // Branch-free so that the compiler can vectorise it.
    bool any = false;
    for (std::size_t i = 0; i < kBlock; ++i)
        any |= block[i] >= kLowest;
    return any;
}

void FoldUnits(char16_t* units, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if (unit < kPastHighest)
            units[i] = kLookup[unit];
    }
}

// The vector kernel of a path, if it has one: the SSE2 path has no byte
// shuffle, and the compiler already vectorises the portable blocks with SSE2.
fold_kernels::UnitsKernel KernelOf(FoldPath path)
{
    switch (path) {
#if defined(__x86_64__) || defined(_M_X64)
    // A processor with AVX-512 has AVX2, whose kernel already keeps up with the copy before it.
    case FoldPath::Avx2:
    case FoldPath::Avx512: return fold_kernels::FoldUnitsAvx2;
#elif defined(__aarch64__)
    case FoldPath::Neon: return fold_kernels::FoldUnitsNeon;
#endif
    default: return nullptr;
    }
}

void FoldInPlace(fold_kernels::UnitsKernel kernel, char16_t* units, std::size_t count)
{
    std::size_t i = kernel ? kernel(units, count) : 0;
    for (; i + kBlock <= count; i += kBlock) {
        if (MayHoldLetter(units + i))
            FoldUnits(units + i, kBlock);
    }
    FoldUnits(units + i, count - i);
}

} // namespace

char16_t FoldUnit(char16_t unit)
{
    return unit < kPastHighest ? kLookup[unit] : unit;
}

std::u16string FoldText(std::u16string_view source)
{
    // Copy a chunk, then fold it while it is still in cache: one pass over
    // memory, and no zero-filled result written first.
    const fold_kernels::UnitsKernel kernel = KernelOf(UsedFoldPath());
    std::u16string result;
    result.reserve(source.size());
    for (std::size_t at = 0; at < source.size(); at += kChunk) {
        const std::u16string_view piece = source.substr(at, kChunk);
        result.append(piece);
        FoldInPlace(kernel, result.data() + at, piece.size());
    }
    return result;
}
