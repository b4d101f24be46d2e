#pragma once

// What the clipboard's Qt code shares with the text area, whose own paste,
// middle click and drop read a source as the paste command does.

#include <QString>

class QMimeData;

namespace x11 {
class SelectionOwner;
}

namespace platform {

// The plain text that a paste takes from `source`, the clipboard's, the X11
// primary selection's or a drop's: the same for the paste button and for the
// text area's own paste. It is the first of UTF8_STRING,
// text/plain;charset=utf-8 (in any case), COMPOUND_TEXT, STRING, TEXT and
// text/plain that the source lists and gives a text in; empty when none
// does. With `exact`, UTF-8 with bytes that are not UTF-8, which would be
// read as U+FFFD, gives the empty text too.
QString PasteText(const QMimeData* source, bool exact = false);
// The text a paste takes from an X11 selection's owner, read exactly.
QString OwnerText(x11::SelectionOwner& owner);
// Whether `source` lists one of those targets.
bool OffersText(const QMimeData* source);

} // namespace platform
