// Checks FoldBytes and FindLetter on arbitrary bytes. The first input byte
// chooses the encoding, whether decomposed letters fold, and the size of the
// pieces a stream is read in; the rest is the text. Against a reference that
// decodes the text character by character (each invalid byte standing for
// itself), folds it with FoldText and encodes it again: on valid UTF-8 this is
// decode, FoldText, encode; invalid bytes come out unchanged; a fold read in
// pieces of any size equals the fold in one piece; and a piece said to fold
// to itself does.

#include "fold_bytes.h"
#include "fold_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "FoldBytes broke a rule: %s\n", what);
        std::abort();
    }
}

// One character of the text: its bytes, and its code point (or none, for an invalid byte).
struct Character {
    std::string bytes;
    long codePoint;
};

std::vector<Character> DecodeUtf8(const std::string& text)
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

std::vector<Character> DecodeUtf16(const std::string& text, bool big)
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

bool IsMarkAfterItsBase(const std::vector<Character>& characters, std::size_t i)
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
std::string ReferenceFold(const std::vector<Character>& characters, ByteFold fold, long& firstLetter)
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
            folded += fold.encoding == ByteEncoding::Utf8 ? std::string(1, plain)
                      : fold.encoding == ByteEncoding::Utf16BigEndian ? std::string{'\0', plain}
                                                                        : std::string{plain, '\0'};
        } else {
            folded += c.bytes;
        }
        offset += c.bytes.size();
    }
    return folded;
}

// Folds the text read in pieces of `pieceSize` bytes, carrying what is held
// back, and passing on whole a piece said to fold to itself, as
// kresovar-fold does.
std::string FoldInPieces(const std::string& text, ByteFold fold, std::size_t pieceSize)
{
    std::string folded;
    std::string pending;
    std::size_t at = 0;
    for (;;) {
        const std::size_t take = std::min(pieceSize, text.size() - at);
        pending += text.substr(at, take);
        at += take;
        const bool end = at == text.size();
        std::vector<unsigned char> out(pending.size() + 1);
        const auto* in = reinterpret_cast<const unsigned char*>(pending.data());
        if (FoldsToItself(fold, in, pending.size())) {
            folded += std::exchange(pending, {});
            if (end)
                return folded;
            continue;
        }
        const FoldedPiece piece = FoldBytes(fold, in, pending.size(), out.data(), end);
        Require(piece.produced <= piece.consumed, "a piece grew");
        Require(pending.size() - piece.consumed <= kMostHeldBack, "more than a few bytes were held back");
        Require(!end || piece.consumed == pending.size(), "the last piece was not consumed whole");
        folded.append(reinterpret_cast<const char*>(out.data()), piece.produced);
        pending.erase(0, piece.consumed);
        if (end)
            return folded;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const ByteFold fold{static_cast<ByteEncoding>(data[0] % 3), (data[0] & 4) != 0};
    const std::size_t pieceSize = 1 + (data[0] >> 3);
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<Character> characters = fold.encoding == ByteEncoding::Utf8
        ? DecodeUtf8(text) : DecodeUtf16(text, fold.encoding == ByteEncoding::Utf16BigEndian);

    long firstLetter = -1;
    const std::string expected = ReferenceFold(characters, fold, firstLetter);
    Require(FoldInPieces(text, fold, text.size() + 1) == expected, "the fold differs from the reference");
    Require(FoldInPieces(text, fold, pieceSize) == expected, "a fold in pieces differs from the fold in one");

    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    Require(!FoldsToItself(fold, bytes, text.size()) || expected == text, "a piece said to fold to itself changes");
    const LetterSearch search = FindLetter(fold, bytes, text.size(), true);
    Require(search.offset ? static_cast<long>(*search.offset) == firstLetter : firstLetter < 0,
            "FindLetter found another letter");
    return 0;
}
