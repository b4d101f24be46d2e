#include "clipboard.h"

#include "clipboard_qt.h"
#include "platform_qt.h"
#include "platform_seam.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

// Always the clipboard proper, never the X11 primary selection.

namespace {

std::u16string Read(bool exact)
{
    platform::CheckFault("ClipboardRead");
    const QString text = platform::PasteText(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard), exact);
    return std::u16string(platform::Units(text));
}

} // namespace

std::u16string ClipboardRead()
{
    return Read(false);
}

std::u16string ClipboardReadExact()
{
    return Read(true);
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
