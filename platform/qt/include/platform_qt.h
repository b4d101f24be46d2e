#pragma once

// What the Qt backend shares with the window's own Qt files.

#include <QString>

#include <string_view>

class QMimeData;

namespace platform {

// Copies every code unit as it is (QString::fromUtf16 would drop a leading
// byte order mark).
QString ToQString(std::u16string_view text);
// The other way: the string's code units, valid while it lives unchanged.
inline std::u16string_view Units(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size())};
}

// The plain text that a paste takes from `source`, the clipboard's, the X11
// primary selection's or a drop's: the same for the paste button and for the
// text area's own paste. It is the first of UTF8_STRING,
// text/plain;charset=utf-8 (in any case), COMPOUND_TEXT, STRING, TEXT and
// text/plain that the source lists and gives a text in; empty when none
// does. With `exact`, UTF-8 with bytes that are not UTF-8, which would be
// read as U+FFFD, gives the empty text too.
QString PasteText(const QMimeData* source, bool exact = false);
// Whether `source` lists one of those targets.
bool OffersText(const QMimeData* source);

} // namespace platform
