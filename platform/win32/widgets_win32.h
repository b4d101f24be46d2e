#pragma once

// The Win32 windows behind the handles of platform.h. Only the Win32
// implementation and its tests include this header.

#include "dispatch.h"
#include "platform.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

struct TextArea {
    HWND hwnd = nullptr;
    WNDPROC original = nullptr;
    // The changes of the text so far, one for each EN_CHANGE. A state that
    // holds only until the next change records the count it began at: the
    // last change was an undo, which Ctrl+Y may take back; or a write that
    // emptied the text, whose undo step the next write joins.
    std::uint64_t changes = 0;
    std::uint64_t undoneAt = UINT64_MAX;
    std::uint64_t emptiedAt = UINT64_MAX;
    // A message is being handled: those the control sends itself on the
    // way (Ctrl+X sends WM_CUT) are part of that one's edit.
    bool busy = false;
};

struct Button {
    HWND hwnd = nullptr;
    ClickHandler onClick;
};

struct Window {
    HWND hwnd = nullptr;
    HFONT font = nullptr;
    HICON icon = nullptr;
    int clientWidthTwips = 0;
    int clientHeightTwips = 0;
    // Every control with its place, in tab order, for laying out at any DPI.
    std::vector<std::pair<HWND, TwipsRect>> places;
    std::vector<std::unique_ptr<TextArea>> textAreas;
    std::vector<std::unique_ptr<Button>> buttons;
    // The control that had the focus when the window was last deactivated.
    HWND lastFocus = nullptr;
    DispatchState state;
    int exitStatus = 0;
};

// After an edit of the text between `from` and `to`: a lone CR that the
// edit has put right before a line break becomes CR LF.
void MendLineBreaks(TextArea& area, std::int32_t from, std::int32_t to);

// Hands every pending message to the dialog manager (Tab, Space on a button)
// or to its window. Returns false if the program is to end (WM_QUIT, which is
// put back for the event loop).
bool DeliverPendingMessages();

} // namespace platform
