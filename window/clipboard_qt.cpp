#include "clipboard.h"

#include "clipboard_x11.h"
#include "platform_qt.h"
#include "platform_seam.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <optional>
#include <string_view>

// Always the clipboard proper, never the X11 primary selection.

namespace {

// The text targets an X11 program may offer, in the order they are taken.
constexpr const char* kTextTargets[] = {"UTF8_STRING", "text/plain;charset=utf-8", "COMPOUND_TEXT", "STRING", "TEXT"};

std::u16string U16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size()));
}

// The text of one target; with `exact`, an empty one for a text that may not
// be the owner's, unit for unit.
std::optional<QString> TextOf(const QMimeData& data, std::string_view target, bool exact)
{
    // Qt hands this one over whole, a trailing NUL included.
    if (target == "text/plain;charset=utf-8") {
        const QByteArray bytes = data.data(QString::fromLatin1(target));
        return exact && !QUtf8StringView(bytes).isValidUtf8() ? QString() : QString::fromUtf8(bytes);
    }
    if (target == "COMPOUND_TEXT")
        return x11::CompoundText(data.data(QStringLiteral("COMPOUND_TEXT")));
    // Qt reads UTF8_STRING, STRING and TEXT as text/plain, in that order, the
    // last two as Latin-1, and takes one trailing NUL for the end of the text.
    // It gives no way to UTF8_STRING's own bytes, and reads each that is not
    // UTF-8 as U+FFFD, which Latin-1 never gives.
    const QString text = QString::fromUtf8(data.data(QStringLiteral("text/plain")));
    return exact && text.contains(QChar::ReplacementCharacter) ? QString() : text;
}

std::u16string Read(bool exact)
{
    platform::CheckFault("ClipboardRead");
    // QClipboard::text() would fall back to the HTML markup of a page.
    QClipboard& clipboard = *QGuiApplication::clipboard();
    const QMimeData* data = clipboard.mimeData(QClipboard::Clipboard);
    if (!data)
        return {};
    const auto listed = clipboard.ownsClipboard() ? std::nullopt
                                                  : x11::ListedTargets(data->data(QStringLiteral("TARGETS")), kTextTargets);
    // The program's own copy, and on Wayland the text as Qt reads it.
    if (!listed)
        return data->hasText() ? U16(data->text()) : std::u16string();
    for (const char* target : *listed) {
        if (const std::optional<QString> text = TextOf(*data, target, exact))
            return U16(*text);
    }
    return {};
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
