#include "console_win32.h"

#include "text_win32.h"

#include <algorithm>
#include <string>

namespace win32_text {

namespace {

// The handle of a standard stream; in a window program that was started from
// a console with the stream not redirected, that console's, once attached.
HANDLE StandardHandle(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE)
        return handle;
    static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (!attached)
        return nullptr;
    static const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr);
    return console == INVALID_HANDLE_VALUE ? nullptr : console;
}

} // namespace

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

bool WriteConsoleText(HANDLE handle, std::wstring_view text)
{
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteConsoleW(handle, text.data(), static_cast<DWORD>(std::min<std::size_t>(text.size(), 16384)), &written,
                           nullptr))
            return false;
        text.remove_prefix(written);
    }
    return true;
}

bool WriteStandardText(std::FILE* stream, std::string_view utf8)
{
    const HANDLE handle = StandardHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    std::fflush(stdout); // what the C library holds comes first
    if (handle && IsConsole(handle))
        return WriteConsoleText(handle, Wide(utf8));
    const std::string text(utf8);
    return std::fputs(text.c_str(), stream) >= 0 && std::fflush(stream) == 0;
}

} // namespace win32_text
