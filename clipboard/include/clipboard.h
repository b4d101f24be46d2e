#pragma once

// The system clipboard, in its plain-text format only.

#include <functional>
#include <string>
#include <string_view>

// Every operation either succeeds or raises platform::Refusal, which says why
// in Polish and leaves the text area's text as it was; none ends the program.

// Called again and again while an operation waits for another program (one
// that holds the clipboard open, or owns the X11 selection and has not
// answered yet): it lets the window repaint, and returns false once the user
// has cancelled the wait, which is then refused without a word. It may also
// throw to leave the wait, as a closed window does. Without one, each wait
// runs to its deadline.
using ClipboardWaitHook = std::function<bool()>;
void SetClipboardWaitHook(ClipboardWaitHook hook);

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
