#include "clipboard_qt.h"
#include "platform_qt.h"

#include "selection_x11.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <array>
#include <string_view>

namespace platform {

namespace {

// The text targets a paste takes, in this order. Qt names UTF8_STRING,
// STRING and TEXT all "text/plain" in its own formats, and reads them in that
// order; a source without X11 (the program's own copy, Wayland) names its
// formats itself.
constexpr std::array<std::string_view, 6> kTextTargets = {
    "UTF8_STRING", "text/plain;charset=utf-8", "COMPOUND_TEXT", "STRING", "TEXT", "text/plain"};

// Whether a listed target is the one named: the case of a MIME type and the
// spaces between its parts do not count.
bool IsTarget(QByteArray listed, std::string_view target)
{
    if (target.find('/') != std::string_view::npos)
        listed = listed.toLower().replace(' ', QByteArray());
    return listed == QByteArrayView(target.data(), static_cast<qsizetype>(target.size()));
}

// The text of a target's bytes, read by their type where the owner names one
// of the string types (TEXT may come as any). Nothing for no text there; with
// `exact`, an empty text for UTF-8 with bytes that are not UTF-8, which would
// be read as U+FFFD.
std::optional<QString> Decode(std::string_view target, const QByteArray& type, QByteArray bytes, bool exact)
{
    if (type == "UTF8_STRING" || type == "STRING" || type == "COMPOUND_TEXT")
        target = type.constData();
    if (target == "COMPOUND_TEXT")
        return bytes.isEmpty() ? std::nullopt : x11::CompoundText(bytes);
    // The X11 string types may end in one NUL that ends the text; a MIME
    // type's bytes are the text, every NUL in it.
    if (target.find('/') == std::string_view::npos && bytes.endsWith('\0'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return std::nullopt;
    if (target == "STRING" || target == "TEXT")
        return QString::fromLatin1(bytes);
    return exact && !QUtf8StringView(bytes).isValidUtf8() ? QString() : QString::fromUtf8(bytes);
}

// Each listed text target in turn, until one gives a text: an owner may list
// a target and then refuse it. An owner that refuses TARGETS, or lists none,
// is asked for the two string types every X11 program knows.
QString FromOwner(x11::SelectionOwner& owner, bool exact)
{
    std::optional<std::vector<QByteArray>> listed = owner.Targets();
    if (!listed)
        return {};
    if (listed->empty())
        listed = {"UTF8_STRING", "STRING"};
    for (const std::string_view target : kTextTargets) {
        for (const QByteArray& name : *listed) {
            if (!IsTarget(name, target))
                continue;
            if (const auto answer = owner.Convert(name)) {
                if (const std::optional<QString> text = Decode(target, answer->type, answer->bytes, exact))
                    return *text;
            }
            break;
        }
    }
    return {};
}

// The X11 selection whose owner is another program and whose content
// `source` is, if any.
const char* SelectionOf(const QMimeData& source)
{
    const QClipboard& clipboard = *QGuiApplication::clipboard();
    if (&source == clipboard.mimeData(QClipboard::Clipboard))
        return clipboard.ownsClipboard() ? nullptr : "CLIPBOARD";
    if (&source == clipboard.mimeData(QClipboard::Selection))
        return clipboard.ownsSelection() ? nullptr : "PRIMARY";
    return nullptr;
}

} // namespace

QString PasteText(const QMimeData* source, bool exact)
{
    if (!source)
        return {};
    if (const char* selection = SelectionOf(*source)) {
        if (const std::unique_ptr<x11::SelectionOwner> owner = x11::SelectionOwner::Of(selection))
            return FromOwner(*owner, exact);
    }
    const QStringList formats = source->formats();
    for (const std::string_view target : kTextTargets) {
        for (const QString& format : formats) {
            if (!IsTarget(format.toLatin1(), target))
                continue;
            // Qt reads its own copy, and a drop's text, whole.
            if (target == "text/plain")
                return source->text();
            if (const std::optional<QString> text = Decode(target, target.data(), source->data(format), exact))
                return *text;
            break;
        }
    }
    return {};
}

QString OwnerText(x11::SelectionOwner& owner)
{
    return FromOwner(owner, true);
}

bool OffersText(const QMimeData* source)
{
    if (!source)
        return false;
    for (const QString& format : source->formats()) {
        for (const std::string_view target : kTextTargets) {
            if (IsTarget(format.toLatin1(), target))
                return true;
        }
    }
    return false;
}

} // namespace platform
