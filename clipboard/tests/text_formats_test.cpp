// The clipboard's formatted and charset-tagged text: folded where it can be
// read exactly, with its references and Windows' HTML offsets, and RTF by its
// \uN and its fonts' code pages; else dropped.

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
        // RTF as Word writes it: \uN and a fallback in the font's code page, which
        // goes with a letter that folds and stays, unread, with any other.
        {"rtf \\uN", formats::FoldRtf(R"({\rtf1\ansi\ansicpg1250\deff0{\fonttbl{\f0\fcharset238 Arial;}{\f1\fcharset204 Cyr;}})"
                                       R"(\uc1\f0\b\u261\'b9\u243 ?b\u8211\endash\'b9\f1\u1078\'e6{\uc0\u261 x}\u261?})",
                                       Fold),
         R"({\rtf1\ansi\ansicpg1250\deff0{\fonttbl{\f0\fcharset238 Arial;}{\f1\fcharset204 Cyr;}})"
         R"(\uc1\f0\b aob\u8211\endash a\f1\u1078\'e6{\uc0 ax}a})"},
        // As WordPad writes it: bytes in the font's charset, else in \ansicpg; a
        // font's name, raw bytes and escapes stay.
        {"rtf bytes by charset", formats::FoldRtf(R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fcharset238 Cz\'b9stka;})"
                                                  R"({\f1\fcharset0 Times;}{\f2\fcharset2 Symbol;}{\f3\fcharset0\cpg1250 X;}}\f0 Z\'b9\'f3)"
                                                  R"(\f3\'b9\f1\'e9\'b9\'f3\f2\'b9{\pict\bin5 \'b9}}\f0\\\{\'b9\}})",
                                                  Fold),
         R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fcharset238 Cz\'b9stka;})"
         R"({\f1\fcharset0 Times;}{\f2\fcharset2 Symbol;}{\f3\fcharset0\cpg1250 X;}}\f0 Zao)"
         R"(\f3 a\f1\'e9\'b9o\f2\'b9{\pict\bin5 \'b9}}\f0\\\{a\}})"},
        {"rtf bytes by \\ansicpg1250", formats::FoldRtf(std::string(R"({\rtf1\ansi\ansicpg1250{\*\gen \'b9}\'b9})") + '\0', Fold),
         std::string(R"({\rtf1\ansi\ansicpg1250{\*\gen a}a})") + '\0'},
        {"rtf without a code page", formats::FoldRtf(R"({\rtf1\ansi \'b9})", Fold), std::nullopt},
        {"rtf in a code page not known", formats::FoldRtf(R"({\rtf1\ansi\ansicpg1257 \'e0})", Fold), std::nullopt},
        {"rtf not closed", formats::FoldRtf(R"({\rtf1\ansi\ansicpg1250 \u261?)", Fold), std::nullopt},
    };
    for (const Case& row : cases)
        EXPECT_EQ(row.folded, row.expected) << row.name;
    EXPECT_EQ(formats::CharsetOf("text/plain; charset=\"UTF-16\""), Encoding::Utf16Le);
    EXPECT_EQ(formats::CharsetOf("text/plain;charset=windows-1250"), std::nullopt);
}

} // namespace
