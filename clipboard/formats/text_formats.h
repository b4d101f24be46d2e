#pragma once

// The clipboard's text formats other than its plain text, read and written
// exactly, with no toolkit: a text in a charset, HTML with its character
// references, and RTF. A format that cannot be read exactly is not folded,
// and the clipboard then drops it rather than keep its letters unfolded.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace formats {

using Fold = std::function<std::u16string(std::u16string_view)>;

enum class Encoding { Utf8, Utf16Le, Utf16Be, Latin1 };

// The encoding that a MIME type's charset parameter names; nothing for none
// or for one this program cannot read exactly.
std::optional<Encoding> CharsetOf(std::string_view mimeType);

// The bytes folded in their encoding, a byte order mark kept; nothing if
// they are not text in it.
std::optional<std::string> FoldEncoded(std::string_view bytes, Encoding encoding, const Fold& fold);
// HTML as UTF-8, or UTF-16 by its byte order mark or, without one, by where
// its NULs fall; folded together with its
// references to the letters that fold (&#261; &#x105; &aogon;).
std::optional<std::string> FoldHtml(std::string_view bytes, const Fold& fold);
// Windows' "HTML Format": its UTF-8 HTML folded as FoldHtml does, and the
// byte offsets its header gives (StartHTML, EndFragment, ...) made anew for
// the shorter text, each as wide as it was.
std::optional<std::string> FoldHtmlFormat(std::string_view bytes, const Fold& fold);

// RTF with its letters folded where they are \uN, or bytes (\'hh) in the
// font's charset (238 Central European, 0 Western), else in \ansicpg1250
// or 1252; every other byte as it was. Nothing where a byte's code page is
// not known, or the RTF is not well formed.
std::optional<std::string> FoldRtf(std::string_view bytes, const Fold& fold);

// The conversions the formats share; nothing where the input is not exact.
std::optional<std::u16string> FromUtf8(std::string_view bytes);
std::string ToUtf8(std::u16string_view text);
// Latin-1 where every character fits it.
std::optional<std::string> ToLatin1(std::u16string_view text);

} // namespace formats
