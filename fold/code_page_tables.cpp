#include "code_page_tables.h"

using namespace code_page_tables;

bool IsCodePage(ByteEncoding encoding)
{
    return encoding >= ByteEncoding::Windows1250;
}

char16_t CodePageCharacter(ByteEncoding codePage, unsigned char byte)
{
    return byte < 0x80 ? byte : kHighCharacters[IndexOf(codePage)][byte - 0x80];
}
