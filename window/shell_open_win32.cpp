#include "shell_open.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>

int ShellOpen(std::uintptr_t owner, std::string_view verb, std::string_view file, std::string_view parameters,
              std::string_view directory, int showCode)
{
    // Some URL handlers that the shell starts are COM objects; Microsoft asks
    // callers to initialise COM first. Its result changes nothing here.
    static const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    (void)com;
    const std::string strings[] = {std::string(verb), std::string(file), std::string(parameters),
                                   std::string(directory)};
    const auto valueOf = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
    const HINSTANCE status = ShellExecuteA(reinterpret_cast<HWND>(owner), valueOf(strings[0]), valueOf(strings[1]),
                                           valueOf(strings[2]), valueOf(strings[3]), showCode);
    return static_cast<int>(reinterpret_cast<INT_PTR>(status));
}
