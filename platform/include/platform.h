#pragma once

// The program's view of the windowing system: one main window with a text
// area and push buttons, the event loop, and the one failure type. Built on
// Qt on Linux and on the native API on Windows; no toolkit type appears here.

#include "platform_error.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Raised by EndProgram, and by PumpEvents once the window has been closed, to
// leave the running handler at once. Only the event dispatch catches it.
struct ProgramEnd {};

// Positions and sizes in twips (1/1440 inch).
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

struct Window;
struct TextArea;
struct Button;

struct WindowDeleter {
    void operator()(Window* window) const;
};
using WindowPtr = std::unique_ptr<Window, WindowDeleter>;
using ClickHandler = std::function<void()>;

// Building the window. Controls belong to the window; their tab order is the
// order in which they are created. `iconName` names an icon the program ships;
// `desktopId` is its desktop entry's id, by which docks and task switchers
// know the window; `description` and `accessibleName` are what screen readers
// announce (a button is announced by its caption).
WindowPtr CreateMainWindow(std::u16string_view title, std::u16string_view description,
                           int clientWidthTwips, int clientHeightTwips, std::string_view iconName,
                           std::string_view desktopId);
TextArea& CreateTextArea(Window& window, TwipsRect place, std::u16string_view accessibleName);
Button& CreateButton(Window& window, std::u16string_view caption, TwipsRect place,
                     ClickHandler onClick);

// Start, events and end.
// Runs the program: `entry` builds the main window and hands it to
// StartProgram. A failure while the window is being built is reported like
// one in a click handler, and the program then ends with status 1.
int RunProgram(const std::function<int()>& entry);
// Runs a program that shows no window of its own, only the error report:
// `entry` returns the exit status, and a failure is reported as one in a
// click handler is, after which the program ends with `failureStatus`. On
// Linux it reaches the desktop through X11, through XWayland on a Wayland
// session, where a program without a window has no clipboard of its own; a
// session without X11 is such a failure.
int RunWithoutWindow(const std::function<int()>& entry, int failureStatus);
// Shows the window with the focus on its first control and runs the event
// loop until the window is closed or the program ends; returns the exit status.
int StartProgram(Window& window);
// Processes the pending window events, then returns. The text area takes no
// input meanwhile: only a running command pumps events.
void PumpEvents();
// Called again and again while the program waits for another one (a
// clipboard's owner): processes the pending window events, so the window
// repaints, but takes no input. Returns false once the user has pressed
// Escape to cancel the wait; leaves the running handler, as PumpEvents does,
// once the window has been closed.
bool PumpWhileWaiting();
// The native handle of the window (an HWND on Windows, an X11 window id on X11).
std::uintptr_t WindowHandle(Window& window);
[[noreturn]] void EndProgram();

// The text area. Every offset and length counts the UTF-16 code units of the
// text as ReadText returns it: a line break counts as the units it is made
// of, two for CR LF and one for a lone CR, LF or U+2029. CaretPos, PlaceCaret
// and WriteText all follow this.
std::u16string ReadText(TextArea& area);
// Replaces the whole text; afterwards the caret is at 0 and nothing is
// selected. One undo step takes it back: a write that follows one with the
// empty text joins that one's step, so a command that empties the text area
// and then fills it is undone at once. A write that leaves an empty text
// area empty is no step.
void WriteText(TextArea& area, std::u16string_view text);
// The selection start (the caret when nothing is selected).
std::int32_t CaretPos(TextArea& area);
// Moves the selection start to `offset`: past the end it goes to the end, and
// between the CR and the LF of one line break to the end of that line.
void PlaceCaret(TextArea& area, std::int32_t offset);
void CollapseSelection(TextArea& area);
void TakeFocus(TextArea& area);

// A disabled button is greyed and ignores clicks and keyboard activation.
void EnableButton(Button& button, bool enabled);

} // namespace platform
