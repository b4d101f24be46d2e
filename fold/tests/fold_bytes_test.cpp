#include "code_page.h"
#include "fold_bytes_reference.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr ByteFold kUtf8{};
constexpr ByteFold kDecomposed{ByteEncoding::Utf8, true};

// A text of `size` bytes of Polish prose with `run` repeated over [from, to).
struct Layout {
    const char* name;
    ByteFold fold;
    std::size_t size;
    std::size_t from;
    std::size_t to;
    std::string run;
    std::string expected = {};  // also checks the reference itself
};

// A whole text of the bytes of a literal, NULs included, and its fold.
template <std::size_t N, std::size_t M>
Layout Exactly(const char* name, ByteFold fold, const char (&text)[N], const char (&expected)[M])
{
    return {name, fold, N - 1, 0, N - 1, std::string(text, N - 1), std::string(expected, M - 1)};
}

void PrintTo(const Layout& c, std::ostream* os) { *os << c.name; }

std::string Text(const Layout& c)
{
    std::string text;
    while (text.size() < c.size)
        text += "Zażółć gęślą jaźń. ";
    text.resize(c.size);
    for (std::size_t at = c.from; at < c.to; ++at)
        text[at] = c.run[(at - c.from) % c.run.size()];
    return text;
}

// Where FoldBytes cuts a piece of `size` bytes into its four stretches.
constexpr std::size_t Cut(std::size_t size, std::size_t k) { return (size - 32) / 4 * k; }

class FoldBytesCases : public testing::TestWithParam<Layout> {};

TEST_P(FoldBytesCases, FoldsAsTheReferenceInPiecesOfEachSizeOnEachPath)
{
    const Layout& c = GetParam();
    const std::string text = Text(c);
    long first = -1;
    const std::string expected = ReferenceFold(Decode(text, c.fold.encoding), c.fold, first);
    if (!c.expected.empty()) {
        EXPECT_EQ(expected, c.expected);
    }
    const auto bytes = ExactCopy(text);
    for (FoldPath path : FoldPaths()) {
        UseFoldPath(path);
        for (std::size_t pieceSize : {std::size_t{1}, std::size_t{3}, kSideBySideFrom + 7, kLargePiece, text.size()})
            EXPECT_EQ(FoldInPieces(text, c.fold, pieceSize), expected)
                << "in pieces of " << pieceSize << " on path " << FoldPathName(path);
        const std::optional<std::size_t> found = FindLetter(c.fold, bytes.get(), text.size(), true).letter;
        EXPECT_EQ(found ? static_cast<long>(*found) : -1, first) << "the first letter, on path " << FoldPathName(path);
    }
    UseFoldPath(FoldPaths().back());
}

INSTANTIATE_TEST_SUITE_P(Runs, FoldBytesCases, testing::Values(
    Layout{"continuation_from_a_cut_to_the_end", kUtf8, 1000, Cut(1000, 1), 1000, "\x80"},
    Layout{"continuation_ending_at_a_cut", kUtf8, 1000, Cut(1000, 2) - 64, Cut(1000, 2), "\xbf"},
    Layout{"continuation_ending_past_a_cut", kUtf8, 1000, Cut(1000, 3) - 64, Cut(1000, 3) + 1, "\x80"},
    Layout{"leads_from_a_cut_to_the_end", kUtf8, 1000, Cut(1000, 3), 1000, "\xc4"},
    Layout{"leads_ending_at_a_cut", kUtf8, 1000, Cut(1000, 1) - 64, Cut(1000, 1), "\xc5"},
    Layout{"letter_split_by_a_cut", kUtf8, 1000, Cut(1000, 2) - 1, Cut(1000, 2) + 1, "\xc4\x85"},
    Layout{"letters_over_every_cut", kUtf8, 1000, 1, 1000, "\xc3\xb3"},
    Layout{"a_lone_letter_at_each_place_in_a_block", kUtf8, 97 * 66, 0, 97 * 66, std::string(95, 'x') + "\xc4\x85"},
    Layout{"every_letter_beside_its_neighbours", kUtf8, 1000, 0, 1000, "\xc3\x93\xc3\xb3\xc4\x84\xc4\x85\xc4\x86"
        "\xc4\x87\xc4\x98\xc4\x99\xc5\x81\xc5\x82\xc5\x83\xc5\x84\xc5\x9a\xc5\x9b\xc5\xb9\xc5\xba\xc5\xbb\xc5\xbc"
        "\xc3\x92\xc3\xb4\xc4\x83\xc4\x88\xc4\x97\xc4\x9a\xc5\x80\xc5\x85\xc5\x99\xc5\x9c\xc5\xb8\xc5\xbd\xc2\xb3\xc6\x85 "},
    Layout{"continuation_only_at_the_threshold", kUtf8, kSideBySideFrom, 0, kSideBySideFrom, "\x80"},
    Layout{"continuation_to_the_end_of_a_large_piece", kUtf8, kLargePiece, kLargePiece - 300, kLargePiece, "\x80"},
    Layout{"continuation_across_a_large_piece", kUtf8, kLargePiece + 300, kLargePiece - 300, kLargePiece + 300, "\x80"},
    Layout{"leads_across_a_large_piece", kUtf8, kLargePiece + 300, kLargePiece - 300, kLargePiece + 300, "\xc4"},
    Layout{"marks_across_a_large_piece", kDecomposed, kLargePiece + 300, kLargePiece - 300, kLargePiece + 300, "z\xcc\x87"}),
    [](const auto& instance) { return instance.param.name; });

// Each code page: every byte at each of 64 places, and a first letter after many blocks.
std::string EveryByte()
{
    std::string bytes;
    for (unsigned byte = 0; byte < 256; ++byte)
        bytes += static_cast<char>(byte);
    return bytes + "x";
}
INSTANTIATE_TEST_SUITE_P(CodePages, FoldBytesCases, testing::Values(
    Layout{"windows_1250", {ByteEncoding::Windows1250}, 257 * 64, 0, 257 * 64, EveryByte()},
    Layout{"iso_8859_2", {ByteEncoding::Iso8859_2}, 257 * 64, 0, 257 * 64, EveryByte()},
    Layout{"ibm852", {ByteEncoding::Ibm852}, 257 * 64, 0, 257 * 64, EveryByte()},
    Layout{"windows_1250_letter_late", {ByteEncoding::Windows1250}, 1000, 0, 1000, std::string(640, '\xe9') + "\xb9\xa5\xb3"},
    Layout{"iso_8859_2_letter_late", {ByteEncoding::Iso8859_2}, 1000, 0, 1000, std::string(640, '\xe9') + "\xb9\xa5\xb3"},
    Layout{"ibm852_letter_late", {ByteEncoding::Ibm852}, 1000, 0, 1000, std::string(640, '\xe9') + "\xb9\xa5\xb3"}),
    [](const auto& instance) { return instance.param.name; });

// Short texts, folded exactly so.
INSTANTIATE_TEST_SUITE_P(Texts, FoldBytesCases, testing::Values(
    Exactly("untouched", kUtf8, "a\r\nb\rc\n\0\xef\xbb\xbf\xc3\xa9\xc5\xbe\xe2\x80\x9e",
            "a\r\nb\rc\n\0\xef\xbb\xbf\xc3\xa9\xc5\xbe\xe2\x80\x9e"),
    Exactly("invalid_bytes_kept", kUtf8, "\xc4\x85\x80\xff\xc4x\xe2\x82\xc4\x85\xc0\xb3\xc4",
            "a\x80\xff\xc4x\xe2\x82" "a\xc0\xb3\xc4"),
    Exactly("decomposed_kept", kUtf8, "a\xcc\xa8z\xcc\x87", "a\xcc\xa8z\xcc\x87"),
    Exactly("decomposed_folded", kDecomposed, "a\xcc\xa8 e\xcc\xa8 z\xcc\x87 z\xcc\x81 O\xcc\x87 b\xcc\xa8 \xcc\x81",
            "a e z z O\xcc\x87 b\xcc\xa8 \xcc\x81"),
    Exactly("utf16_le", {ByteEncoding::Utf16LittleEndian}, "\xff\xfeZ\0\x05\x01\r\0\n\0\x3d\xd8\x00\xde\x41",
            "\xff\xfeZ\0a\0\r\0\n\0\x3d\xd8\x00\xde\x41"),
    Exactly("utf16_be", {ByteEncoding::Utf16BigEndian}, "\xfe\xff\0Z\0\xf3\x01\x41", "\xfe\xff\0Z\0o\0L"),
    Exactly("utf16_decomposed", {ByteEncoding::Utf16LittleEndian, true}, "\xff\xfe" "a\0\x28\x03z\0\x07\x03",
            "\xff\xfe" "a\0z\0")),
    [](const auto& instance) { return instance.param.name; });

} // namespace

#if __has_include(<iconv.h>)
#include <iconv.h>
#endif

namespace {

// iconv's character for one byte of a code page; 0 where it refuses the byte.
char16_t IconvCharacter(const char* codePage, unsigned char byte)
{
#if __has_include(<iconv.h>)
    const iconv_t convert = iconv_open("UTF-16LE", codePage);
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[4] = {};
    char* from = in;
    char* to = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    const bool read = iconv(convert, &from, &inLeft, &to, &outLeft) != static_cast<std::size_t>(-1) && outLeft == 2;
    iconv_close(convert);
    return read ? static_cast<char16_t>(out[0] | out[1] << 8) : 0;
#else
    (void)codePage, (void)byte;
    return 0;
#endif
}

struct CodePageRow {
    ByteEncoding codePage;
    const char* iconvName;
};

TEST(CodePages, EveryByteIsReadAsIconvReadsItAndTheLettersFold)
{
#if !__has_include(<iconv.h>)
    GTEST_SKIP() << "no iconv here";
#endif
    for (CodePageRow row : {CodePageRow{ByteEncoding::Windows1250, "CP1250"}, CodePageRow{ByteEncoding::Iso8859_2, "ISO-8859-2"},
                            CodePageRow{ByteEncoding::Ibm852, "IBM852"}}) {
        std::string bytes;
        std::string expected;
        for (unsigned byte = 0; byte < 256; ++byte) {
            const char16_t character = IconvCharacter(row.iconvName, static_cast<unsigned char>(byte));
            EXPECT_EQ(CodePageCharacter(row.codePage, static_cast<unsigned char>(byte)), character) << row.iconvName << " " << byte;
            bytes += static_cast<char>(byte);
            expected += static_cast<char>(byte);
            for (FoldRow letter : FoldTable)
                expected.back() = character == letter.letter ? static_cast<char>(letter.plain) : expected.back();
        }
        for (std::size_t pieceSize : {std::size_t{1}, std::size_t{100}, bytes.size()})
            EXPECT_EQ(FoldInPieces(bytes + bytes, {row.codePage}, pieceSize), expected + expected) << row.iconvName;
    }
}

TEST(TextWatch, SaysTheSameWhereverTheStreamIsCutOnEachPath)
{
    using Pages = std::vector<ByteEncoding>;
    std::string utf8;
    std::string windows1250;
    for (int i = 0; i < 20; ++i) {
        utf8 += "Zażółć „gęślą” jaźń 😀 \xed\x9f\xbf \xf4\x8f\xbf\xbf\xc2\x80 ";
        windows1250 += "Za\xbf\xf3\xb3\xe6 \x84g\xea\x9cl\xb9\x94 ja\x9f\xf1 ";
    }
    struct Row {
        std::string name;
        std::string text;
        Pages pages;
        bool anyPages = false;  // the model decides; the test asks only that every cut and path says the same
    };
    std::vector<Row> rows = {
        {"utf-8", utf8, {}},
        {"windows-1250", windows1250, {ByteEncoding::Windows1250}},
        {"windows-1250 after utf-8", utf8 + windows1250, {ByteEncoding::Windows1250}},
        {"windows-1250 with a NUL", windows1250 + '\0', {}},
        {"a sequence cut short at the end", utf8 + "\xf0\x9f\x98", {}},
        // Too few to tell by the model of Polish.
        {"three Polish letters alone", "\xb9\xb3\xb9" + utf8, {}},
        {"windows-1250 after a NUL amid utf-8", utf8 + '\0' + utf8 + windows1250, {}},
        // Letters inside words, none of them one that Western text hardly holds.
        {"a sentence in windows-1250", "Cze\x9c\xe6, prosz\xea p\xf3j\x9c\xe6 do sklepu.", {ByteEncoding::Windows1250}},
        {"a sentence in iso-8859-2", "Cze\xb6\xe6, prosz\xea p\xf3j\xb6\xe6 do sklepu.", {ByteEncoding::Iso8859_2}},
        {"a sentence in ibm852", "Cze\x98\x86, prosz\xa9 p\xa2j\x98\x86 do sklepu.", {ByteEncoding::Ibm852}},
        {"one letter between letters is not enough", "Ask Ma\xb3gorzata Nowak.", {}},
        {"Spanish ñó in windows-1252", "ri\xf1\xf3n, ca\xf1\xf3n y pi\xf1\xf3n", {}},
        {"EUC-JP", "\xa4\xc9\xa4\xb3\xa4\xc7\xc0\xb8\xa4\xec\xa4\xbf\xa4\xab\xa4\xc8\xa4\xf3\xa4\xc8\xb8\xab\xc5\xf6\xa4\xac"
                   "\xa4\xc4\xa4\xab\xa4\xcc\xa1\xa3", {}},
        {"windows-1250 letters in long runs", "a\xbf\xf3\xb3\xe6\xbf\xf3\xb3\xe6\xb9" "a a\xbf\xf3\xb3\xe6\xbf\xf3\xb3\xe6\xb9" "a", {}, true},
    };
    // Symbols of Windows-1252 that read as letters of a code page, in English: beside a word, or one another.
    for (const char* symbol : {"12 m\xb3 of", "a note\xb9 on", "\xa5" "100 for", "2\xb3\xb9 or \xa5\xa5"})
        rows.push_back({std::string("windows-1252: ") + symbol, std::string("It takes ") + symbol + " the room, " + symbol + " or so.", {}});
    // Each form that is not UTF-8, in a piece of its own, puts the three
    // letters' score below zero: overlong, a surrogate, past U+10FFFF, bytes
    // that begin no sequence.
    const std::vector<std::string> notUtf8 = {"\xe0\x80\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xf0\x80\x80\x80", "\xc1\x80", "\xf5\x80\x80\x80"};
    for (const std::string& form : notUtf8)
        rows.push_back({"not UTF-8: " + form, "\xb9\xb3\xb9" + utf8 + form + form + utf8, {}});
    // Each other form, amid UTF-8 of letters of two bytes: a continuation byte too many, one alone, too few.
    std::string twoByte;
    for (int i = 0; i < 40; ++i)
        twoByte += "Zażółć gęślą jaźń ";
    for (const char* form : {"\xdf\xbf\x80", "\xef\xbf\xbf\x80", "\xf4\x8f\xbf\xbf\x80", " \x80", "\xbf", "\xc4 ", "\xe2\x82 ", "\xf0\x9f\x98\xc3\xa9"})
        rows.push_back({std::string("not UTF-8: ") + form, twoByte + form + twoByte, {}});
    // A lead byte of no sequence, or of one cut short, 97 bytes apart in
    // ASCII: where a check looks on 64 bytes past one, the next stands
    // elsewhere in a block of 16, 32 or 64.
    for (const char* lead : {"\xfe", "\xc4"}) {
        rows.push_back({std::string("a lead byte at each place in a block: ") + lead, "", {}});
        for (int i = 0; i < 70; ++i)
            rows.back().text += std::string(96, 'a') + lead;
    }
    // Letters that end, or begin, a long run of UTF-8 that the check passes to, or from, each place in a block.
    for (int i = 20; i < 84; ++i) {
        std::string run;
        for (int k = 0; k < i; ++k)
            run += "\xe6\x9d\xb1";
        rows.push_back({"windows-1250 letters after a long run of utf-8 " + std::to_string(i),
                        std::string(70, 'a') + run + "\xbf\xf3\xb3\xe6" "a", {}, true});
        rows.push_back({"windows-1250 letters before a long run of utf-8 " + std::to_string(i),
                        "a\xbf\xf3\xb3\xe6" + run + std::string(70, 'a'), {}, true});
    }
    // Random text past the first stray bytes, which are walked a byte at a
    // time: stray bytes alone, in pairs and in runs, UTF-8, the forms that are
    // not, and a NUL, at every place in a block.
    std::mt19937 random(35);
    for (std::size_t i = 0; i < 8; ++i) {
        rows.push_back({"random text " + std::to_string(i), windows1250, {}, true});
        std::vector<std::string> pieces = {"a", "a", "e ", "\n", "\xb3", "\xea", "\xf3\xb3", "\xc5\x82", "\xdf\xbf", "\xe2\x80\x9e"};
        pieces.insert(pieces.end(), notUtf8.begin(), notUtf8.end());
        while (rows.back().text.size() < 3000)
            rows.back().text += random() % 10 == 0 ? std::string(1, static_cast<char>(0x80 + random() % 128)) : pieces[random() % pieces.size()];
        if (i % 2 == 1)
            rows.back().text.insert(1000 + 7 * i, 1, '\0');
    }
    UseFoldPath(FoldPath::Portable);
    std::vector<Watched> byBytes;
    for (auto& row : rows) {
        byBytes.push_back(WatchInPieces(row.text, 1));
        if (row.anyPages)
            row.pages = byBytes.back().pages;
    }
    for (FoldPath path : FoldPaths()) {
        UseFoldPath(path);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Row& row = rows[r];
            for (std::size_t pieceSize : {std::size_t{1}, std::size_t{5}, std::size_t{16}, std::size_t{67}, std::size_t{333},
                                          row.text.size()}) {
                const Watched watched = WatchInPieces(row.text, pieceSize);
                const std::string where = row.name + " in pieces of " + std::to_string(pieceSize) + " on path " + FoldPathName(path);
                EXPECT_EQ(watched.pages, row.pages) << where;
                EXPECT_EQ(watched.strays, ReferenceStrays(row.text)) << where;
                EXPECT_TRUE(watched == byBytes[r]) << where << ": not as a byte at a time";
            }
        }
    }
    UseFoldPath(FoldPaths().back());
}

} // namespace
