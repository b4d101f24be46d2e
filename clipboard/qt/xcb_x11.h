#pragma once

// The few xcb helpers that the clipboard's X11 code shares: reading a
// selection and keeping one.

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace x11 {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

// Takes a reply that xcb allocated, to be freed as it goes.
template <typename Reply>
ReplyPtr<Reply> Own(Reply* reply)
{
    return {reply, &std::free};
}

// The atom of a name, interned if new; XCB_ATOM_NONE when the server fails.
xcb_atom_t Intern(xcb_connection_t* connection, std::string_view name);

// A new unmapped input-only window on the first screen, to ask for or answer
// selections, receiving the events of `eventMask`.
xcb_window_t CreateRequestor(xcb_connection_t* connection, std::uint32_t eventMask);

} // namespace x11
