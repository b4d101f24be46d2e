#include "shell_open.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

int ShellOpen(std::uintptr_t owner, std::string_view verb, std::string_view file, std::string_view parameters,
              std::string_view directory, int showCode)
{
    const std::string strings[] = {std::string(verb), std::string(file), std::string(parameters),
                                   std::string(directory)};
    const auto valueOf = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
    const HINSTANCE status = ShellExecuteA(reinterpret_cast<HWND>(owner), valueOf(strings[0]), valueOf(strings[1]),
                                           valueOf(strings[2]), valueOf(strings[3]), showCode);
    return static_cast<int>(reinterpret_cast<INT_PTR>(status));
}
