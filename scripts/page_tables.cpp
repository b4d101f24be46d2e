// Prints docs/code-pages.js, the home page's tables for folding files, from
// fold/: the 18 letters, for each code page every byte's fold, and the model
// of Polish that names a code page.
// Built and run by scripts/page_tables.sh.

#include "code_page.h"
#include "fold_text.h"
#include "polish_model.h"

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
                "// For each code page: every byte's fold, in hexadecimal, and the character\n"
                "// of each byte from 0x80 up (0 where it is undefined), four digits each.\n"
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
        for (unsigned byte = 0; byte < 256; ++byte) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", folded[byte]);
            hex += digits;
        }
        std::string characters;
        for (unsigned byte = 0x80; byte < 256; ++byte) {
            char digits[5];
            std::snprintf(digits, sizeof digits, "%04x", static_cast<unsigned>(CodePageCharacter(page, static_cast<unsigned char>(byte))));
            characters += digits;
        }
        std::printf("    {name: \"%s\",\n     folded: %s,\n     characters: %s},\n", name, Lines(hex, 64).c_str(),
                    Lines(characters, 64).c_str());
    }
    std::printf("];\n\n");
    // The model of Polish, as fold/polish_model.h has it.
    using namespace polish_model;
    std::printf("// The model of Polish that names a code page (fold/polish_model.h, made by\n"
                "// scripts/polish_model.py): each byte's symbol in windows-1250, iso-8859-2, ibm852,\n"
                "// windows-1252, iso-8859-1 and cp850; the cost of each pair of symbols, in eighths\n"
                "// of a bit, for Polish and for the other languages; and how far apart a page named must be.\n"
                "const MODEL_SYMBOLS = %u;\nconst PAGES_APART = %llu, LANGUAGES_APART = %llu, PER_BIGRAM = %llu;\n"
                "const MODEL_BYTE_SYMBOL = [\n",
                kSymbols, static_cast<unsigned long long>(kPagesApart), static_cast<unsigned long long>(kLanguagesApart),
                static_cast<unsigned long long>(kPerBigram));
    const auto hexOf = [](const auto& values) {
        std::string hex;
        for (unsigned value : values) {
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", value);
            hex += digits;
        }
        return hex;
    };
    for (const auto& symbols : kByteSymbol)
        std::printf("    %s,\n", Lines(hexOf(symbols), 64).c_str());
    std::printf("].map(hex => Uint8Array.from(hex.match(/../g), pair => parseInt(pair, 16)));\nconst MODEL_COST = [\n");
    for (const auto& cost : kCost)
        std::printf("    %s,\n", Lines(hexOf(cost), 96).c_str());
    std::printf("].map(hex => Uint8Array.from(hex.match(/../g), pair => parseInt(pair, 16)));\n");
}
