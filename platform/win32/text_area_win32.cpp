#include "widgets_win32.h"
#include "win32_error.h"

#include "platform_seam.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

// The EDIT control keeps the text as the program sees it, each line break as
// CR LF, so offsets need no mapping.

namespace platform {

namespace {

LRESULT Send(TextArea& area, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    return SendMessageW(area.hwnd, message, wParam, lParam);
}

std::pair<std::int32_t, std::int32_t> Selection(TextArea& area)
{
    DWORD start = 0;
    DWORD end = 0;
    Send(area, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return {static_cast<std::int32_t>(start), static_cast<std::int32_t>(end)};
}

void Select(TextArea& area, std::int32_t offset)
{
    Send(area, EM_SETSEL, static_cast<WPARAM>(offset), static_cast<LPARAM>(offset));
}

// The units between two offsets, read from the control's own buffer.
std::u16string UnitsBetween(TextArea& area, std::int32_t from, std::int32_t to)
{
    const auto buffer = reinterpret_cast<HLOCAL>(CallWindowProcW(area.original, area.hwnd, EM_GETHANDLE, 0, 0));
    std::u16string units;
    if (const auto* text = static_cast<const char16_t*>(LocalLock(buffer))) {
        units.assign(text + from, text + std::max(from, to));
        LocalUnlock(buffer);
    }
    return units;
}

} // namespace

std::u16string ReadText(TextArea& area)
{
    CheckFault("ReadText");
    SetLastError(ERROR_SUCCESS);
    const int length = GetWindowTextLengthW(area.hwnd);
    if (length == 0 && GetLastError() != ERROR_SUCCESS)
        RaiseLastError();
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    // The terminating NUL goes where std::u16string keeps its own.
    const int read = GetWindowTextW(area.hwnd, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    if (read == 0 && length > 0)
        RaiseLastError();
    text.resize(static_cast<std::size_t>(read));
    return text;
}

// Recorded as one step of the program's record, which the control's own
// undo does not reach: a write that follows an emptying one with no change
// between (the fold's and the paste's pairs) joins that one's step.
void WriteText(TextArea& area, std::u16string_view text)
{
    CheckFault("WriteText");
    // The control takes a NUL-terminated text: a NUL character ends it there.
    const std::wstring terminated = ToWide(text);
    const std::size_t length = std::wcslen(terminated.c_str());
    const auto wasLength = static_cast<std::int32_t>(Send(area, WM_GETTEXTLENGTH));
    area.typedTo = -1;
    if (wasLength > 0 || length > 0) {
        if (area.emptiedAt != area.changes)
            area.record.Close();
        area.record.Edit(0, UnitsBetween(area, 0, wasLength), text.substr(0, length), Selection(area).first);
    }
    // Replaced as an edit the control could undo, so that its context menu
    // offers Undo, which comes here through WM_UNDO.
    area.recording = false;
    Send(area, EM_SETSEL, 0, -1);
    Send(area, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(terminated.c_str()));
    area.recording = true;
    // The control says only to its parent when it finds no room for the text.
    if (static_cast<std::size_t>(Send(area, WM_GETTEXTLENGTH)) != length)
        throw PlatformError(ERROR_NOT_ENOUGH_MEMORY, DescribeError(ERROR_NOT_ENOUGH_MEMORY));
    area.emptiedAt = wasLength > 0 && length == 0 ? area.changes : UINT64_MAX;
    Select(area, 0);
    Send(area, EM_SCROLLCARET);
}

// The lines that hold the selection, with the line breaks around them: no
// edit by a key, a cut or a paste reaches further.
EditBefore BeforeEdit(TextArea& area, bool whole)
{
    const auto send = [&](UINT message, WPARAM wParam) {
        return static_cast<std::int32_t>(CallWindowProcW(area.original, area.hwnd, message, wParam, 0));
    };
    const auto [start, end] = Selection(area);
    const std::int32_t length = send(WM_GETTEXTLENGTH, 0);
    EditBefore before{0, length, length, std::min(start, end), {}};
    if (!whole) {
        const std::int32_t first = send(EM_LINEINDEX, static_cast<WPARAM>(send(EM_LINEFROMCHAR, static_cast<WPARAM>(std::min(start, end)))));
        const std::int32_t last = send(EM_LINEINDEX, static_cast<WPARAM>(send(EM_LINEFROMCHAR, static_cast<WPARAM>(std::max(start, end)))));
        before.from = std::max(first - 2, 0);
        before.to = std::min(last + send(EM_LINELENGTH, static_cast<WPARAM>(last)) + 2, length);
    }
    before.units = UnitsBetween(area, before.from, before.to);
    return before;
}

// Typing joins the step of the typing just before it, at the same place.
void RecordEdit(TextArea& area, EditBefore before, bool typed)
{
    const auto length = static_cast<std::int32_t>(CallWindowProcW(area.original, area.hwnd, WM_GETTEXTLENGTH, 0, 0));
    const std::int32_t caret = Selection(area).first;
    if (!typed || before.caret != area.typedTo)
        area.record.Close();
    const std::int32_t to = before.to + length - before.length;
    area.record.Edit(before.from, std::move(before.units), UnitsBetween(area, before.from, to), before.caret);
    area.typedTo = typed ? caret : -1;
    if (!typed)
        area.record.Close();
}

// Takes the whole text one step back or forward, the caret to where it stood.
void UndoStep(TextArea& area, bool back)
{
    area.record.Close();
    area.typedTo = -1;
    if (back ? !area.record.CanUndo() : !area.record.CanRedo())
        return;
    const auto length = static_cast<std::int32_t>(Send(area, WM_GETTEXTLENGTH));
    std::u16string text = UnitsBetween(area, 0, length);
    const std::int32_t caret = Selection(area).first;
    const std::int32_t to = back ? area.record.Undo(text, caret) : area.record.Redo(text, caret);
    const std::wstring wide = ToWide(text);
    area.recording = false;
    Send(area, EM_SETSEL, 0, -1);
    Send(area, EM_REPLACESEL, area.record.CanUndo(), reinterpret_cast<LPARAM>(wide.c_str()));
    area.recording = true;
    Select(area, to);
    Send(area, EM_SCROLLCARET);
}

// The control shows no line break at a lone CR: it draws one inside its
// line, and one before CR LF as part of that break. Other programs read a
// break at each, and a lone CR followed by LF as a single CR LF. So a lone CR
// that an edit puts before LF or CR LF gets an LF of its own: the text keeps
// every line it had, and the control shows them all.
void MendLineBreaks(TextArea& area, std::int32_t from, std::int32_t to)
{
    const auto send = [&](UINT message, WPARAM wParam, LPARAM lParam) {
        return CallWindowProcW(area.original, area.hwnd, message, wParam, lParam);
    };
    // The control's own buffer: each edit reads a few of its units, however long the text.
    const auto buffer = reinterpret_cast<HLOCAL>(send(EM_GETHANDLE, 0, 0));
    const auto length = static_cast<std::int32_t>(send(WM_GETTEXTLENGTH, 0, 0));
    std::vector<std::int32_t> mended;
    if (const auto* units = static_cast<const wchar_t*>(LocalLock(buffer))) {
        const auto at = [&](std::int32_t i) { return i >= 0 && i < length ? units[i] : L'\0'; };
        for (std::int32_t joint : {to, from}) {
            const bool meets = at(joint) == L'\n' || (at(joint) == L'\r' && at(joint + 1) == L'\n');
            if (at(joint - 1) == L'\r' && meets && (mended.empty() || mended.back() != joint))
                mended.push_back(joint);
        }
        LocalUnlock(buffer);
    }
    for (std::int32_t joint : mended) {
        send(EM_SETSEL, static_cast<WPARAM>(joint), joint);
        send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\n"));
    }
    if (!mended.empty()) {
        const auto caret = static_cast<WPARAM>(to + static_cast<std::int32_t>(mended.size()));
        send(EM_SETSEL, caret, static_cast<LPARAM>(caret));
    }
}

std::int32_t CaretPos(TextArea& area)
{
    CheckFault("CaretPos");
    return Selection(area).first;
}

void PlaceCaret(TextArea& area, std::int32_t offset)
{
    CheckFault("PlaceCaret");
    // The line lookup is defined only for offsets inside the text. Past the
    // end of a line, including between its CR and LF, means its end.
    const auto length = static_cast<std::int32_t>(Send(area, WM_GETTEXTLENGTH));
    offset = std::clamp<std::int32_t>(offset, 0, length);
    const auto line = Send(area, EM_LINEFROMCHAR, static_cast<WPARAM>(offset));
    const auto lineStart = static_cast<std::int32_t>(Send(area, EM_LINEINDEX, static_cast<WPARAM>(line)));
    const auto lineLength = static_cast<std::int32_t>(Send(area, EM_LINELENGTH, static_cast<WPARAM>(lineStart)));
    Select(area, std::min(offset, lineStart + lineLength));
    Send(area, EM_SCROLLCARET);
}

void CollapseSelection(TextArea& area)
{
    CheckFault("CollapseSelection");
    // Placing the caret costs the control time in proportion to the length
    // of its line: a fifth of a second on a line of a million characters.
    if (const auto [start, end] = Selection(area); start != end)
        Select(area, start);
}

void TakeFocus(TextArea& area)
{
    CheckFault("TakeFocus");
    SetFocus(area.hwnd);
}

} // namespace platform
