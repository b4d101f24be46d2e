#pragma once

// The Win32 windows behind the handles of platform.h. Only the Win32
// implementation and its tests include this header.

#include "dispatch.h"
#include "platform.h"
#include "undo_record.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct TextArea {
    HWND hwnd = nullptr;
    WNDPROC original = nullptr;
    // The changes of the text so far, one for each EN_CHANGE; a write that
    // emptied the text records the count, and the next write joins its undo
    // step if nothing has changed the text since.
    std::uint64_t changes = 0;
    std::uint64_t emptiedAt = UINT64_MAX;
    // Every edit goes to the program's record, each run of typing one step;
    // the control's own undo keeps one edit and is not used.
    UndoRecord record;
    // Where the last typed character went, while its step is open.
    std::int32_t typedTo = -1;
    // Off while the program writes the text itself, recording it its own way.
    bool recording = true;
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

// The text around the selection before an edit: the units from `from` to
// `to`, of a text of `length` units; `whole` takes the whole text.
struct EditBefore {
    std::int32_t from;
    std::int32_t to;
    std::int32_t length;
    std::int32_t caret;
    std::u16string units;
};
EditBefore BeforeEdit(TextArea& area, bool whole);
// Records the edit that has changed the text since `before`.
void RecordEdit(TextArea& area, EditBefore before, bool typed);
// Ctrl+Z, Ctrl+Y and the context menu's Undo.
void UndoStep(TextArea& area, bool back);

// Hands every pending message to the dialog manager (Tab, Space on a button)
// or to its window. Returns false if the program is to end (WM_QUIT, which is
// put back for the event loop).
bool DeliverPendingMessages();

} // namespace platform
