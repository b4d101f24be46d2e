#pragma once

// What the Qt backend shares with the window's own Qt files.

#include <QString>

#include <string_view>

namespace platform {

// Copies every code unit as it is (QString::fromUtf16 would drop a leading
// byte order mark).
QString ToQString(std::u16string_view text);

} // namespace platform
