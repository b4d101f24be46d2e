#include "clipboard_qt.h"
#include "platform_qt.h"

#include "refusal.h"
#include "selection_x11.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace platform {

namespace {

// The text targets a paste takes, in this order. Qt names UTF8_STRING,
// STRING and TEXT all "text/plain" in its own formats, and reads them in that
// order; a source without X11 (the program's own copy, Wayland) names its
// formats itself.
constexpr std::array<std::string_view, 6> kTextTargets = {
    "UTF8_STRING", "text/plain;charset=utf-8", "COMPOUND_TEXT", "STRING", "TEXT", "text/plain"};

bool IsLatin1(std::string_view target)
{
    return target == "STRING" || target == "TEXT";
}

// Whether a listed target is the one named: the case of a MIME type and the
// spaces between its parts do not count.
bool IsTarget(QByteArray listed, std::string_view target)
{
    if (target.find('/') != std::string_view::npos)
        listed = listed.toLower().replace(' ', QByteArray());
    return listed == QByteArrayView(target.data(), static_cast<qsizetype>(target.size()));
}

// A target's text, and whether it is the owner's unit for unit: UTF-8 with
// bytes that are not UTF-8 is read with U+FFFD in their place.
struct Decoded {
    QString text;
    bool exact = true;
};

// UTF-8 as it is, a byte order mark at its start kept as the character it is.
Decoded FromUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    Decoded decoded{decoder.decode(bytes), true};
    decoded.exact = !decoder.hasError();
    return decoded;
}

// The text of a target's bytes, read by their type where the owner names one
// of the string types (TEXT may come as any). Nothing for no text there.
std::optional<Decoded> Decode(std::string_view target, const QByteArray& type, QByteArray bytes)
{
    if (type == "UTF8_STRING" || type == "STRING" || type == "COMPOUND_TEXT")
        target = type.constData();
    if (target == "COMPOUND_TEXT") {
        const std::optional<QByteArray> utf8 = bytes.isEmpty() ? std::nullopt : x11::CompoundTextUtf8(bytes);
        return utf8 ? std::optional(FromUtf8(*utf8)) : std::nullopt;
    }
    // The X11 string types may end in one NUL that ends the text; a MIME
    // type's bytes are the text, every NUL in it.
    if (target.find('/') == std::string_view::npos && bytes.endsWith('\0'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return std::nullopt;
    if (IsLatin1(target))
        return Decoded{QString::fromLatin1(bytes), true};
    return FromUtf8(bytes);
}

// Whether every character of a text read with U+FFFD, but those, is Latin-1:
// an owner writes '?' in STRING for a letter outside it.
bool Latin1Holds(const QString& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() <= 0xFF || c == QChar::ReplacementCharacter; });
}

// The texts of the targets in turn, as `read` gives each: the first that is
// exact, or else the first that is not, where `exact` does not ask for an
// exact one. STRING and TEXT follow a text that is not exact only where its
// characters would all fit in them.
template <typename Read>
QString FirstText(Read read, bool exact)
{
    std::optional<QString> inexact;
    for (const std::string_view target : kTextTargets) {
        if (inexact && IsLatin1(target) && !Latin1Holds(*inexact))
            continue;
        const std::optional<Decoded> decoded = read(target);
        if (decoded && decoded->exact)
            return decoded->text;
        if (decoded && !inexact)
            inexact = decoded->text;
    }
    return exact || !inexact ? QString() : *inexact;
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
    return FirstText(
        [&](std::string_view target) -> std::optional<Decoded> {
            for (const QByteArray& name : *listed) {
                if (!IsTarget(name, target))
                    continue;
                const auto answer = owner.Convert(name);
                return answer ? Decode(target, answer->type, answer->bytes) : std::nullopt;
            }
            return std::nullopt;
        },
        exact);
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
    // Memory that runs out while the text is read is a refusal too.
    return clipboard::Refusing(false, [source, exact]() -> QString {
        if (!source)
            return {};
        QString text;
        const char* selection = SelectionOf(*source);
        const std::unique_ptr<x11::SelectionOwner> owner = selection ? x11::SelectionOwner::Of(selection) : nullptr;
        if (owner) {
            text = FromOwner(*owner, exact);
        } else {
            const QStringList formats = source->formats();
            text = FirstText(
                [&](std::string_view target) -> std::optional<Decoded> {
                    for (const QString& format : formats) {
                        if (!IsTarget(format.toLatin1(), target))
                            continue;
                        // Qt reads its own copy, and a drop's text, whole.
                        if (target == "text/plain")
                            return Decoded{source->text(), true};
                        return Decode(target, target.data(), source->data(format));
                    }
                    return std::nullopt;
                },
                exact);
        }
        if (static_cast<std::uint64_t>(text.size()) > clipboard::kMostUnits)
            throw platform::Refusal(clipboard::kTooLarge);
        return text;
    });
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
