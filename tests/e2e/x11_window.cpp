// Talks to a program's window as a window manager or a keyboard would.
//   x11_window close WINDOW-ID         asks it to close (WM_DELETE_WINDOW)
//   x11_window activate WINDOW-ID      gives it the focus (WM_TAKE_FOCUS), as
//                                      when the user comes back to it
//   x11_window ping WINDOW-ID SECONDS  waits until its program answers a
//                                      _NET_WM_PING, that is, until it is
//                                      back in its event loop
//   x11_window type WINDOW-ID TEXT     types the UTF-8 text, a line feed as
//                                      Enter, into the focused window
//   x11_window hold-clipboard SECONDS [SELECTION]
//                                      takes the clipboard (or SELECTION, such
//                                      as CLIPBOARD_MANAGER) and then answers no
//                                      request for it, as a hung program would,
//                                      printing the target each one asks for
//   x11_window offer-clipboard SECONDS TARGET[:TEXT]...
//                                      takes the clipboard and answers as a
//                                      program would that lists exactly these
//                                      targets (TARGETS among them only if
//                                      given): TARGET:TEXT gives the bytes of
//                                      TEXT, a bare TARGET is refused,
//                                      !TARGETS refuses TARGETS, and
//                                      !SLOW:TARGET answers TARGET after 2 s;
//                                      as TEXT, +endless answers by INCR
//                                      without end, +trickle a byte a second,
//                                      +silent not at all, and each prints
//                                      "gone" once asked no more
//   x11_window clear-clipboard         leaves the clipboard with no owner
//   x11_window owned SELECTION         succeeds if a program owns SELECTION
//   x11_window take-focus SECONDS      shows a window of another program and
//                                      gives it the keyboard focus for a while
//
// Typing maps each character to a spare key code and waits, with a ping,
// until the program has taken in the new mapping before pressing the key:
// no character is read with a stale keyboard map, however loaded the machine.

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool failed = false;
constexpr double kAnswerSeconds = 30;

// A window that is gone is an answer too, not a crash of this tool.
int NoteError(Display*, XErrorEvent*)
{
    failed = true;
    return 0;
}

void SendProtocol(Display* display, Window window, Atom protocol, long timestamp)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(protocol);
    event.xclient.data.l[1] = timestamp;
    event.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

bool Ping(Display* display, Window window, double seconds)
{
    // Unique to this call: a late answer to an earlier ping must not count.
    static long stamp = static_cast<long>(std::chrono::steady_clock::now().time_since_epoch().count() & 0x3FFFFFFF);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    // The answer goes to the root window, with either of these masks.
    XSelectInput(display, DefaultRootWindow(display), StructureNotifyMask | SubstructureNotifyMask);
    SendProtocol(display, window, ping, ++stamp);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!failed && std::chrono::steady_clock::now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == ping
                && event.xclient.data.l[1] == stamp)
                return true;
        }
        pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
        poll(&descriptor, 1, 50);
    }
    if (!failed)
        std::fprintf(stderr, "no answer to the ping within %.0f s\n", seconds);
    return false;
}

std::vector<char32_t> DecodeUtf8(const std::string& text)
{
    std::vector<char32_t> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t character = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            character = (character << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        characters.push_back(character);
        i += length;
    }
    return characters;
}

KeySym KeySymFor(char32_t character)
{
    if (character == U'\n')
        return XK_Return;
    if (character < 0x100)
        return character;
    return 0x01000000 | character;
}

// The lowest key code that carries no symbol: Wine types nothing on the
// highest ones.
KeyCode SpareKeyCode(Display* display)
{
    int low = 0;
    int high = 0;
    XDisplayKeycodes(display, &low, &high);
    int perCode = 0;
    KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(low), high - low + 1, &perCode);
    KeyCode spare = 0;
    for (int code = low; code <= high && !spare; ++code) {
        bool empty = true;
        for (int k = 0; k < perCode; ++k)
            empty = empty && map[(code - low) * perCode + k] == NoSymbol;
        if (empty)
            spare = static_cast<KeyCode>(code);
    }
    XFree(map);
    return spare;
}

bool Type(Display* display, Window window, const std::string& text)
{
    const KeyCode spare = SpareKeyCode(display);
    if (!spare) {
        std::fprintf(stderr, "no spare key code\n");
        return false;
    }
    bool typed = true;
    for (char32_t character : DecodeUtf8(text)) {
        KeySym symbols[2] = {KeySymFor(character), KeySymFor(character)};
        XChangeKeyboardMapping(display, spare, 2, symbols, 1);
        XSync(display, False);
        typed = Ping(display, window, kAnswerSeconds);
        if (!typed)
            break;
        XTestFakeKeyEvent(display, spare, True, CurrentTime);
        XTestFakeKeyEvent(display, spare, False, CurrentTime);
        XSync(display, False);
        typed = Ping(display, window, kAnswerSeconds);
        if (!typed)
            break;
    }
    KeySym none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(display, spare, 2, none, 1);
    XSync(display, False);
    return typed;
}

// Owns the clipboard and answers each request as `offers` say, or, without
// them, never, as a hung program would.
int HoldClipboard(Display* display, double seconds, const char* selection, char** offers = nullptr, int count = 0)
{
    XSetErrorHandler(NoteError);  // a requestor that has gone
    const Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, selection, False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    std::vector<Atom> listed;
    std::vector<const char*> texts;
    bool refuseTargets = false;
    Atom slow = None;
    for (int k = 0; k < count; ++k) {
        const std::string offer = offers[k];
        if (offer == "!TARGETS" || offer.starts_with("!SLOW:")) {
            if (offer == "!TARGETS")
                refuseTargets = true;
            else
                slow = XInternAtom(display, offer.c_str() + 6, False);
            continue;
        }
        const std::size_t colon = offer.find(':');
        listed.push_back(XInternAtom(display, offer.substr(0, colon).c_str(), False));
        texts.push_back(colon == std::string::npos ? nullptr : offers[k] + colon + 1);
    }
    XSetSelectionOwner(display, clipboard, owner, CurrentTime);
    XSync(display, False);
    if (XGetSelectionOwner(display, clipboard) != owner) {
        std::fprintf(stderr, "could not take the clipboard\n");
        return 1;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    const char* incremental = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            // The requestor has taken an incremental answer's last part: the next.
            if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete && incremental) {
                static const std::string part(1 << 16, 'a');
                const bool trickle = std::strcmp(incremental, "+trickle") == 0;
                if (trickle)
                    poll(nullptr, 0, 1000);
                XChangeProperty(display, event.xproperty.window, event.xproperty.atom, XInternAtom(display, "UTF8_STRING", False), 8,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(part.data()), trickle ? 1 : static_cast<int>(part.size()));
                XFlush(display);
            }
            if (event.type == DestroyNotify && std::printf("gone\n"))
                std::fflush(stdout);
            if (event.type != SelectionRequest)
                continue;
            const XSelectionRequestEvent& request = event.xselectionrequest;
            char* target = XGetAtomName(display, request.target);
            std::printf("%s\n", target);
            std::fflush(stdout);
            XFree(target);
            if (!offers)
                continue;
            if (request.target == slow)
                poll(nullptr, 0, 2000);
            XSelectionEvent answer{SelectionNotify, 0, True, display, request.requestor, request.selection,
                                   request.target, None, request.time};
            if (request.target == targets && !refuseTargets) {
                XChangeProperty(display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<unsigned char*>(listed.data()), static_cast<int>(listed.size()));
                answer.property = request.property;
            }
            const char* text = nullptr;
            for (std::size_t k = 0; k < listed.size(); ++k)
                text = listed[k] == request.target && request.target != targets ? texts[k] : text;
            const std::string given = text ? text : "";
            // The requestor is watched for its end, and for an INCR answer's next part.
            if (given.starts_with('+'))
                XSelectInput(display, request.requestor, PropertyChangeMask | StructureNotifyMask);
            if (given == "+endless" || given == "+trickle") {
                incremental = text;
                const long size = 1 << 20;
                XChangeProperty(display, request.requestor, request.property, XInternAtom(display, "INCR", False), 32,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(&size), 1);
            } else if (text && given != "+silent") {
                XChangeProperty(display, request.requestor, request.property, request.target, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(text), static_cast<int>(given.size()));
            }
            answer.property = text ? request.property : answer.property;
            if (given != "+silent")
                XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&answer));
            XFlush(display);
        }
        pollfd descriptor{ConnectionNumber(display), POLLIN, 0};
        poll(&descriptor, 1, 50);
    }
    return 0;
}

// Another program's window takes the keyboard focus, as after Alt+Tab.
int TakeFocus(Display* display, double seconds)
{
    const Window other = XCreateSimpleWindow(display, DefaultRootWindow(display), 700, 0, 200, 100, 0, 0, 0);
    XSelectInput(display, other, StructureNotifyMask);
    XMapWindow(display, other);
    for (XEvent event; XNextEvent(display, &event), event.type != MapNotify;) {
    }
    XSetInputFocus(display, other, RevertToParent, CurrentTime);
    XSync(display, False);
    std::printf("focused\n");
    std::fflush(stdout);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline)
        poll(nullptr, 0, 50);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const bool known = ((command == "close" || command == "activate") && argc == 3)
                       || (command == "hold-clipboard" && (argc == 3 || argc == 4))
                       || (command == "offer-clipboard" && argc >= 3)
                       || (command == "take-focus" && argc == 3) || (command == "clear-clipboard" && argc == 2)
                       || (command == "owned" && argc == 3)
                       || ((command == "ping" || command == "type") && argc == 4);
    if (!known) {
        std::fprintf(stderr,
                     "usage: %s close WINDOW-ID | activate WINDOW-ID | ping WINDOW-ID SECONDS | type WINDOW-ID TEXT"
                      " | hold-clipboard SECONDS [SELECTION] | offer-clipboard SECONDS TARGET[:TEXT]... | take-focus SECONDS"
                     " | clear-clipboard | owned SELECTION\n",
                     argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    if (command == "hold-clipboard" || command == "offer-clipboard" || command == "take-focus") {
        const int status = command == "hold-clipboard"
                               ? HoldClipboard(display, std::atof(argv[2]), argc == 4 ? argv[3] : "CLIPBOARD")
                           : command == "offer-clipboard"
                               ? HoldClipboard(display, std::atof(argv[2]), "CLIPBOARD", argv + 3, argc - 3)
                               : TakeFocus(display, std::atof(argv[2]));
        XCloseDisplay(display);
        return status;
    }
    if (command == "clear-clipboard") {
        XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), None, CurrentTime);
        XCloseDisplay(display);
        return 0;
    }
    if (command == "owned") {
        const bool owned = XGetSelectionOwner(display, XInternAtom(display, argv[2], False)) != None;
        XCloseDisplay(display);
        return owned ? 0 : 1;
    }
    XSetErrorHandler(NoteError);
    const Window window = std::strtoul(argv[2], nullptr, 0);
    bool done = true;
    if (command == "close") {
        SendProtocol(display, window, XInternAtom(display, "WM_DELETE_WINDOW", False), CurrentTime);
    } else if (command == "activate") {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        SendProtocol(display, window, XInternAtom(display, "WM_TAKE_FOCUS", False), CurrentTime);
    }
    else if (command == "ping")
        done = Ping(display, window, std::atof(argv[3]));
    else
        done = Type(display, window, argv[3]);
    XSync(display, False);
    XCloseDisplay(display);
    return done && !failed ? 0 : 1;
}
