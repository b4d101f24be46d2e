#pragma once

// The Win32 backend's own error text and wide strings; the failure it
// raises from a Win32 error is declared in platform_win32.h.

#include "platform_error.h"
#include "platform_win32.h"

#include <windows.h>

#include <string>

namespace platform {

// The system's description of a Win32 error code, in UTF-8.
std::string DescribeError(DWORD code);

std::wstring ToWide(std::u16string_view text);
std::wstring ToWide(std::string_view utf8);

} // namespace platform
