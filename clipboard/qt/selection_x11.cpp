#include "selection_x11.h"

#include "xcb_x11.h"

#include <QGuiApplication>
#include <QString>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

namespace x11 {

namespace {

// As long as Qt's own clipboard waits for an answer.
constexpr int kAnswerMilliseconds = 5000;
// More than any owner offers; a longer TARGETS answer is cut there.
constexpr std::size_t kMostTargets = 1024;

Display* QtDisplay()
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

QByteArray NameOf(xcb_connection_t* connection, xcb_get_atom_name_cookie_t cookie)
{
    const auto reply = Own(xcb_get_atom_name_reply(connection, cookie, nullptr));
    return reply ? QByteArray(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()))
                 : QByteArray();
}

struct Part {
    xcb_atom_t type;
    QByteArray bytes;
    std::uint8_t format;
};

// Reads the property whole and deletes it.
std::optional<Part> Take(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property)
{
    const auto reply = Own(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                         std::numeric_limits<std::uint32_t>::max() / 4),
        nullptr));
    if (!reply)
        return std::nullopt;
    return Part{reply->type, QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                        xcb_get_property_value_length(reply.get())),
                reply->format};
}

} // namespace

std::unique_ptr<SelectionOwner> SelectionOwner::Of(const char* selection)
{
    Display* display = QtDisplay();
    if (!display)
        return nullptr;
    xcb_connection_t* connection = xcb_connect(DisplayString(display), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    std::unique_ptr<SelectionOwner> owner(new SelectionOwner(connection, Intern(connection, selection)));
    const auto reply = Own(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, owner->selection_), nullptr));
    return reply && reply->owner != XCB_NONE ? std::move(owner) : nullptr;
}

SelectionOwner::SelectionOwner(xcb_connection_t* connection, xcb_atom_t selection)
    : connection_(connection)
    , selection_(selection)
    // Property changes tell when each part of an incremental answer has come.
    , requestor_(CreateRequestor(connection, XCB_EVENT_MASK_PROPERTY_CHANGE))
    , property_(Intern(connection, "KRESOVAR_SELECTION"))
{
}

SelectionOwner::~SelectionOwner()
{
    xcb_disconnect(connection_);
}

xcb_generic_event_t* SelectionOwner::NextEvent(int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = std::min(end_, Clock::now() + std::chrono::milliseconds(milliseconds));
    for (;;) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(connection_))
            return event;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (xcb_connection_has_error(connection_) || left <= 0)
            return nullptr;
        pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(left));
    }
}

std::optional<SelectionOwner::Answer> SelectionOwner::Ask(xcb_atom_t target)
{
    xcb_delete_property(connection_, requestor_, property_);
    xcb_convert_selection(connection_, requestor_, selection_, target, property_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
    answered_ = false;
    for (;;) {
        const auto event = Own(NextEvent(kAnswerMilliseconds));
        if (!event)
            return std::nullopt;
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
        if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY || notify->target != target)
            continue;
        answered_ = true;
        if (notify->property == XCB_NONE)
            return std::nullopt;
        break;
    }
    // Each read deletes the property, which asks an incremental answer's
    // owner for its next part; an empty part ends it.
    std::optional<Part> part = Take(connection_, requestor_, property_);
    if (!part)
        return std::nullopt;
    if (part->type != Intern(connection_, "INCR"))
        return Answer{NameOf(connection_, xcb_get_atom_name(connection_, part->type)), std::move(part->bytes),
                      part->format};
    Answer answer;
    xcb_atom_t type = XCB_ATOM_NONE;
    for (;;) {
        const auto event = Own(NextEvent(kAnswerMilliseconds));
        if (!event)
            return std::nullopt;
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
        if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY || change->atom != property_
            || change->state != XCB_PROPERTY_NEW_VALUE)
            continue;
        part = Take(connection_, requestor_, property_);
        if (!part)
            return std::nullopt;
        if (part->bytes.isEmpty())
            break;
        type = type == XCB_ATOM_NONE ? part->type : type;
        answer.format = part->format;
        answer.bytes.append(part->bytes);
    }
    answer.type = NameOf(connection_, xcb_get_atom_name(connection_, type));
    return answer;
}

std::optional<std::vector<QByteArray>> SelectionOwner::Targets()
{
    const std::optional<Answer> answer = Ask(Intern(connection_, "TARGETS"));
    if (!answer)
        return answered_ ? std::optional(std::vector<QByteArray>()) : std::nullopt;
    // The answer holds one 32-bit atom after the other; the names are asked
    // for all at once, and an atom that names nothing is left out.
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    for (qsizetype at = 0; at + 4 <= answer->bytes.size() && cookies.size() < kMostTargets; at += 4) {
        std::uint32_t atom = 0;
        std::memcpy(&atom, answer->bytes.constData() + at, sizeof atom);
        cookies.push_back(xcb_get_atom_name(connection_, atom));
    }
    std::vector<QByteArray> names;
    for (const xcb_get_atom_name_cookie_t cookie : cookies) {
        if (QByteArray name = NameOf(connection_, cookie); !name.isEmpty())
            names.push_back(std::move(name));
    }
    return names;
}

std::optional<SelectionOwner::Answer> SelectionOwner::Convert(const QByteArray& target)
{
    return Ask(Intern(connection_, target.toStdString()));
}

std::optional<QString> CompoundText(const QByteArray& property)
{
    Display* display = QtDisplay();
    if (!display)
        return std::nullopt;
    XTextProperty text{reinterpret_cast<unsigned char*>(const_cast<char*>(property.constData())),
                       XInternAtom(display, "COMPOUND_TEXT", False), 8, static_cast<unsigned long>(property.size())};
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &count) < Success)
        return std::nullopt;
    // A NUL in the property ends one of its strings and begins the next.
    QByteArray utf8;
    for (int string = 0; string < count; ++string) {
        if (string > 0)
            utf8 += '\0';
        utf8 += list[string];
    }
    if (list)
        XFreeStringList(list);
    return QString::fromUtf8(utf8);
}

} // namespace x11
