#pragma once

// The system clipboard, in its plain-text format only.

#include <string>
#include <string_view>

// The clipboard's plain text; empty when it holds no text.
std::u16string ClipboardRead();
// The same, but empty too when the text may not be the clipboard's own, unit
// for unit: on X11, UTF-8 with bytes that are not UTF-8, which would be read
// as U+FFFD.
std::u16string ClipboardReadExact();
// Empties the clipboard of every format.
void ClipboardWipe();
// Places the text on the clipboard as plain text, also when it is empty.
void ClipboardWrite(std::u16string_view text);
// Places the text on the clipboard as plain text, and keeps it there once the
// program ends: Windows keeps it anyway; on X11 a clipboard manager is handed
// it as the program ends, or else this waits, as its owner, until another
// program takes the clipboard. A TERM, INT or HUP signal from the moment the
// text is placed ends the wait instead of the program, and its number is
// returned; otherwise 0.
int ClipboardKeep(std::u16string_view text);
