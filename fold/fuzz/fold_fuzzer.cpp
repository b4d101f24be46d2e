// Checks FoldText on arbitrary UTF-16 texts (the input's bytes taken two at a
// time): the length is kept, only the 18 letters change and each into its own
// plain letter, folding twice changes nothing, and the result agrees with the
// 18 rows tested one by one, on each path this machine can take.

#include "fold_by_rows.h"
#include "fold_path.h"
#include "fold_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "FoldText broke a rule: %s\n", what);
        std::abort();
    }
}

char16_t PlainLetterOf(char16_t unit)
{
    for (FoldRow row : FoldTable) {
        if (row.letter == unit)
            return row.plain;
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::u16string source(size / 2, u'\0');
    std::memcpy(source.data(), data, source.size() * 2);

    for (FoldPath path : FoldPaths()) {
        UseFoldPath(path);
        const std::u16string folded = FoldText(source);
        Require(folded.size() == source.size(), "the length changed");
        for (std::size_t i = 0; i < source.size(); ++i) {
            const char16_t plain = PlainLetterOf(source[i]);
            Require(folded[i] == (plain ? plain : source[i]), "a unit was folded wrongly");
        }
        Require(FoldText(folded) == folded, "folding twice changed the text");
        Require(folded == FoldByRows(source), "the result differs from the 18 rows");
    }
    return 0;
}
