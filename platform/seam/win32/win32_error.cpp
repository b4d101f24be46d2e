#include "win32_error.h"

#include "text_win32.h"

namespace platform {

std::wstring ToWide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

std::wstring ToWide(std::string_view utf8)
{
    return win32_text::Wide(utf8);
}

std::string DescribeError(DWORD code)
{
    return win32_text::SystemMessage(code).value_or("Nieznany błąd.");
}

void RaiseLastError()
{
    const DWORD code = GetLastError();
    throw PlatformError(static_cast<std::int32_t>(code), DescribeError(code));
}

} // namespace platform
