// Prints docs/code-pages.js, the home page's tables for folding files, from
// fold/: the 18 letters, and for each code page every byte's fold and what
// each byte from 0x80 up says in the rule that tells a code page from UTF-8.
// Built and run by scripts/page_tables.sh.

#include "code_page.h"
#include "fold_text.h"

#include <cstdio>
#include <string>

namespace {

std::string Utf8(char16_t unit)
{
    if (unit < 0x80)
        return std::string(1, static_cast<char>(unit));
    return {static_cast<char>(0xC0 | unit >> 6), static_cast<char>(0x80 | (unit & 0x3F))};
}

// A JavaScript string of `text`, cut into lines of `width` characters.
std::string Lines(const std::string& text, std::size_t width)
{
    std::string lines;
    for (std::size_t at = 0; at < text.size(); at += width)
        lines += std::string(at ? " +\n         \"" : "\"") + text.substr(at, width) + "\"";
    return lines;
}

} // namespace

int main()
{
    std::string letters;
    std::string plain;
    for (FoldRow row : FoldTable) {
        letters += Utf8(row.letter);
        plain += Utf8(row.plain);
    }
    std::printf("\"use strict\";\n"
                "// Generated from fold/ by scripts/page_tables.sh; page_test.py checks it against kresovar-fold.\n\n"
                "// The 18 letters, each above the plain letter that replaces it.\n"
                "const FOLD_LETTERS = \"%s\";\nconst FOLD_PLAIN = \"%s\";\n\n"
                "// For each code page: every byte's fold, in hexadecimal, and what each byte\n"
                "// from 0x80 up says when it is no part of UTF-8 (Sure, Unsure, Paired,\n"
                "// Against or nothing; see docs/man/kresovar-fold.1).\n"
                "const CODE_PAGES = [\n",
                letters.c_str(), plain.c_str());
    const struct {
        ByteEncoding page;
        const char* name;
    } pages[] = {{ByteEncoding::Windows1250, "windows-1250"}, {ByteEncoding::Iso8859_2, "iso-8859-2"},
                 {ByteEncoding::Ibm852, "ibm852"}};
    for (const auto& [page, name] : pages) {
        unsigned char bytes[256];
        unsigned char folded[256];
        for (unsigned byte = 0; byte < 256; ++byte)
            bytes[byte] = static_cast<unsigned char>(byte);
        ScanCodePage(page, bytes, 256, folded);
        std::string hex;
        std::string evidence;
        for (unsigned byte = 0; byte < 256; ++byte) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", folded[byte]);
            hex += digits;
            if (byte >= 0x80)
                evidence += "SUPA."[static_cast<int>(StrayEvidence(page, static_cast<unsigned char>(byte)))];
        }
        std::printf("    {name: \"%s\",\n     folded: %s,\n     evidence: %s},\n", name, Lines(hex, 64).c_str(),
                    Lines(evidence, 64).c_str());
    }
    std::printf("];\n");
}
