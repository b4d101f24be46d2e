#pragma once

// What the tests do to the program's window, as its user or the window
// system would: the same calls on every backend, each implemented in its own
// file. Every wait here has a deadline; none can hang a test.

#include "platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace driver {

enum class Key { Enter, ShiftEnter, CtrlEnter, Tab, Escape, Space, Delete, Backspace, CtrlX, CtrlZ, CtrlY, CtrlV, AltBackspace };

// Shows the window, active, with the focus on its first control, as
// StartProgram does, without running the event loop.
void Show(platform::Window& window);
// Runs StartProgram with `action` run first from inside its event loop, and
// returns the exit status; a program that has not ended after 20 s fails the
// test and returns 99.
int RunProgram(platform::Window& window, std::function<void()> action);
// A mouse click, handled before this returns.
void Click(platform::Button& button);
// The click of a button that was queued before it could be disabled: the
// next pump delivers it, bypassing the button's enabled state.
void QueueClick(platform::Button& button);
// Keys and text to the focused control, handled before this returns.
void Press(Key key);
void Type(std::u16string_view text);
// Puts a text on the clipboard, as another program would.
void SetClipboardText(std::u16string_view text);
// The window manager's close request (the title bar's close button).
void RequestClose(platform::Window& window);
// Watches, from its creation to its end or for 20 s at most, for the
// program's modal error report: counts each one, keeps its text, and
// dismisses it as the user would.
class ReportWatch {
public:
    ReportWatch();
    ~ReportWatch();
    ReportWatch(const ReportWatch&) = delete;
    ReportWatch& operator=(const ReportWatch&) = delete;

    int shown = 0;
    std::u16string text;

private:
    std::uintptr_t timer_ = 0;
};

// Selects from `anchor` to `active`, in the program's offsets.
void Select(platform::TextArea& area, std::int32_t anchor, std::int32_t active);
bool HasSelection(platform::TextArea& area);
// The lines the text area shows (the Win32 driver's alone).
std::int32_t ShownLines(platform::TextArea& area);
bool HasFocus(platform::TextArea& area);
bool HasFocus(platform::Button& button);
bool IsEnabled(platform::Button& button);
// The name a screen reader announces for the text area.
std::u16string AccessibleName(platform::TextArea& area);

} // namespace driver
