#pragma once

#include <array>
#include <string>
#include <string_view>

// One letter with a Polish diacritic and the plain Latin letter that replaces it.
struct FoldRow {
    char16_t letter;
    char16_t plain;
};

// The 18 Polish letters with diacritics, in the order the fold tests them.
// No letter appears twice, so the order never changes a result.
inline constexpr std::array<FoldRow, 18> FoldTable = {{
    {u'ą', u'a'}, {u'ę', u'e'}, {u'ł', u'l'}, {u'ń', u'n'}, {u'ś', u's'},
    {u'ż', u'z'}, {u'ź', u'z'}, {u'ó', u'o'}, {u'ć', u'c'},
    {u'Ą', u'A'}, {u'Ę', u'E'}, {u'Ł', u'L'}, {u'Ń', u'N'}, {u'Ż', u'Z'},
    {u'Ś', u'S'}, {u'Ź', u'Z'}, {u'Ó', u'O'}, {u'Ć', u'C'},
}};

// The plain letter of a unit that is one of the 18 letters; any other unit itself.
char16_t FoldUnit(char16_t unit);

// Returns the source with each of the 18 letters replaced by its plain letter.
// Works on UTF-16 code units: the result has the source's length, and unit i of
// the result is the fold of unit i of the source. Nothing else is touched.
std::u16string FoldText(std::u16string_view source);
