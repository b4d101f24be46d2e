#include "shell_open.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

// The desktop's default URL handler knows only "open"; it starts the browser
// detached, so the window never waits for it.
int ShellOpen(std::uintptr_t, std::string_view, std::string_view file, std::string_view,
              std::string_view, int)
{
    const QUrl url(QString::fromLocal8Bit(file.data(), static_cast<qsizetype>(file.size())));
    return QDesktopServices::openUrl(url) ? 0 : 1;
}
