#pragma once

// The Win32 clipboard opened for this program: shared by the window's paste
// and copy and by kresovar-clipboard's fold in place.

#include <windows.h>

// The hidden window that owns what this program places on the clipboard.
HWND ClipboardWindow();

// The clipboard open for ClipboardWindow(), tried for clipboard::kBusyTime
// while another program holds it, and refused with `busy` after that.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(const char* busy);
    ~OpenClipboardScope();
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};
