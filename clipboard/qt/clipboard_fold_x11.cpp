#include "clipboard.h"

#include "clipboard_qt.h"
#include "end_signals.h"
#include "platform_error.h"
#include "platform_qt.h"
#include "platform_seam.h"
#include "selection_owner_x11.h"
#include "selection_x11.h"
#include "text_formats.h"

#include <QGuiApplication>

#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string_view>

namespace {

using Fold = std::function<std::u16string(std::u16string_view)>;

// Every format read from the owner together takes at most this long; a
// format not read in time leaves the clipboard as it was.
constexpr auto kReadTime = std::chrono::seconds(5);

// A file manager's copy, which names files: renaming them is not this
// program's job.
constexpr std::array<std::string_view, 2> kFileTargets = {"text/uri-list", "x-special/gnome-copied-files"};
// The targets of the selection protocol itself, never asked for: DELETE
// would remove the owner's selection.
constexpr std::array<std::string_view, 6> kProtocolTargets = {"TARGETS", "MULTIPLE", "TIMESTAMP",
                                                               "SAVE_TARGETS", "DELETE", "INSERT_"};
// The plain text targets, served again from the one folded text.
constexpr std::array<std::string_view, 6> kPlainTargets = {
    "utf8_string", "text/plain;charset=utf-8", "compound_text", "string", "text", "text/plain"};

std::string Simple(const QByteArray& target)
{
    return target.toLower().replace(' ', QByteArray()).toStdString();
}

bool IsOneOf(const std::string& target, const auto& names, bool prefix = false)
{
    return std::any_of(names.begin(), names.end(), [&](std::string_view name) {
        return prefix ? target.starts_with(name) : target == name;
    });
}

// The bytes of a format kept, folded where it is text; nothing to drop it.
std::optional<std::string> Kept(const std::string& target, const std::string& bytes, const Fold& fold)
{
    if (target.starts_with("image/"))
        return bytes;
    if (target.starts_with("text/html"))
        return formats::FoldHtml(bytes, fold);
    if (const std::optional<formats::Encoding> encoding = formats::CharsetOf(target); target.starts_with("text/"))
        return encoding ? formats::FoldEncoded(bytes, *encoding, fold) : std::nullopt;
    return std::nullopt;
}

struct Read {
    ClipboardFold result;
    std::u16string text;
    std::vector<x11::KeptFormat> kept;
};

// The formats besides the plain text, each read and kept or dropped.
Read ReadKept(x11::SelectionOwner& owner, const std::vector<QByteArray>& targets, const Fold& fold,
              std::chrono::steady_clock::time_point deadline, Read read)
{
    std::size_t total = formats::ToUtf8(read.text).size();
    for (const QByteArray& target : targets) {
        const std::string simple = Simple(target);
        // A format that would be dropped even empty is not asked for.
        if (IsOneOf(target.toStdString(), kProtocolTargets, true) || IsOneOf(simple, kPlainTargets)
            || !Kept(simple, {}, fold) || total > kClipboardMostBytes)
            continue;
        const std::optional<x11::SelectionOwner::Answer> answer = owner.Convert(target);
        if (std::chrono::steady_clock::now() > deadline)
            return {ClipboardFold::NoAnswer, {}, {}};
        if (!answer)
            continue;
        std::optional<std::string> bytes = Kept(simple, answer->bytes.toStdString(), fold);
        total += bytes ? bytes->size() : 0;
        if (total > kClipboardMostBytes)
            return {ClipboardFold::TooLarge, {}, {}};
        if (bytes)
            read.kept.push_back({target.toStdString(), answer->type.toStdString(), answer->format, std::move(*bytes)});
    }
    return total > kClipboardMostBytes ? Read{ClipboardFold::TooLarge, {}, {}} : read;
}

// The clipboard's text folded, and the formats kept beside it.
Read ReadClipboard(const Fold& fold)
{
    const auto deadline = std::chrono::steady_clock::now() + kReadTime;
    const std::unique_ptr<x11::SelectionOwner> owner = x11::SelectionOwner::Of("CLIPBOARD");
    const std::optional<std::vector<QByteArray>> targets = owner ? owner->Targets() : std::nullopt;
    if (!targets)
        return {ClipboardFold::NoText, {}, {}};
    for (const QByteArray& target : *targets) {
        if (IsOneOf(Simple(target), kFileTargets))
            return {ClipboardFold::Files, {}, {}};
    }
    const QString text = platform::OwnerText(*owner);
    if (std::chrono::steady_clock::now() > deadline)
        return {ClipboardFold::NoAnswer, {}, {}};
    if (text.isEmpty())
        return {ClipboardFold::NoText, {}, {}};
    const std::u16string_view units = platform::Units(text);
    std::u16string folded = fold(units);
    if (folded == units)
        return {ClipboardFold::Unchanged, {}, {}};
    return ReadKept(*owner, *targets, fold, deadline, {ClipboardFold::Folded, std::move(folded), {}});
}

// Xlib ends the program with status 1 once Qt's connection finds the server
// gone, which would read as a clipboard with no text: the failure's status
// and line instead, whichever connection finds it first.
int EndAsFailed(Display*)
{
    const std::string line = std::string("kresovar-clipboard: ") + x11::kServerGone + "\n";
    (void)!write(STDERR_FILENO, line.data(), line.size());
    _exit(2);
}

Display* QtDisplay()
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

} // namespace

// The owner is watched from before the read, and the take is as of the time
// the read began: a copy made meanwhile is newer, and stays.
ClipboardFoldOutcome ClipboardFoldInPlace(const Fold& fold)
{
    platform::CheckFault("ClipboardFoldInPlace");
    const EndSignals endSignals;
    Display* display = QtDisplay();
    if (!display)
        throw platform::PlatformError("Brak serwera X11 (XWayland), przez który program sięga do schowka.");
    XSetIOErrorHandler(EndAsFailed);
    const std::unique_ptr<x11::ClipboardOwner> owner = x11::ClipboardOwner::Watch(display);
    const xcb_timestamp_t time = owner->Now();
    Read read = ReadClipboard(fold);
    owner->Sync(); // a server gone during the read is a failure, not an empty clipboard
    if (read.result != ClipboardFold::Folded)
        return {read.result};
    // A signal come during the read ends the program before the take, which
    // would leave the clipboard empty at once: it stays as it was.
    if (unsigned char signal = 0; endSignals.Pipe() >= 0 && ::read(endSignals.Pipe(), &signal, 1) == 1)
        return {ClipboardFold::Unchanged, signal};
    if (!owner->Take(time, read.text, std::move(read.kept)))
        return {ClipboardFold::NewerCopy};
    return {ClipboardFold::Folded, owner->Serve(endSignals.Pipe())};
}
