#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace win32_text {

std::string Utf8(std::wstring_view wide);
std::wstring Wide(std::string_view utf8);

// The system's description of a Win32 error code in UTF-8, without its
// closing line break; none when the system has no text for it.
std::optional<std::string> SystemMessage(DWORD code);

} // namespace win32_text
