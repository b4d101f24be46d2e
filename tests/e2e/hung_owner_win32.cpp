// Another Windows program: it puts text on the clipboard to be rendered on
// request, then hangs without answering for 15 s, and ends. (Under Wine a
// paste waits 5 s of its own before it asks for the text.)

#include <windows.h>

#include <cstdio>

int main()
{
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (!OpenClipboard(window) || !EmptyClipboard())
        return 1;
    SetClipboardData(CF_UNICODETEXT, nullptr);
    CloseClipboard();
    std::puts("holding");
    std::fflush(stdout);
    Sleep(15000);
}
