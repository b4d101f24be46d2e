#include "clipboard.h"

#include "platform_seam.h"

// Windows keeps the text of a program that has ended.
int ClipboardKeep()
{
    platform::CheckFault("ClipboardKeep");
    return 0;
}
