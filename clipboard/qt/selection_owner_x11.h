#pragma once

// The CLIPBOARD selection taken and served on a connection of this program's
// own, watched with XFixes from before the read until the program lets it go:
// a newer copy made meanwhile is never overwritten, and the program ends as
// soon as the clipboard is no longer its own.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

typedef struct _XDisplay Display;

namespace x11 {

// What a server that has gone away is reported as.
inline constexpr char kServerGone[] = "Połączenie z serwerem X11 zostało przerwane.";

// A format served as it was read: its target, type and 8/16/32-bit format.
struct KeptFormat {
    std::string target;
    std::string type;
    std::uint8_t format = 8;
    std::string bytes;
};

class ClipboardOwner {
public:
    // Starts watching the CLIPBOARD owner and the clipboard manager on the
    // display Qt uses; a server that is gone or has no XFixes raises
    // PlatformError.
    static std::unique_ptr<ClipboardOwner> Watch(Display* display);
    ~ClipboardOwner();
    ClipboardOwner(const ClipboardOwner&) = delete;
    ClipboardOwner& operator=(const ClipboardOwner&) = delete;

    // The server's time now, for the take after a read that follows.
    xcb_timestamp_t Now();
    // A round trip, which raises PlatformError once the server has gone.
    void Sync();
    // Takes the clipboard as of `time` with the folded text and the kept
    // formats, unless another program has taken it since the watch began.
    bool Take(xcb_timestamp_t time, const std::u16string& text, std::vector<KeptFormat> kept);
    // Serves the clipboard until another program takes it, a clipboard
    // manager has saved its text, or a signal's number comes through
    // `signalPipe`, which this returns (0 otherwise).
    int Serve(int signalPipe);

private:
    struct Served {
        xcb_atom_t type;
        std::uint8_t format;
        std::string bytes;
        bool text;
    };
    // An answer too big for one request, sent in parts as the requestor
    // deletes each (INCR).
    struct Transfer {
        const Served* served;
        std::size_t sent = 0;
        std::chrono::steady_clock::time_point last;
    };
    using TransferKey = std::pair<xcb_window_t, xcb_atom_t>;

    ClipboardOwner(xcb_connection_t* connection, Display* display);
    std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> NextEvent(std::chrono::steady_clock::time_point deadline,
                                                                         int signalPipe);
    bool IsClipboardChange(const xcb_generic_event_t& event) const;
    void AddText(const std::u16string& text);
    void RequestSave();
    // Handles one event while owning; whether the program is done.
    bool Dispatch(const xcb_generic_event_t& event);
    void Answer(const xcb_selection_request_event_t& request);
    bool Write(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target);
    bool WriteMultiple(xcb_window_t requestor, xcb_atom_t property);
    void Continue(const TransferKey& key);
    void DropStale();
    xcb_window_t OwnerOf(xcb_atom_t selection);
    const Served* Find(xcb_atom_t target);

    xcb_connection_t* connection_;
    Display* display_;
    std::uint8_t xfixesEvent_ = 0;
    xcb_window_t window_;
    xcb_atom_t clipboard_, manager_, incr_, targets_, multiple_, timestamp_, atomPair_, compoundText_, saveTargets_,
        property_;
    std::size_t chunk_;
    bool changed_ = false;
    xcb_timestamp_t taken_ = XCB_CURRENT_TIME;
    std::u16string text_;
    std::map<xcb_atom_t, Served> served_;
    std::map<TransferKey, Transfer> transfers_;
    // A save request not yet answered, and whether a text was served since.
    std::optional<std::chrono::steady_clock::time_point> saveDeadline_;
    bool textServed_ = false;
    int endSignal_ = 0;
};

} // namespace x11
