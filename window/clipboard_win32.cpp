#include "clipboard.h"

#include "platform.h"
#include "win32/win32_error.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

using platform::RaiseLastError;

namespace {

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

// Another program often holds the clipboard open for a few milliseconds;
// failing at once would end the program and lose the user's text.
class OpenClipboardScope {
public:
    OpenClipboardScope()
    {
        const HWND owner = ClipboardWindow();
        for (int attempt = 0; !OpenClipboard(owner); ++attempt) {
            if (attempt == 50)
                RaiseLastError();
            Sleep(10);
        }
    }
    ~OpenClipboardScope() { CloseClipboard(); }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

} // namespace

std::u16string ClipboardRead()
{
    OpenClipboardScope open;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT))
        return {};
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data)
        RaiseLastError();
    const auto* units = static_cast<const char16_t*>(GlobalLock(data));
    if (!units)
        RaiseLastError();
    // The text ends at its NUL, or at the end of the memory if another program left none.
    const std::size_t room = GlobalSize(data) / sizeof(char16_t);
    const std::size_t length = std::find(units, units + room, u'\0') - units;
    std::u16string text(units, length);
    GlobalUnlock(data);
    return text;
}

void ClipboardWipe()
{
    OpenClipboardScope open;
    if (!EmptyClipboard())
        RaiseLastError();
}

void ClipboardWrite(std::u16string_view text)
{
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
    if (!memory)
        RaiseLastError();
    auto* units = static_cast<char16_t*>(GlobalLock(memory));
    std::memcpy(units, text.data(), text.size() * sizeof(char16_t));
    units[text.size()] = u'\0';
    GlobalUnlock(memory);

    OpenClipboardScope open;
    if (GetClipboardOwner() != ClipboardWindow() && !EmptyClipboard()) {
        GlobalFree(memory);
        RaiseLastError();
    }
    if (!SetClipboardData(CF_UNICODETEXT, memory)) {
        GlobalFree(memory);
        RaiseLastError();
    }
}
