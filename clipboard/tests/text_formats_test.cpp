// The clipboard's formatted and charset-tagged text: folded where it can be
// read exactly, with its references and Windows' HTML offsets, else dropped.

#include "text_formats.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// A stand-in fold: ą and ó become a and o.
std::u16string Fold(std::u16string_view text)
{
    std::u16string folded(text);
    for (char16_t& unit : folded)
        unit = unit == u'ą' ? u'a' : unit == u'ó' ? u'o' : unit;
    return folded;
}

struct Case {
    const char* name;
    std::optional<std::string> folded;
    std::optional<std::string> expected;
};

TEST(TextFormats, FoldsWhatItReadsExactlyAndDropsTheRest)
{
    using formats::Encoding;
    const Case cases[] = {
        {"html references", formats::FoldHtml("ą&#261;&#x105;&aogon;&oacute;&#322;&amp;", Fold), "aaaao&#322;&amp;"},
        {"html in UTF-16 by its mark", formats::FoldHtml(std::string("\xFF\xFE\x05\x01<\0", 6), Fold),
         std::string("\xFF\xFE" "a\0<\0", 6)},
        {"html in UTF-16LE without a mark", formats::FoldHtml(std::string("<\0\x05\x01", 4), Fold),
         std::string("<\0a\0", 4)},
        {"html in UTF-16BE without a mark", formats::FoldHtml(std::string("\0<\x01\x05", 4), Fold),
         std::string("\0<\0a", 4)},
        {"UTF-8 html ended by a NUL", formats::FoldHtml(std::string("<\xC4\x85\0", 4), Fold), std::string("<a\0", 3)},
        {"html not UTF-8", formats::FoldHtml("\xC4", Fold), std::nullopt},
        {"UTF-16BE by charset", formats::FoldEncoded(std::string("\x01\x05", 2), Encoding::Utf16Be, Fold),
         std::string("\0a", 2)},
        {"Latin-1 keeps what does not fold", formats::FoldEncoded("\xF3\xE9", Encoding::Latin1, Fold), "o\xE9"},
        {"HTML Format offsets made anew",
         formats::FoldHtmlFormat("Version:0.9\r\nStartHTML:0000000074\r\nEndHTML:0000000093\r\n"
                                 "StartSelection:-1\r\n<b>\xC4\x85\xC3\xB3</b>&oacute;",
                                 Fold),
         "Version:0.9\r\nStartHTML:0000000074\r\nEndHTML:0000000084\r\nStartSelection:-1\r\n<b>ao</b>o"},
        {"HTML Format without offsets", formats::FoldHtmlFormat("<b>\xC4\x85</b>", Fold), std::nullopt},
    };
    for (const Case& row : cases)
        EXPECT_EQ(row.folded, row.expected) << row.name;
    EXPECT_EQ(formats::CharsetOf("text/plain; charset=\"UTF-16\""), Encoding::Utf16Le);
    EXPECT_EQ(formats::CharsetOf("text/plain;charset=windows-1250"), std::nullopt);
}

} // namespace
