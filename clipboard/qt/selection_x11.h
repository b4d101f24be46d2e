#pragma once

// An X11 selection (CLIPBOARD, PRIMARY) asked for its content on a connection
// of this program's own to Qt's display, so that every target the owner lists
// can be asked for by name and its bytes read as the owner gives them. Qt's
// clipboard asks only for what its TARGETS request lists, and reads
// UTF8_STRING, STRING and TEXT as one.

#include <QByteArray>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QString;

namespace x11 {

class SelectionOwner {
public:
    // The owner of the selection; nothing without an X11 display (on
    // Wayland) or when no program owns it.
    static std::unique_ptr<SelectionOwner> Of(const char* selection);
    ~SelectionOwner();
    SelectionOwner(const SelectionOwner&) = delete;
    SelectionOwner& operator=(const SelectionOwner&) = delete;

    // The names of the targets its TARGETS answer lists (which need not
    // list TARGETS itself), none when it refuses TARGETS; nothing when it
    // does not answer.
    std::optional<std::vector<QByteArray>> Targets();
    // Its answer in one target: the name of the type it gives and the bytes;
    // nothing when it refuses or does not answer in time.
    struct Answer {
        QByteArray type;
        QByteArray bytes;
        // Its 8, 16 or 32-bit format, for an answer served as it was read.
        std::uint8_t format = 8;
    };
    std::optional<Answer> Convert(const QByteArray& target);
    // No answer, nor any part of one, is waited for past this time, however
    // often an incremental answer's owner gives a part.
    void EndBy(std::chrono::steady_clock::time_point end) { end_ = end; }

private:
    SelectionOwner(xcb_connection_t* connection, xcb_atom_t selection);
    std::optional<Answer> Ask(xcb_atom_t target);
    xcb_generic_event_t* NextEvent(int milliseconds);

    xcb_connection_t* connection_;
    xcb_atom_t selection_;
    xcb_window_t requestor_;
    xcb_atom_t property_;
    // Whether the owner answered the last request, if only to refuse it.
    bool answered_ = false;
    std::chrono::steady_clock::time_point end_ = std::chrono::steady_clock::time_point::max();
};

// The text of a COMPOUND_TEXT property, each NUL in it kept; nothing if it does not convert.
std::optional<QString> CompoundText(const QByteArray& property);

} // namespace x11
