#include "selection_owner_x11.h"

#include "platform_error.h"
#include "text_formats.h"
#include "xcb_x11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xfixes.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace x11 {

namespace {

using Clock = std::chrono::steady_clock;

// How long a clipboard manager has to answer a save request, at the take
// and when it appears, and when a signal ends the program.
constexpr auto kSaveAnswer = std::chrono::seconds(2);
constexpr auto kSaveAnswerAtEnd = std::chrono::seconds(1);
// A requestor that takes no part of an incremental answer for this long has
// gone, and the answer is dropped.
constexpr auto kTransferIdle = std::chrono::seconds(5);
// The most bytes one property holds before an answer goes in parts.
constexpr std::size_t kMostChunk = 1 << 20;
constexpr std::uint32_t kWatchedChanges = XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE;

[[noreturn]] void ServerGone()
{
    throw platform::PlatformError(kServerGone);
}

std::uint32_t Units(const std::string& bytes, std::uint8_t format)
{
    return static_cast<std::uint32_t>(bytes.size() / (format / 8));
}

// The COMPOUND_TEXT of a text, each NUL in it ending one of its strings.
std::optional<std::string> ToCompoundText(Display* display, std::u16string_view text)
{
    std::vector<std::string> strings(1);
    for (const char16_t unit : text) {
        if (unit == u'\0')
            strings.emplace_back();
        else
            strings.back() += formats::ToUtf8(std::u16string_view(&unit, 1));
    }
    std::vector<char*> list;
    for (std::string& string : strings)
        list.push_back(string.data());
    XTextProperty property{};
    if (Xutf8TextListToTextProperty(display, list.data(), static_cast<int>(list.size()), XCompoundTextStyle, &property)
        != Success)
        return std::nullopt;
    std::string bytes(reinterpret_cast<const char*>(property.value), property.nitems);
    XFree(property.value);
    return bytes;
}

} // namespace

std::unique_ptr<ClipboardOwner> ClipboardOwner::Watch(Display* display)
{
    xcb_connection_t* connection = xcb_connect(DisplayString(display), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        ServerGone();
    }
    std::unique_ptr<ClipboardOwner> owner(new ClipboardOwner(connection, display));
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        throw platform::PlatformError("Serwer X11 nie ma rozszerzenia XFixes, bez którego program nie pilnuje schowka.");
    owner->xfixesEvent_ = static_cast<std::uint8_t>(xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY);
    std::free(xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
    for (const xcb_atom_t selection : {owner->clipboard_, owner->manager_})
        xcb_xfixes_select_selection_input(connection, owner->window_, selection, kWatchedChanges);
    owner->Sync();
    return owner;
}

ClipboardOwner::ClipboardOwner(xcb_connection_t* connection, Display* display)
    : connection_(connection)
    , display_(display)
    // Property changes give the server's time and pace incremental answers.
    , window_(CreateRequestor(connection, XCB_EVENT_MASK_PROPERTY_CHANGE))
    , clipboard_(Intern(connection, "CLIPBOARD"))
    , manager_(Intern(connection, "CLIPBOARD_MANAGER"))
    , incr_(Intern(connection, "INCR"))
    , targets_(Intern(connection, "TARGETS"))
    , multiple_(Intern(connection, "MULTIPLE"))
    , timestamp_(Intern(connection, "TIMESTAMP"))
    , atomPair_(Intern(connection, "ATOM_PAIR"))
    , compoundText_(Intern(connection, "COMPOUND_TEXT"))
    , saveTargets_(Intern(connection, "SAVE_TARGETS"))
    , property_(Intern(connection, "KRESOVAR_OWNER"))
    , chunk_(std::min(kMostChunk, std::size_t{xcb_get_maximum_request_length(connection)} * 4 - 64))
{
}

ClipboardOwner::~ClipboardOwner()
{
    xcb_disconnect(connection_);
}

std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> ClipboardOwner::NextEvent(Clock::time_point deadline,
                                                                                     int signalPipe)
{
    for (;;) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
            return Own(event);
        if (xcb_connection_has_error(connection_))
            ServerGone();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return Own<xcb_generic_event_t>(nullptr);
        std::array<pollfd, 2> descriptors{{{xcb_get_file_descriptor(connection_), POLLIN, 0}, {signalPipe, POLLIN, 0}}};
        poll(descriptors.data(), signalPipe < 0 ? 1 : 2, static_cast<int>(std::min<long long>(left, 1000)));
        if (descriptors[1].revents & POLLIN)
            return Own<xcb_generic_event_t>(nullptr);
    }
}

// A round trip: every event the server sent before it is queued after it.
void ClipboardOwner::Sync()
{
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    if (xcb_connection_has_error(connection_))
        ServerGone();
}

bool ClipboardOwner::IsClipboardChange(const xcb_generic_event_t& event) const
{
    const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
    return (event.response_type & 0x7F) == xfixesEvent_ && notify.selection == clipboard_ && notify.owner != window_;
}

xcb_timestamp_t ClipboardOwner::Now()
{
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, property_, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection_);
    for (;;) {
        const auto event = NextEvent(Clock::now() + std::chrono::seconds(5), -1);
        if (!event)
            ServerGone();
        changed_ = changed_ || IsClipboardChange(*event);
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY && change->window == window_)
            return change->time;
    }
}

bool ClipboardOwner::Take(xcb_timestamp_t time, const std::u16string& text, std::vector<KeptFormat> kept)
{
    Sync();
    while (const auto event = Own(xcb_poll_for_event(connection_)))
        changed_ = changed_ || IsClipboardChange(*event);
    if (changed_)
        return false;
    AddText(text);
    for (KeptFormat& format : kept) {
        served_[Intern(connection_, format.target)] =
            Served{Intern(connection_, format.type), format.format, std::move(format.bytes), false};
    }
    // A time before another program's take leaves the clipboard with it.
    xcb_set_selection_owner(connection_, window_, clipboard_, time);
    if (OwnerOf(clipboard_) != window_)
        return false;
    taken_ = time;
    if (OwnerOf(manager_) != XCB_NONE)
        RequestSave();
    return true;
}

// Every text target from the one folded text; STRING and TEXT only where it
// fits Latin-1, and COMPOUND_TEXT made when first asked for.
void ClipboardOwner::AddText(const std::u16string& text)
{
    text_ = text;
    std::string utf8 = formats::ToUtf8(text);
    for (const char* target : {"text/plain;charset=utf-8", "text/plain"})
        served_[Intern(connection_, target)] = Served{Intern(connection_, target), 8, utf8, true};
    if (const std::optional<std::string> latin1 = formats::ToLatin1(text)) {
        served_[XCB_ATOM_STRING] = Served{XCB_ATOM_STRING, 8, *latin1, true};
        served_[Intern(connection_, "TEXT")] = Served{XCB_ATOM_STRING, 8, *latin1, true};
    }
    const xcb_atom_t utf8Type = Intern(connection_, "UTF8_STRING");
    served_[utf8Type] = Served{utf8Type, 8, std::move(utf8), true};
    served_[compoundText_] = Served{compoundText_, 8, {}, true};
}

void ClipboardOwner::RequestSave()
{
    xcb_delete_property(connection_, window_, saveTargets_);
    xcb_convert_selection(connection_, window_, manager_, saveTargets_, saveTargets_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
    saveDeadline_ = Clock::now() + kSaveAnswer;
    textServed_ = false;
}

int ClipboardOwner::Serve(int signalPipe)
{
    std::optional<Clock::time_point> end;
    for (;;) {
        const Clock::time_point wake = std::min({end.value_or(Clock::time_point::max()),
                                                 saveDeadline_.value_or(Clock::time_point::max()),
                                                 Clock::now() + std::chrono::seconds(1)});
        const auto event = NextEvent(wake, end ? -1 : signalPipe);
        unsigned char signal = 0;
        if (!event && !end && read(signalPipe, &signal, 1) == 1) {
            // A manager that runs now is asked for the text one last time.
            if (OwnerOf(manager_) != XCB_NONE)
                RequestSave();
            end = Clock::now() + kSaveAnswerAtEnd;
            endSignal_ = signal;
        }
        if (event && Dispatch(*event))
            return endSignal_;
        if (end && (Clock::now() >= *end || !saveDeadline_))
            return endSignal_;
        if (saveDeadline_ && Clock::now() >= *saveDeadline_)
            saveDeadline_.reset();
        DropStale();
    }
}

bool ClipboardOwner::Dispatch(const xcb_generic_event_t& event)
{
    const int type = event.response_type & 0x7F;
    if (IsClipboardChange(event) && OwnerOf(clipboard_) != window_)
        return true;
    const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
    if (type == xfixesEvent_ && notify.selection == manager_ && notify.owner != XCB_NONE) {
        // xfce4-clipman saves only a clipboard whose take it has seen: the
        // clipboard is taken again, as of the manager's own take, which
        // fails after a newer copy.
        xcb_set_selection_owner(connection_, window_, clipboard_, notify.timestamp);
        RequestSave();
    }
    if (type == XCB_SELECTION_CLEAR)
        return reinterpret_cast<const xcb_selection_clear_event_t&>(event).selection == clipboard_;
    if (type == XCB_SELECTION_REQUEST)
        Answer(reinterpret_cast<const xcb_selection_request_event_t&>(event));
    if (type == XCB_SELECTION_NOTIFY) {
        const auto& answer = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
        if (answer.selection == manager_ && saveDeadline_) {
            // weston's bridge answers without reading the text: stay its owner.
            saveDeadline_.reset();
            return textServed_;
        }
    }
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(event);
        if (change.state == XCB_PROPERTY_DELETE)
            Continue({change.window, change.atom});
    }
    if (type == 0) {
        // A requestor gone in the middle of an answer.
        const auto& error = reinterpret_cast<const xcb_generic_error_t&>(event);
        std::erase_if(transfers_, [&](const auto& entry) { return entry.first.first == error.resource_id; });
    }
    return false;
}

void ClipboardOwner::Answer(const xcb_selection_request_event_t& request)
{
    // An old requestor names no property: the target is the property.
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    const bool answered = request.selection == clipboard_
                          && (request.target == multiple_ ? WriteMultiple(request.requestor, property)
                                                          : Write(request.requestor, property, request.target));
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered ? property : xcb_atom_t{XCB_NONE};
    std::array<char, 32> event{};
    std::memcpy(event.data(), &notify, sizeof notify);
    xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, event.data());
    xcb_flush(connection_);
}

const ClipboardOwner::Served* ClipboardOwner::Find(xcb_atom_t target)
{
    const auto found = served_.find(target);
    if (found == served_.end())
        return nullptr;
    Served& served = found->second;
    if (target == compoundText_ && served.bytes.empty() && !text_.empty()) {
        const std::optional<std::string> bytes = ToCompoundText(display_, text_);
        if (!bytes)
            return nullptr;
        served.bytes = *bytes;
    }
    return &served;
}

bool ClipboardOwner::Write(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target)
{
    if (target == targets_) {
        std::vector<xcb_atom_t> atoms = {targets_, multiple_, timestamp_};
        for (const auto& [atom, served] : served_)
            atoms.push_back(atom);
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(atoms.size()), atoms.data());
        return true;
    }
    if (target == timestamp_) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &taken_);
        return true;
    }
    const Served* served = Find(target);
    if (!served)
        return false;
    if (served->bytes.size() <= chunk_) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, served->type, served->format,
                            Units(served->bytes, served->format), served->bytes.data());
        textServed_ = textServed_ || served->text;
        return true;
    }
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(connection_, requestor, XCB_CW_EVENT_MASK, &mask);
    const auto size = static_cast<std::uint32_t>(served->bytes.size());
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, incr_, 32, 1, &size);
    transfers_[{requestor, property}] = Transfer{served, 0, Clock::now()};
    return true;
}

// MULTIPLE names its target and property pairs in an ATOM_PAIR property;
// each refused pair has its property set to None there.
bool ClipboardOwner::WriteMultiple(xcb_window_t requestor, xcb_atom_t property)
{
    const auto reply = Own(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, requestor, property, atomPair_, 0, 1 << 16), nullptr));
    if (!reply || reply->format != 32)
        return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    std::vector<xcb_atom_t> pairs(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
    for (std::size_t at = 0; at + 1 < pairs.size(); at += 2) {
        if (pairs[at] == multiple_ || !Write(requestor, pairs[at + 1], pairs[at]))
            pairs[at + 1] = XCB_NONE;
    }
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, atomPair_, 32,
                        static_cast<std::uint32_t>(pairs.size()), pairs.data());
    return true;
}

// The requestor has taken a part: the next one, or the empty part that ends it.
void ClipboardOwner::Continue(const TransferKey& key)
{
    const auto found = transfers_.find(key);
    if (found == transfers_.end())
        return;
    Transfer& transfer = found->second;
    const Served& served = *transfer.served;
    const std::size_t size = std::min(chunk_, served.bytes.size() - transfer.sent);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, key.first, key.second, served.type, served.format,
                        static_cast<std::uint32_t>(size / (served.format / 8)), served.bytes.data() + transfer.sent);
    xcb_flush(connection_);
    transfer.sent += size;
    transfer.last = Clock::now();
    if (size == 0) {
        textServed_ = textServed_ || served.text;
        transfers_.erase(found);
    }
}

void ClipboardOwner::DropStale()
{
    const Clock::time_point now = Clock::now();
    std::erase_if(transfers_, [&](const auto& entry) { return now - entry.second.last > kTransferIdle; });
}

xcb_window_t ClipboardOwner::OwnerOf(xcb_atom_t selection)
{
    const auto owner =
        Own(xcb_get_selection_owner_reply(connection_, xcb_get_selection_owner(connection_, selection), nullptr));
    if (!owner)
        ServerGone();
    return owner->owner;
}

} // namespace x11
