#pragma once

#include <cstdint>
#include <string_view>

// Hands a document or web address to the system's default handler for it.
// The strings are 8-bit, an empty one standing for no value. Platforms whose
// shell takes no owner window or show code ignore those. The returned status
// tells nothing the program acts on.
int ShellOpen(std::uintptr_t owner, std::string_view verb, std::string_view file,
              std::string_view parameters, std::string_view directory, int showCode);
