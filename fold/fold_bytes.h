#pragma once

// The fold of FoldText for text held as bytes, read piece by piece from a
// file or a pipe: UTF-8, UTF-16 in either byte order, or one of the single-byte
// code pages of code_page.h. Only the 18 letters
// change; every other byte comes out as it came in, bytes that are not valid
// text included.

#include <cstddef>
#include <optional>

enum class ByteEncoding { Utf8, Utf16LittleEndian, Utf16BigEndian, Windows1250, Iso8859_2, Ibm852 };

// The UTF-16 code unit that the two bytes at `p` hold in `encoding`'s byte order.
inline char16_t Utf16Unit(const unsigned char* p, ByteEncoding encoding)
{
    return encoding == ByteEncoding::Utf16BigEndian ? static_cast<char16_t>(p[0] << 8 | p[1])
                                                     : static_cast<char16_t>(p[1] << 8 | p[0]);
}

struct ByteFold {
    ByteEncoding encoding = ByteEncoding::Utf8;
    // Also folds each of the 18 letters written as its base letter followed
    // by a combining ogonek (U+0328), acute (U+0301) or dot above (U+0307);
    // the mark is dropped.
    bool decomposed = false;
    // In UTF-8, the code page that the bytes which are no part of UTF-8 are
    // read in (-e utf-8+windows-1250); Utf8 to pass them on as they are.
    ByteEncoding strays = ByteEncoding::Utf8;
};

// A piece of a stream ends where a letter may still be completed by the next
// piece: the last few bytes (never more than kMostHeldBack) may be left
// unconsumed, to be given again at the front of the next piece. The last
// piece of a stream (`end`) is consumed whole.
inline constexpr std::size_t kMostHeldBack = 3;

// From this size on, FoldBytes folds UTF-8 in four stretches side by side.
inline constexpr std::size_t kSideBySideFrom = 256;

// What a scan of a piece did: how many bytes it consumed and produced, and,
// for FindLetter, where the first letter stands.
struct PieceScan {
    std::size_t consumed = 0;
    std::size_t produced = 0;
    std::optional<std::size_t> letter = std::nullopt;
    std::size_t letterLength = 0;
};

// Folds the bytes of `in` into `out`, which has room for as many; the two
// must not overlap. The result is never longer than what was consumed.
PieceScan FoldBytes(ByteFold fold, const unsigned char* in, std::size_t size, unsigned char* out, bool end);

// The first of the 18 letters in a piece, held back as FoldBytes holds back:
// its offset and length in bytes (a base letter's with its mark) in `letter`
// and `letterLength`, or, when there is none, how much of the piece was
// consumed. Nothing is produced.
PieceScan FindLetter(ByteFold fold, const unsigned char* in, std::size_t size, bool end);

// Whether FoldBytes would give back the piece whole and unchanged: UTF-8
// with no byte that can begin a letter or a mark. A quick look, for passing
// such a piece on without copying it.
bool FoldsToItself(ByteFold fold, const unsigned char* in, std::size_t size);
