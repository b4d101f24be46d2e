#pragma once

// Raising the platform's failure from a Win32 error.

#include "platform.h"

#include <windows.h>

#include <string>

namespace platform {

// The system's description of a Win32 error code, in UTF-8.
std::string DescribeError(DWORD code);

// Raises the failure for GetLastError().
[[noreturn]] void RaiseLastError();

std::wstring ToWide(std::u16string_view text);
std::wstring ToWide(std::string_view utf8);

} // namespace platform
