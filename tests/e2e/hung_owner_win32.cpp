// Another Windows program. Without arguments it puts text on the clipboard
// to be rendered on request, then hangs without answering for 15 s, and
// ends. (Under Wine a paste waits 5 s of its own before it asks for the
// text.) With `hold MILLISECONDS` it holds the clipboard open that long, as
// clipboard managers and remote-desktop sync do, and then closes it.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const bool hold = argc == 3 && std::strcmp(argv[1], "hold") == 0;
    if (!OpenClipboard(window) || (!hold && !EmptyClipboard()))
        return 1;
    if (!hold) {
        SetClipboardData(CF_UNICODETEXT, nullptr);
        CloseClipboard();
    }
    std::puts("holding");
    std::fflush(stdout);
    Sleep(hold ? static_cast<DWORD>(std::atoi(argv[2])) : 15000);
    if (hold)
        CloseClipboard();
}
