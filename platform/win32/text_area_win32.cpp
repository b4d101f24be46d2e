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

// Replaced as the user's own edits are, so that the control's one level of
// undo takes it back: it keeps what the last replacement removed, and an
// insertion where the text was just removed extends that same step, so the
// fold's and the paste's pair of writes is undone at once.
void WriteText(TextArea& area, std::u16string_view text)
{
    CheckFault("WriteText");
    // The control takes a NUL-terminated text: a NUL character ends it there.
    const std::wstring terminated = ToWide(text);
    const std::size_t length = std::wcslen(terminated.c_str());
    const bool wasEmpty = Send(area, WM_GETTEXTLENGTH) == 0;
    // Emptying an empty text removes nothing, so the control would extend
    // the step of whatever removal emptied it before, and an undo would
    // bring back that older text: the write starts a step of its own.
    if (wasEmpty && length > 0 && area.emptiedAt != area.changes)
        Send(area, EM_EMPTYUNDOBUFFER);
    Send(area, EM_SETSEL, 0, -1);
    Send(area, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(terminated.c_str()));
    // The control says only to its parent when it finds no room for the text.
    if (static_cast<std::size_t>(Send(area, WM_GETTEXTLENGTH)) != length)
        throw PlatformError(ERROR_NOT_ENOUGH_MEMORY, DescribeError(ERROR_NOT_ENOUGH_MEMORY));
    if (!wasEmpty && length == 0)
        area.emptiedAt = area.changes;
    Select(area, 0);
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
