#include "text_formats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <vector>
#include <cctype>
#include <cstdint>
#include <utility>

namespace formats {

namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// HTML's names for the letters with diacritics that a Polish text holds.
constexpr std::array<std::pair<std::u16string_view, char16_t>, 18> kNamedLetters = {{
    {u"aogon", u'ą'}, {u"Aogon", u'Ą'}, {u"cacute", u'ć'}, {u"Cacute", u'Ć'}, {u"eogon", u'ę'},
    {u"Eogon", u'Ę'}, {u"lstrok", u'ł'}, {u"Lstrok", u'Ł'}, {u"nacute", u'ń'}, {u"Nacute", u'Ń'},
    {u"oacute", u'ó'}, {u"Oacute", u'Ó'}, {u"sacute", u'ś'}, {u"Sacute", u'Ś'}, {u"zacute", u'ź'},
    {u"Zacute", u'Ź'}, {u"zdot", u'ż'}, {u"Zdot", u'Ż'},
}};

std::string Lower(std::string_view text)
{
    std::string lower;
    for (const char c : text) {
        if (c != ' ' && c != '"')
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::optional<std::u16string> FromUtf16(std::string_view bytes, bool bigEndian)
{
    if (bytes.size() % 2)
        return std::nullopt;
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto first = static_cast<unsigned char>(bytes[2 * at]);
        const auto second = static_cast<unsigned char>(bytes[2 * at + 1]);
        text[at] = static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return text;
}

std::string ToUtf16(std::u16string_view text, bool bigEndian)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::optional<std::u16string> Decode(std::string_view bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return FromUtf8(bytes);
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return FromUtf16(bytes, encoding == Encoding::Utf16Be);
    case Encoding::Latin1: {
        std::u16string text;
        for (const char byte : bytes)
            text += static_cast<char16_t>(static_cast<unsigned char>(byte));
        return text;
    }
    }
    return std::nullopt;
}

std::optional<std::string> Encode(std::u16string_view text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return ToUtf8(text);
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        return ToUtf16(text, encoding == Encoding::Utf16Be);
    case Encoding::Latin1:
        return ToLatin1(text);
    }
    return std::nullopt;
}

// The character a reference at the start of `text` (after its '&') stands
// for, and its length up to and with the ';'.
std::optional<std::pair<char32_t, std::size_t>> Reference(std::u16string_view text)
{
    const std::size_t end = text.find(u';');
    if (end == std::u16string_view::npos || end > 12)
        return std::nullopt;
    const std::u16string_view name = text.substr(0, end);
    if (name.size() > 1 && name[0] == u'#') {
        const bool hex = name[1] == u'x' || name[1] == u'X';
        char32_t value = 0;
        const std::u16string_view digits = name.substr(hex ? 2 : 1);
        for (const char16_t digit : digits) {
            const int d = digit >= u'0' && digit <= u'9' ? digit - u'0'
                          : hex && (digit | 0x20) >= u'a' && (digit | 0x20) <= u'f' ? (digit | 0x20) - u'a' + 10
                                                                                   : -1;
            if (d < 0)
                return std::nullopt;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
        }
        if (digits.empty() || value > 0xFFFF)
            return std::nullopt;
        return std::pair{value, end + 1};
    }
    for (const auto& [known, letter] : kNamedLetters) {
        if (name == known)
            return std::pair{char32_t{letter}, end + 1};
    }
    return std::nullopt;
}

// Each reference to a character that folds gives way to its fold.
std::u16string FoldReferences(std::u16string_view html, const Fold& fold)
{
    std::u16string out;
    out.reserve(html.size());
    for (std::size_t at = 0; at < html.size();) {
        const std::size_t amp = html.find(u'&', at);
        out.append(html.substr(at, amp - at));
        if (amp == std::u16string_view::npos)
            break;
        at = amp + 1;
        const auto reference = Reference(html.substr(at));
        const std::u16string letter(1, reference ? static_cast<char16_t>(reference->first) : u'&');
        const std::u16string folded = reference ? fold(letter) : letter;
        if (!reference || folded == letter) {
            out += u'&';
            continue;
        }
        out += folded;
        at += reference->second;
    }
    return out;
}

} // namespace

std::optional<Encoding> CharsetOf(std::string_view mimeType)
{
    const std::string type = Lower(mimeType);
    const std::size_t at = type.find(";charset=");
    if (at == std::string::npos)
        return std::nullopt;
    const std::string charset = type.substr(at + 9, type.find(';', at + 9) - at - 9);
    if (charset == "utf-8" || charset == "utf8")
        return Encoding::Utf8;
    if (charset == "utf-16" || charset == "utf-16le" || charset == "ucs-2")
        return Encoding::Utf16Le;
    if (charset == "utf-16be")
        return Encoding::Utf16Be;
    if (charset == "iso-8859-1" || charset == "latin1" || charset == "us-ascii")
        return Encoding::Latin1;
    return std::nullopt;
}

std::optional<std::string> FoldEncoded(std::string_view bytes, Encoding encoding, const Fold& fold)
{
    // A UTF-16 text says its byte order by its mark, which stays.
    std::string_view mark;
    if (encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be) {
        if (bytes.starts_with(kUtf16BeMark) || bytes.starts_with(kUtf16LeMark)) {
            encoding = bytes.starts_with(kUtf16BeMark) ? Encoding::Utf16Be : Encoding::Utf16Le;
            mark = bytes.substr(0, 2);
        }
    }
    const std::optional<std::u16string> text = Decode(bytes.substr(mark.size()), encoding);
    if (!text)
        return std::nullopt;
    const std::optional<std::string> folded = Encode(fold(*text), encoding);
    return folded ? std::optional(std::string(mark) + *folded) : std::nullopt;
}

std::optional<std::string> FoldHtml(std::string_view bytes, const Fold& fold)
{
    // UTF-8 HTML holds no NUL but those that end it; UTF-16 without a mark
    // does, in the byte of each ASCII character that its order puts first
    // (BE) or second (LE).
    const std::size_t nul = bytes.substr(0, bytes.find_last_not_of('\0') + 1).find('\0');
    const Encoding encoding = bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark) ? Encoding::Utf16Le
                              : nul == std::string_view::npos                                     ? Encoding::Utf8
                              : nul % 2                                                           ? Encoding::Utf16Le
                                                                                                  : Encoding::Utf16Be;
    return FoldEncoded(bytes, encoding,
                       [&fold](std::u16string_view html) { return fold(FoldReferences(html, fold)); });
}

std::optional<std::string> FoldHtmlFormat(std::string_view bytes, const Fold& fold)
{
    // The header's offsets: where each number stands in it, and its width.
    struct Offset {
        std::size_t at, width;
        long long value;
    };
    std::vector<Offset> offsets;
    std::size_t line = 0;
    while (line < bytes.size()) {
        const std::size_t colon = bytes.find(':', line);
        const std::size_t end = bytes.find_first_of("\r\n", line);
        if (colon == std::string_view::npos || end == std::string_view::npos || colon > end
            || bytes.substr(line, colon - line).find('<') != std::string_view::npos)
            break;
        const std::string_view key = bytes.substr(line, colon - line);
        if (key.starts_with("Start") || key.starts_with("End")) {
            long long value = 0;
            const std::string_view digits = bytes.substr(colon + 1, end - colon - 1);
            const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value);
            if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size()
                || value > static_cast<long long>(bytes.size()))
                return std::nullopt;
            offsets.push_back({colon + 1, digits.size(), value});
        }
        line = std::min(bytes.size(), bytes.find_first_not_of("\r\n", end));
    }
    if (offsets.empty())
        return std::nullopt;
    // The header is kept; each piece after it between two offsets is folded
    // alone, so that every offset still falls between the same characters.
    std::vector<std::size_t> cuts = {0, line, bytes.size()};
    for (const Offset& offset : offsets) {
        if (offset.value >= 0)
            cuts.push_back(static_cast<std::size_t>(offset.value));
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::string out;
    std::map<std::size_t, std::size_t> moved = {{0, 0}};
    for (std::size_t cut = 1; cut < cuts.size(); ++cut) {
        const std::string_view piece = bytes.substr(cuts[cut - 1], cuts[cut] - cuts[cut - 1]);
        const std::optional<std::string> folded = cuts[cut] <= line ? std::optional(std::string(piece)) : FoldHtml(piece, fold);
        if (!folded)
            return std::nullopt;
        out += *folded;
        moved[cuts[cut]] = out.size();
    }
    for (const Offset& offset : offsets) {
        if (offset.value < 0)
            continue;
        std::string value = std::to_string(moved[static_cast<std::size_t>(offset.value)]);
        value.insert(0, offset.width > value.size() ? offset.width - value.size() : 0, '0');
        out.replace(offset.at, offset.width, value);
    }
    return out;
}

std::optional<std::u16string> FromUtf8(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5                                     ? 4
                                                                                                     : 0;
        if (length == 0 || at + length > bytes.size())
            return std::nullopt;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t more = 1; more < length; ++more) {
            const auto next = static_cast<unsigned char>(bytes[at + more]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = code << 6 | (next & 0x3F);
        }
        constexpr std::array<char32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return std::nullopt;
        if (code >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(code);
        }
        at += length;
    }
    return text;
}

std::string ToUtf8(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        char32_t code = text[at];
        if (code >= 0xD800 && code < 0xDC00 && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++at] - 0xDC00);
        if (code < 0x80) {
            bytes += static_cast<char>(code);
            continue;
        }
        const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        bytes += static_cast<char>((0xF00 >> length) | (code >> (6 * (length - 1))));
        for (int more = length - 2; more >= 0; --more)
            bytes += static_cast<char>(0x80 | ((code >> (6 * more)) & 0x3F));
    }
    return bytes;
}

std::optional<std::string> ToLatin1(std::u16string_view text)
{
    if (std::any_of(text.begin(), text.end(), [](char16_t unit) { return unit > 0xFF; }))
        return std::nullopt;
    std::string bytes;
    for (const char16_t unit : text)
        bytes += static_cast<char>(unit);
    return bytes;
}

} // namespace formats
