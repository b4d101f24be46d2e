#include "clipboard.h"

#include "clipboard_qt.h"
#include "platform_qt.h"
#include "platform_seam.h"
#include "refusal.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <memory>

// Always the clipboard proper, never the X11 primary selection.

namespace {

std::u16string Read(bool exact)
{
    return clipboard::Refusing(false, [exact] {
        platform::CheckFault("ClipboardRead");
        const QString text =
            platform::PasteText(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard), exact);
        return std::u16string(platform::Units(text));
    });
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
    clipboard::Refusing(true, [] {
        platform::CheckFault("ClipboardWipe");
        QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    });
}

void ClipboardWrite(std::u16string_view text)
{
    clipboard::Refusing(true, [text] {
        platform::CheckFault("ClipboardWrite");
        auto data = std::make_unique<QMimeData>();
        data->setText(platform::ToQString(text));
        QGuiApplication::clipboard()->setMimeData(data.release(), QClipboard::Clipboard);
    });
}
