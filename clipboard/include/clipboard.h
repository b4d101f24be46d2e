#pragma once

// The system clipboard: its plain text, and kresovar-clipboard's fold in place.

#include <cstddef>
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
// What folding the clipboard in place came to: folded and kept; nothing to
// fold; and the clipboard left as it was because it holds no text that can be
// read exactly, because a newer copy was made while it was read, because it
// holds files, because its formats exceed kClipboardMostBytes together, or
// because its owner gave them not all within 5 s.
enum class ClipboardFold { Folded, Unchanged, NoText, NewerCopy, Files, TooLarge, NoAnswer };
constexpr std::size_t kClipboardMostBytes = std::size_t{256} << 20;
struct ClipboardFoldOutcome {
    ClipboardFold result;
    // The TERM, INT or HUP signal that ended the keeping, or 0.
    int signal = 0;
};
// Folds the clipboard in place with `fold`: its text in every text format it
// is offered in, and its formatted text (HTML) where it can be read exactly;
// images are kept as they are, and every other format is dropped. The result
// is kept once the program ends: Windows keeps it anyway; on X11 the program
// serves it until another program takes the clipboard, or a clipboard manager
// has saved its text; a signal ends that wait, after the manager that runs
// then has been asked to save the text.
ClipboardFoldOutcome ClipboardFoldInPlace(const std::function<std::u16string(std::u16string_view)>& fold);
