#include "say.h"

#include "console_win32.h"

bool Say(std::FILE* stream, std::string_view text)
{
    return win32_text::WriteStandardText(stream, text);
}
