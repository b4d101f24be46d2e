#include "clipboard.h"

#include "open_clipboard_win32.h"
#include "platform_seam.h"
#include "platform_win32.h"
#include "refusal.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

using platform::CheckFault;
using platform::RaiseLastError;

// The clipboard's owner: a hidden message-only window, so that emptying the
// clipboard makes this program its owner and writing to it then succeeds.
HWND ClipboardWindow()
{
    static const HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window)
        RaiseLastError();
    return window;
}

// Another program often holds the clipboard open for a moment (clipboard
// managers, remote-desktop sync); it is tried again for a while, the window
// repainting, before the operation is refused with `busy`.
OpenClipboardScope::OpenClipboardScope(const char* busy)
{
    const HWND owner = ClipboardWindow();
    const auto since = std::chrono::steady_clock::now();
    while (!OpenClipboard(owner)) {
        if (std::chrono::steady_clock::now() - since >= clipboard::kBusyTime)
            throw platform::Refusal(busy);
        clipboard::KeepWaiting(since);
        Sleep(10);
    }
}

OpenClipboardScope::~OpenClipboardScope()
{
    CloseClipboard();
}

namespace {

// A lock on global memory, undone on every path out, a failure's included.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL memory) : memory_(memory), units_(static_cast<char16_t*>(GlobalLock(memory)))
    {
        if (!units_)
            RaiseLastError();
    }
    ~GlobalLockScope() { GlobalUnlock(memory_); }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    char16_t* units() const { return units_; }

private:
    HGLOBAL memory_;
    char16_t* units_;
};

// A NUL-terminated copy of a text in global memory, freed unless the
// clipboard has taken it.
class GlobalText {
public:
    explicit GlobalText(std::u16string_view text)
        : memory_(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t)))
    {
        if (!memory_)
            RaiseLastError();
        const GlobalLockScope lock(memory_);
        std::memcpy(lock.units(), text.data(), text.size() * sizeof(char16_t));
        lock.units()[text.size()] = u'\0';
    }
    ~GlobalText()
    {
        if (memory_)
            GlobalFree(memory_);
    }
    GlobalText(const GlobalText&) = delete;
    GlobalText& operator=(const GlobalText&) = delete;
    HGLOBAL get() const { return memory_; }
    void GiveToClipboard() { memory_ = nullptr; }

private:
    HGLOBAL memory_;
};

} // namespace

std::u16string ClipboardRead()
{
    return clipboard::Refusing(false, [] {
        CheckFault("ClipboardRead");
        OpenClipboardScope open(clipboard::kPasteBusy);
        if (!IsClipboardFormatAvailable(CF_UNICODETEXT))
            return std::u16string();
        SetLastError(ERROR_SUCCESS);
        const HANDLE data = GetClipboardData(CF_UNICODETEXT);
        if (!data) {
            // Text offered to be rendered on request, by an owner that has gone
            // or does not answer, or that answers with none, is no text.
            const DWORD error = GetLastError();
            const HWND owner = GetClipboardOwner();
            if (error == ERROR_SUCCESS || !IsWindow(owner) || IsHungAppWindow(owner))
                return std::u16string();
            SetLastError(error);
            RaiseLastError();
        }
        // The text ends at its NUL, or at the end of the memory if another
        // program left none; one longer than a text area holds is refused.
        const std::size_t room = GlobalSize(data) / sizeof(char16_t);
        const GlobalLockScope lock(data);
        const char16_t* begin = lock.units();
        const char16_t* end = std::find(begin, begin + room, u'\0');
        if (static_cast<std::uint64_t>(end - begin) > clipboard::kMostUnits)
            throw platform::Refusal(clipboard::kTooLarge);
        return std::u16string(begin, end);
    });
}

// Windows' clipboard holds its text in UTF-16, as the program does.
std::u16string ClipboardReadExact()
{
    return ClipboardRead();
}

void ClipboardWipe()
{
    clipboard::Refusing(true, [] {
        CheckFault("ClipboardWipe");
        OpenClipboardScope open(clipboard::kCopyBusy);
        if (!EmptyClipboard())
            RaiseLastError();
    });
}

void ClipboardWrite(std::u16string_view text)
{
    clipboard::Refusing(true, [text] {
        CheckFault("ClipboardWrite");
        // Copied before the clipboard is opened, so that it is held only briefly.
        GlobalText memory(text);
        OpenClipboardScope open(clipboard::kCopyBusy);
        if (GetClipboardOwner() != ClipboardWindow() && !EmptyClipboard())
            RaiseLastError();
        if (!SetClipboardData(CF_UNICODETEXT, memory.get()))
            RaiseLastError();
        memory.GiveToClipboard();
    });
}
