#pragma once

// The Qt backend's text conversions, shared with the clipboard's and the
// window's own Qt files.

#include <QString>

#include <string_view>

namespace platform {

// Copies every code unit as it is (QString::fromUtf16 would drop a leading
// byte order mark).
QString ToQString(std::u16string_view text);
// The other way: the string's code units, valid while it lives unchanged.
inline std::u16string_view Units(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size())};
}

} // namespace platform
