#include "text_formats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <utility>
#include <vector>

namespace formats {

namespace {

// Code pages besides the numbered ones: a symbol font's bytes are glyphs,
// never letters; a font with the default charset has the document's; 0 is a
// code page not known.
constexpr long long kSymbol = -2;
constexpr long long kDocument = -1;
constexpr long long kUnknown = 0;

// The bytes of the letters that fold, in each known code page.
constexpr std::array<std::pair<char, char16_t>, 18> kWindows1250 = {{
    {'\xB9', u'ą'}, {'\xA5', u'Ą'}, {'\xE6', u'ć'}, {'\xC6', u'Ć'}, {'\xEA', u'ę'}, {'\xCA', u'Ę'},
    {'\xB3', u'ł'}, {'\xA3', u'Ł'}, {'\xF1', u'ń'}, {'\xD1', u'Ń'}, {'\xF3', u'ó'}, {'\xD3', u'Ó'},
    {'\x9C', u'ś'}, {'\x8C', u'Ś'}, {'\x9F', u'ź'}, {'\x8F', u'Ź'}, {'\xBF', u'ż'}, {'\xAF', u'Ż'},
}};
constexpr std::array<std::pair<char, char16_t>, 2> kWindows1252 = {{{'\xF3', u'ó'}, {'\xD3', u'Ó'}}};

struct Word {
    std::string_view name;
    std::optional<long long> parameter;
    std::size_t length; // with its delimiting space
};

// Folds RTF token by token, copying every byte but the letters that fold.
// Each letter becomes its plain fold; a \uN letter's fallback goes with it,
// so that readers with and without Unicode read the same plain letter.
class RtfFolder {
public:
    RtfFolder(std::string_view rtf, const Fold& fold) : in_(rtf), fold_(fold) {}

    std::optional<std::string> Run()
    {
        if (!in_.starts_with("{\\rtf"))
            return std::nullopt;
        while (ok_ && at_ < in_.size() && (!groups_.empty() || at_ == 0))
            Step();
        // After the document only line ends may follow, and then a NUL that
        // ends the clipboard's text, with whatever fills its memory after it.
        const std::size_t after = in_.find_first_not_of("\r\n ", at_);
        if (!ok_ || !groups_.empty() || (after != std::string_view::npos && in_[after] != '\0'))
            return std::nullopt;
        out_.append(in_.substr(at_));
        return std::move(out_);
    }

private:
    // What a group sets for itself and the groups within it.
    struct Group {
        long long unicodeSkip = 1; // \ucN
        long long font = -1;       // \fN; -1 for the document's default
        bool raw = false;          // names and counts, copied unread
    };

    void Step()
    {
        const char c = in_[at_];
        if (c == '{' || c == '}') {
            skipping_ = keptFallback_ = 0; // a fallback ends with its group
            if (c == '{')
                groups_.push_back(groups_.empty() ? Group() : groups_.back());
            else
                groups_.pop_back();
            Copy(1);
        } else if (c == '\\') {
            Control();
        } else if (c == '\r' || c == '\n') {
            Copy(1);
        } else {
            Character(c, 1);
        }
    }

    void Control()
    {
        if (at_ + 1 >= in_.size())
            return Fail();
        const char symbol = in_[at_ + 1];
        if (symbol == '\'')
            return Hex();
        if (!IsLetter(symbol))
            return Skipped() ? Drop(2) : Copy(2);
        const Word word = ReadWord();
        if (word.name == "bin")
            return Binary(word);
        if (Skipped())
            return Drop(word.length, true);
        Apply(word);
        if (word.name == "u" && !groups_.back().raw)
            return Unicode(word);
        Copy(word.length, true);
    }

    // \'hh: a byte in the font's code page.
    void Hex()
    {
        unsigned value = 0;
        const char* digits = in_.data() + at_ + 2;
        if (at_ + 4 > in_.size() || std::from_chars(digits, digits + 2, value, 16).ptr != digits + 2)
            return Fail();
        Character(static_cast<char>(value), 4);
    }

    // A character, written as `length` bytes: a letter folds, by its byte's
    // meaning in the font's code page.
    void Character(char byte, std::size_t length)
    {
        if (Skipped())
            return Drop(length);
        if (static_cast<unsigned char>(byte) < 0x80 || groups_.back().raw)
            return Copy(length);
        const std::optional<char16_t> letter = LetterOf(byte);
        if (ok_ && !(letter && Replace(*letter, length, 0)))
            Copy(length);
    }

    // \uN: the letter, or any other character with its fallback as it was.
    void Unicode(const Word& word)
    {
        const long long code = word.parameter.value_or(1 << 20);
        if (code < -32768 || code > 65535)
            return Fail();
        const auto unit = static_cast<char16_t>(code < 0 ? code + 65536 : code);
        if (Replace(unit, word.length, groups_.back().unicodeSkip))
            return;
        Copy(word.length, true);
        keptFallback_ = groups_.back().unicodeSkip;
    }

    // \binN: N bytes that are not RTF.
    void Binary(const Word& word)
    {
        const long long count = word.parameter.value_or(0);
        if (count < 0 || static_cast<unsigned long long>(count) > in_.size() - at_ - word.length || Skipped())
            return Fail();
        Copy(word.length + static_cast<std::size_t>(count));
    }

    // Writes the fold of `letter` for the `length` bytes that give it, and
    // drops the `fallback` characters after it; false where it does not fold.
    bool Replace(char16_t letter, std::size_t length, long long fallback)
    {
        const std::u16string folded = fold_(std::u16string(1, letter));
        if (folded == std::u16string(1, letter))
            return false;
        if (folded.size() != 1 || folded[0] > 0x7F || !IsLetter(static_cast<char>(folded[0]))) {
            Fail();
            return true;
        }
        if (wordOpen_)
            out_ += ' ';
        out_ += static_cast<char>(folded[0]);
        wordOpen_ = false;
        at_ += length;
        skipping_ = fallback;
        return true;
    }

    // The state a control word sets.
    void Apply(const Word& word)
    {
        Group& group = groups_.back();
        const long long value = word.parameter.value_or(0);
        if (word.name == "fonttbl" || word.name == "leveltext" || word.name == "levelnumbers")
            group.raw = true;
        else if (word.name == "uc")
            group.unicodeSkip = value;
        else if (word.name == "f" && group.raw)
            tableFont_ = value;
        else if (word.name == "f")
            group.font = value;
        else if (word.name == "plain")
            group.font = -1;
        else if (word.name == "fcharset" && group.raw && tableFont_ >= 0)
            fontPages_.try_emplace(tableFont_, PageOfCharset(value)); // a \cpg given first wins
        else if (word.name == "cpg" && group.raw && tableFont_ >= 0)
            fontPages_[tableFont_] = std::max(value, kUnknown); // never one of the named pages
        else if (word.name == "deff")
            defaultFont_ = value;
        else if (word.name == "ansicpg")
            ansiCodePage_ = std::max(value, kUnknown);
    }

    // The letter that folds which a byte of the text stands for; nothing for
    // any other byte. A byte in a code page not known fails the fold.
    std::optional<char16_t> LetterOf(char byte)
    {
        const long long page = CodePage();
        if (page == kSymbol)
            return std::nullopt;
        const auto find = [byte](const auto& letters) -> std::optional<char16_t> {
            for (const auto& [known, letter] : letters) {
                if (known == byte)
                    return letter;
            }
            return std::nullopt;
        };
        if (page == 1250)
            return find(kWindows1250);
        if (page == 1252)
            return find(kWindows1252);
        Fail();
        return std::nullopt;
    }

    // The font's code page, else the document's \ansicpg.
    long long CodePage() const
    {
        const long long font = groups_.back().font >= 0 ? groups_.back().font : defaultFont_;
        const auto page = fontPages_.find(font);
        return page == fontPages_.end() || page->second == kDocument ? ansiCodePage_ : page->second;
    }

    // A \fcharset's code page: 238 Central European, 0 Western, 2 symbol,
    // 1 the default one.
    static long long PageOfCharset(long long charset)
    {
        return charset == 238 ? 1250 : charset == 0 ? 1252 : charset == 2 ? kSymbol : charset == 1 ? kDocument : kUnknown;
    }

    Word ReadWord()
    {
        std::size_t end = at_ + 1;
        while (end < in_.size() && IsLetter(in_[end]))
            ++end;
        Word word{in_.substr(at_ + 1, end - at_ - 1), std::nullopt, 0};
        const std::size_t digits = end + (end < in_.size() && in_[end] == '-');
        long long value = 0;
        const auto parsed = std::from_chars(in_.data() + end, in_.data() + in_.size(), value);
        if (parsed.ec == std::errc::result_out_of_range)
            Fail();
        if (parsed.ec == std::errc() && digits < in_.size() && IsDigit(in_[digits])) {
            word.parameter = value;
            end = static_cast<std::size_t>(parsed.ptr - in_.data());
        }
        word.length = end - at_ + (end < in_.size() && in_[end] == ' ');
        return word;
    }

    // Whether the next character is a fallback: removed after a letter that
    // folded, kept unread after any other \uN.
    bool Skipped() const { return skipping_ > 0 || keptFallback_ > 0; }
    void Drop(std::size_t length, bool word = false)
    {
        if (keptFallback_ > 0) {
            --keptFallback_;
            return Copy(length, word);
        }
        --skipping_;
        at_ += length;
    }

    // Copies the next `length` bytes; a control `word` without its space
    // leaves the next one a letter must not run into.
    void Copy(std::size_t length, bool word = false)
    {
        out_.append(in_.substr(at_, length));
        at_ += length;
        wordOpen_ = word && in_[at_ - 1] != ' ';
    }
    void Fail() { ok_ = false; }

    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    std::string_view in_;
    const Fold& fold_;
    std::string out_;
    std::size_t at_ = 0;
    bool ok_ = true;
    bool wordOpen_ = false; // the last control word has no space after it
    long long skipping_ = 0, keptFallback_ = 0;
    std::vector<Group> groups_;
    std::map<long long, long long> fontPages_;
    long long tableFont_ = -1, defaultFont_ = -1, ansiCodePage_ = kUnknown;
};

} // namespace

std::optional<std::string> FoldRtf(std::string_view bytes, const Fold& fold)
{
    return RtfFolder(bytes, fold).Run();
}

} // namespace formats
