#include "clipboard.h"

#include "platform_seam.h"

// Windows keeps the text of a program that has ended.
int ClipboardKeep(std::u16string_view text)
{
    platform::CheckFault("ClipboardKeep");
    ClipboardWrite(text);
    return 0;
}
