#pragma once

// kresovar-clipboard's words on standard output or standard error: on
// Windows, where it has no console of its own, in its parent's console.

#include <cstdio>
#include <string_view>

// Writes the UTF-8 text whole; false if it could not be written.
bool Say(std::FILE* stream, std::string_view text);
