#include "fold_by_rows.h"
#include "fold_path.h"
#include "fold_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct FoldCase {
    const char* name;
    std::u16string source;
    std::u16string expected;
};

void PrintTo(const FoldCase& c, std::ostream* os) { *os << c.name; }

class FoldTextCases : public testing::TestWithParam<FoldCase> {};

TEST_P(FoldTextCases, FoldsAsExpected)
{
    const FoldCase& c = GetParam();
    const std::u16string folded = FoldText(c.source);
    EXPECT_EQ(folded, c.expected);
    EXPECT_EQ(folded.size(), c.source.size());
    EXPECT_EQ(FoldText(folded), folded) << "folding twice must change nothing";
}

// Each of the 18 letters, alone and inside words.
INSTANTIATE_TEST_SUITE_P(PolishLetters, FoldTextCases, testing::Values(
    FoldCase{"lower_case", u"ąęłńśżźóć", u"aelnszzoc"},
    FoldCase{"capitals", u"ĄĘŁŃŻŚŹÓĆ", u"AELNZSZOC"},
    FoldCase{"phrase", u"Zażółć gęślą jaźń", u"Zazolc gesla jazn"},
    FoldCase{"phrase_in_capitals", u"ZAŻÓŁĆ GĘŚLĄ JAŹŃ", u"ZAZOLC GESLA JAZN"},
    FoldCase{"letter_at_both_ends", u"ś\r\nx\r\nŹ", u"s\r\nx\r\nZ"}),
    [](const auto& instance) { return instance.param.name; });

// What must come back exactly as it went in.
INSTANTIATE_TEST_SUITE_P(Untouched, FoldTextCases, testing::Values(
    FoldCase{"empty", u"", u""},
    FoldCase{"ascii_with_breaks", u"Line 1\r\n\tTab; 2+2=4!\r\n\"q\" (x)\n\r",
                                  u"Line 1\r\n\tTab; 2+2=4!\r\n\"q\" (x)\n\r"},
    FoldCase{"other_diacritics", u"éüöčřőÉÜÖČŘŐàñçšžýŠŽĺľŕ", u"éüöčřőÉÜÖČŘŐàñçšžýŠŽĺľŕ"},
    FoldCase{"neighbours_of_the_letters", u"ÒÔòôăĂĚěŀĿņŅŝŜ\u017D\u0178\u0103\u0140",
                                          u"ÒÔòôăĂĚěŀĿņŅŝŜ\u017D\u0178\u0103\u0140"},
    FoldCase{"combining_ogonek_and_acute", u"a\u0328e\u0328s\u0301", u"a\u0328e\u0328s\u0301"},
    FoldCase{"nul_and_controls", std::u16string(u"a\0ą\x1F", 4), std::u16string(u"a\0a\x1F", 4)},
    FoldCase{"surrogate_pair", u"\U0001F600ą\U00010105", u"\U0001F600a\U00010105"},
    FoldCase{"unpaired_surrogates", std::u16string{0xD801, u'ł', 0xDC05, 0xDBFF},
                                    std::u16string{0xD801, u'l', 0xDC05, 0xDBFF}},
    FoldCase{"highest_units", std::u16string{0xFFFF, 0xFFFE, 0xFEFF}, std::u16string{0xFFFF, 0xFFFE, 0xFEFF}}),
    [](const auto& instance) { return instance.param.name; });

TEST(FoldText, AgreesWithTheRowsForEveryCodeUnit)
{
    std::u16string every(0x10000, u'\0');
    for (std::size_t unit = 0; unit < every.size(); ++unit)
        every[unit] = static_cast<char16_t>(unit);
    for (FoldPath path : FoldPaths()) {
        UseFoldPath(path);
        EXPECT_EQ(FoldText(every), FoldByRows(every)) << "on path " << FoldPathName(path);
    }
    UseFoldPath(FoldPaths().back());

    int changed = 0;
    for (std::size_t unit = 0; unit < every.size(); ++unit) {
        changed += FoldText(every.substr(unit, 1))[0] != every[unit];
        ASSERT_EQ(FoldUnit(every[unit]), FoldByRows(every.substr(unit, 1))[0]) << "unit " << unit;
    }
    EXPECT_EQ(changed, 18);
}

// Lengths around the internal chunk and block sizes, letters at every position, on each path.
TEST(FoldText, AgreesWithTheRowsOnRandomTextsOfManyLengths)
{
    const std::u16string alphabet = u"aąbcćeęlłnńoósśzźżAĄCĆEĘLŁNŃOÓSŚZŹŻ \r\n\t\u00D2\u017D\xD83D\xDE00";
    std::mt19937 random(20261207);
    for (std::size_t length : std::initializer_list<std::size_t>{0, 1, 15, 16, 17, 31, 33, 2047, 2048, 2049, 4111, 100000}) {
        std::u16string source(length, u'\0');
        for (char16_t& unit : source)
            unit = alphabet[random() % alphabet.size()];
        for (FoldPath path : FoldPaths()) {
            UseFoldPath(path);
            EXPECT_EQ(FoldText(source), FoldByRows(source)) << "length " << length << " on path " << FoldPathName(path);
        }
    }
    UseFoldPath(FoldPaths().back());
}

// The source is writable memory seen through a view, as the fold command's is.
TEST(FoldText, LeavesTheSourceAlone)
{
    std::u16string source = u"żółw";
    FoldText(std::u16string_view(source));
    EXPECT_EQ(source, u"żółw");
}

} // namespace
