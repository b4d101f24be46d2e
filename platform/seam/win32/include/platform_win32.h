#pragma once

// What the Win32 backend shares with the window's own Win32 files.

namespace platform {

// Raises the failure for GetLastError().
[[noreturn]] void RaiseLastError();

} // namespace platform
