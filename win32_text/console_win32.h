#pragma once

// Text for a console, shared by kresovar-fold.exe and kresovar-clipboard.exe:
// a console is given characters (WriteConsoleW), as bytes of UTF-8 would show
// in its own code page (437, or 852); a file or a pipe is given the bytes.

#include <windows.h>

#include <cstdio>
#include <string_view>

namespace win32_text {

// Whether a handle is a console.
bool IsConsole(HANDLE handle);
// Writes the characters whole to a console; false with the system's error set.
bool WriteConsoleText(HANDLE handle, std::wstring_view text);
// Writes UTF-8 text to standard output or standard error (`stream`); false if
// it could not be written. A program with no console of its own (a window
// program) first attaches to its parent's, as a command-line program has it.
bool WriteStandardText(std::FILE* stream, std::string_view utf8);

} // namespace win32_text
