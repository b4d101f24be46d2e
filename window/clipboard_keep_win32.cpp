#include "clipboard.h"

#include "platform_seam.h"

// Windows keeps the text of a program that has ended.
void ClipboardKeep()
{
    platform::CheckFault("ClipboardKeep");
}
