#include "clipboard.h"

#include "platform_qt.h"
#include "platform_seam.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

// Always the clipboard proper, never the X11 primary selection.

std::u16string ClipboardRead()
{
    platform::CheckFault("ClipboardRead");
    // QClipboard::text() would fall back to the HTML markup of a page.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText())
        return {};
    const QString text = data->text();
    return std::u16string(reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size()));
}

void ClipboardWipe()
{
    platform::CheckFault("ClipboardWipe");
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

void ClipboardWrite(std::u16string_view text)
{
    platform::CheckFault("ClipboardWrite");
    auto* data = new QMimeData;
    data->setText(platform::ToQString(text));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}
