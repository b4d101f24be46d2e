#pragma once

// A plain reference for FoldBytes, shared by its test and its fuzzer: it
// decodes the text character by character (each invalid byte standing for
// itself), folds each with FoldText and encodes it again. And one for the
// bytes that TextWatch finds are no part of UTF-8: the invalid bytes.

#include "code_page.h"
#include "fold_bytes.h"
#include "fold_path.h"
#include "fold_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A large piece, as a program might read a stream in: far past the size from
// which the fold works side by side.
inline constexpr std::size_t kLargePiece = 256 * 1024;

// Ends the run at a broken rule: a fuzzer's finding, or a test's failure.
inline void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "FoldBytes broke a rule: %s\n", what);
        std::abort();
    }
}

// A copy of `bytes` in an allocation of exactly their size, so that
// AddressSanitizer sees a read past their end.
inline std::unique_ptr<unsigned char[]> ExactCopy(const std::string& bytes)
{
    auto copy = std::make_unique<unsigned char[]>(bytes.size());
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return copy;
}

// One character of the text: its bytes, and its code point (or none, for an invalid byte).
struct Character {
    std::string bytes;
    long codePoint;
};

inline std::vector<Character> DecodeUtf8(const std::string& text)
{
    std::vector<Character> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = byte(i);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
        long point = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = byte(i + k);
            unsigned char low = 0x80, high = 0xBF;
            if (k == 1 && lead == 0xE0) low = 0xA0;
            if (k == 1 && lead == 0xED) high = 0x9F;
            if (k == 1 && lead == 0xF0) low = 0x90;
            if (k == 1 && lead == 0xF4) high = 0x8F;
            valid = next >= low && next <= high;
            point = point << 6 | (next & 0x3F);
        }
        const std::size_t taken = valid ? length : 1;
        characters.push_back({text.substr(i, taken), valid ? point : -1});
        i += taken;
    }
    return characters;
}

inline std::vector<Character> DecodeUtf16(const std::string& text, bool big)
{
    std::vector<Character> characters;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const auto unit = static_cast<unsigned char>(text[i + !big]) << 8 | static_cast<unsigned char>(text[i + big]);
        characters.push_back({text.substr(i, 2), unit});
    }
    if (text.size() % 2)
        characters.push_back({text.substr(text.size() - 1), -1});
    return characters;
}

inline std::vector<Character> DecodeCodePage(const std::string& text, ByteEncoding codePage)
{
    std::vector<Character> characters;
    for (char byte : text)
        characters.push_back({std::string(1, byte), CodePageCharacter(codePage, static_cast<unsigned char>(byte))});
    return characters;
}

inline std::vector<Character> Decode(const std::string& text, ByteEncoding encoding)
{
    if (IsCodePage(encoding))
        return DecodeCodePage(text, encoding);
    return encoding == ByteEncoding::Utf8 ? DecodeUtf8(text) : DecodeUtf16(text, encoding == ByteEncoding::Utf16BigEndian);
}

// The characters of a fold's text: for UTF-8 mixed with a code page, each
// invalid byte read in the code page.
inline std::vector<Character> DecodeFor(const std::string& text, ByteFold fold)
{
    std::vector<Character> characters = Decode(text, fold.encoding);
    if (fold.encoding == ByteEncoding::Utf8 && IsCodePage(fold.strays)) {
        for (Character& c : characters) {
            if (c.codePoint < 0)
                c.codePoint = CodePageCharacter(fold.strays, static_cast<unsigned char>(c.bytes[0]));
        }
    }
    return characters;
}

using Strays = std::array<std::uint64_t, 256>;

inline Strays ReferenceStrays(const std::string& text)
{
    Strays strays{};
    for (const Character& c : DecodeUtf8(text))
        strays[static_cast<unsigned char>(c.bytes[0])] += c.codePoint < 0;
    return strays;
}

// What TextWatch says of a stream given to it in pieces of `pieceSize` (but
// the word, whose bytes around come from one piece). In pieces of 1, it walks
// a byte at a time: the reference for its quicker walks.
struct Watched {
    std::vector<ByteEncoding> pages;
    Strays strays;
    std::optional<std::uint64_t> firstStray;
    bool nul;
    std::array<bool, 3> unicode;
    std::array<std::uint64_t, 3> costs;
    bool operator==(const Watched&) const = default;
};

inline Watched WatchInPieces(const std::string& text, std::size_t pieceSize)
{
    TextWatch legacy;
    for (std::size_t at = 0; at < text.size(); at += pieceSize) {
        const std::size_t size = std::min(pieceSize, text.size() - at);
        legacy.Take(ExactCopy(text.substr(at, size)).get(), size);
    }
    // In order, Finish first: a braced list is evaluated from the left.
    Watched watched{legacy.Finish(), legacy.strays(), legacy.firstStray(), legacy.nul(), {}, {}};
    for (std::size_t page = 0; page < kCodePages.size(); ++page)
        watched.unicode[page] = legacy.HasUnicode(kCodePages[page]);
    watched.costs = legacy.costs();
    return watched;
}

inline bool IsMarkAfterItsBase(const std::vector<Character>& characters, std::size_t i)
{
    static const std::u16string bases[] = {u"aeAE", u"cnoszCNOSZ", u"zZ"};
    static const long marks[] = {0x0328, 0x0301, 0x0307};
    for (int m = 0; m < 3; ++m) {
        if (i > 0 && characters[i].codePoint == marks[m] && characters[i - 1].codePoint >= 0
            && bases[m].find(static_cast<char16_t>(characters[i - 1].codePoint)) != std::u16string::npos)
            return true;
    }
    return false;
}

// The reference fold, and the offset of the first letter it folds.
inline std::string ReferenceFold(const std::vector<Character>& characters, ByteFold fold, long& firstLetter)
{
    std::string folded;
    std::size_t offset = 0;
    firstLetter = -1;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const Character& c = characters[i];
        if (fold.decomposed && IsMarkAfterItsBase(characters, i)) {
            if (firstLetter < 0)
                firstLetter = static_cast<long>(offset - characters[i - 1].bytes.size());
        } else if (c.codePoint >= 0 && c.codePoint < 0x10000
                   && FoldText(std::u16string(1, static_cast<char16_t>(c.codePoint)))[0] != c.codePoint) {
            const char plain = static_cast<char>(FoldText(std::u16string(1, static_cast<char16_t>(c.codePoint)))[0]);
            if (firstLetter < 0)
                firstLetter = static_cast<long>(offset);
            folded += fold.encoding == ByteEncoding::Utf16BigEndian    ? std::string{'\0', plain}
                      : fold.encoding == ByteEncoding::Utf16LittleEndian ? std::string{plain, '\0'}
                                                                         : std::string(1, plain);
        } else {
            folded += c.bytes;
        }
        offset += c.bytes.size();
    }
    return folded;
}

// Folds the text read as kresovar-fold reads it: each piece at most
// `pieceSize` bytes, the bytes held back from the last at its front, and a
// piece said to fold to itself passed on whole, once it is seen to.
inline std::string FoldInPieces(const std::string& text, ByteFold fold, std::size_t pieceSize)
{
    std::string folded;
    std::string pending;
    std::size_t at = 0;
    for (;;) {
        const std::size_t take = std::min(std::max(pieceSize, pending.size() + 1) - pending.size(), text.size() - at);
        pending += text.substr(at, take);
        at += take;
        const bool end = at == text.size();
        const auto in = ExactCopy(pending);
        const auto out = std::make_unique<unsigned char[]>(pending.size());
        const PieceScan piece = FoldBytes(fold, in.get(), pending.size(), out.get(), end);
        if (FoldsToItself(fold, in.get(), pending.size())) {
            Require(piece.consumed == pending.size() && std::memcmp(in.get(), out.get(), piece.produced) == 0
                        && piece.produced == piece.consumed, "a piece said to fold to itself changes");
            folded += std::exchange(pending, {});
            if (end)
                return folded;
            continue;
        }
        Require(piece.produced <= piece.consumed, "a piece grew");
        Require(pending.size() - piece.consumed <= kMostHeldBack, "more than a few bytes were held back");
        Require(!end || piece.consumed == pending.size(), "the last piece was not consumed whole");
        folded.append(reinterpret_cast<const char*>(out.get()), piece.produced);
        pending.erase(0, piece.consumed);
        if (end)
            return folded;
    }
}
