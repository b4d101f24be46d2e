#include "platform_qt.h"

namespace platform {

QString ToQString(std::u16string_view text)
{
    return QStringView(text.data(), static_cast<qsizetype>(text.size())).toString();
}

} // namespace platform
