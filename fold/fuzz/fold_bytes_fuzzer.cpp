// Checks FoldBytes and FindLetter on arbitrary bytes. The first input byte
// chooses the encoding, whether decomposed letters fold, whether a short
// text is repeated past a large piece or only past the size where the fold
// works side by side, and the size of the pieces it is read in: a large
// piece, or (for a text not repeated so far) a few bytes.
// The rest is the text, read in that encoding and, if short, in a code page;
// UTF-8 also mixed with a code page. The fold
// and the first letter must equal the plain reference's on each path this
// machine can take, the fold in one piece and in pieces, and a piece said to
// fold to itself must; and the watch for a code page must find the invalid
// bytes of a text taken as UTF-8.

#include "fold_bytes_reference.h"

#include <cstdint>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const ByteFold fold{static_cast<ByteEncoding>(data[0] % 3), (data[0] & 4) != 0};
    const bool pastLargePiece = data[0] & 0x80;
    const std::size_t pieceSize = pastLargePiece || (data[0] >> 3 & 15) == 0 ? kLargePiece : data[0] >> 3 & 15;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string text = input;
    while (text.size() < (pastLargePiece ? kLargePiece + 1 : kSideBySideFrom))
        text += input;
    // A short text is read in a code page as well, chosen by its length:
    // there every byte stands alone, so a long one would tell no more.
    std::vector<ByteFold> folds = {fold};
    if (!pastLargePiece)
        folds.push_back({kCodePages[text.size() % kCodePages.size()]});
    // UTF-8 is read mixed with a code page too (-e utf-8+windows-1250).
    if (fold.encoding == ByteEncoding::Utf8 && !fold.decomposed)
        folds.push_back({ByteEncoding::Utf8, false, kCodePages[input.size() % kCodePages.size()]});
    for (ByteFold each : folds) {
        long firstLetter = -1;
        const std::string expected = ReferenceFold(DecodeFor(text, each), each, firstLetter);
        const auto bytes = ExactCopy(text);
        for (FoldPath path : FoldPaths()) {
            UseFoldPath(path);
            Require(FoldInPieces(text, each, text.size()) == expected, "the fold differs from the reference");
            Require(FoldInPieces(text, each, pieceSize) == expected, "a fold in pieces differs from the fold in one");
            const PieceScan search = FindLetter(each, bytes.get(), text.size(), true);
            Require(search.letter ? static_cast<long>(*search.letter) == firstLetter : firstLetter < 0,
                    "FindLetter found another letter");
        }
        Require(!FoldsToItself(each, bytes.get(), text.size()) || expected == text, "a piece said to fold to itself changes");
    }
    if (fold.encoding != ByteEncoding::Utf8)
        return 0;
    // Taken as UTF-8, the watch for a code page finds the invalid bytes, and
    // says all it says as it does a byte at a time, on each path and in
    // pieces; nothing of a text with a NUL.
    UseFoldPath(FoldPath::Portable);
    const Watched reference = WatchInPieces(text, 1);
    Require(reference.strays == ReferenceStrays(text), "the watch found other bytes that are no part of UTF-8");
    Require(text.find('\0') == std::string::npos || reference.pages.empty(), "the watch took a text with a NUL for a code page");
    for (FoldPath path : FoldPaths()) {
        UseFoldPath(path);
        for (std::size_t pieces : {pieceSize, text.size()})
            Require(WatchInPieces(text, pieces) == reference, "the watch says another thing on another path or in other pieces");
    }
    return 0;
}
