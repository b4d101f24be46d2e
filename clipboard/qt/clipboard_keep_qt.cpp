#include "clipboard.h"

#include "platform_seam.h"
#include "xcb_x11.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace {

// Asks the clipboard manager, where one runs, to save the clipboard
// (SAVE_TARGETS, which Qt also sends as it ends). Its answer is not
// trusted: weston's bridge to XWayland says it has saved the text before it
// has read it. A manager that has saved it takes the clipboard over.
class SaveRequest {
public:
    explicit SaveRequest(xcb_connection_t* connection)
        : connection_(connection), requestor_(x11::CreateRequestor(connection, 0))
    {
        const xcb_atom_t target = x11::Intern(connection, "SAVE_TARGETS");
        xcb_convert_selection(connection, requestor_, x11::Intern(connection, "CLIPBOARD_MANAGER"), target, target,
                              XCB_CURRENT_TIME);
        xcb_flush(connection);
    }
    ~SaveRequest()
    {
        xcb_destroy_window(connection_, requestor_);
        xcb_flush(connection_);
    }
    SaveRequest(const SaveRequest&) = delete;
    SaveRequest& operator=(const SaveRequest&) = delete;

private:
    xcb_connection_t* connection_;
    xcb_window_t requestor_;
};

// The signals that ask a program to end: while one of these lives, they end
// the event loop instead (at once, or as it starts), so that the program ends as it always does, and Qt
// hands its clipboard to a clipboard manager. A handler only writes the
// signal's number to a pipe, which the loop reads.
class EndSignals {
public:
    explicit EndSignals(QEventLoop& loop)
    {
        if (pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0)
            return; // The signals then end the program, as by default.
        writeEnd = pipe_[1];
        struct sigaction action {};
        action.sa_handler = Note;
        sigemptyset(&action.sa_mask);
        for (std::size_t at = 0; at < kSignals.size(); ++at) {
            sigaction(kSignals[at], &action, &previous_[at]);
            // One that the program was started ignoring (nohup) stays ignored.
            if (previous_[at].sa_handler == SIG_IGN)
                sigaction(kSignals[at], &previous_[at], nullptr);
        }
        notifier_.emplace(pipe_[0], QSocketNotifier::Read);
        QObject::connect(&*notifier_, &QSocketNotifier::activated, &loop, [this, &loop] {
            if (read(pipe_[0], &caught_, 1) == 1)
                loop.quit();
        });
    }
    ~EndSignals()
    {
        if (!notifier_)
            return;
        for (std::size_t at = 0; at < kSignals.size(); ++at)
            sigaction(kSignals[at], &previous_[at], nullptr);
        notifier_.reset();
        close(pipe_[0]);
        close(pipe_[1]);
    }
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // The number of the signal that ended the loop, or 0.
    int Caught() const { return caught_; }

private:
    static constexpr std::array kSignals = {SIGTERM, SIGINT, SIGHUP};
    static inline int writeEnd = -1;
    static void Note(int signal)
    {
        const int saved = errno;
        const auto number = static_cast<unsigned char>(signal);
        (void)!write(writeEnd, &number, 1);
        errno = saved;
    }

    std::array<int, 2> pipe_{-1, -1};
    std::array<struct sigaction, kSignals.size()> previous_{};
    std::optional<QSocketNotifier> notifier_;
    unsigned char caught_ = 0;
};

} // namespace

// Ends once another program, the clipboard manager too, has taken the
// clipboard, which Qt reports as QClipboard::changed, or a signal has come.
// The signals are caught before the text is placed: once it is, the owner
// before has let the clipboard go, and a signal that ended the program would
// lose the text.
int ClipboardKeep(std::u16string_view text)
{
    platform::CheckFault("ClipboardKeep");
    QClipboard* clipboard = QGuiApplication::clipboard();
    QEventLoop loop;
    const EndSignals endSignals(loop);
    ClipboardWrite(text);
    QObject::connect(clipboard, &QClipboard::changed, &loop, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            loop.quit();
    });
    std::optional<SaveRequest> request;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        request.emplace(x11->connection());
    if (clipboard->ownsClipboard())
        loop.exec();
    return endSignals.Caught();
}
