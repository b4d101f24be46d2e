#include "clipboard.h"

#include "platform_seam.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.data()), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_ATOM_NONE;
}

// Asks the clipboard manager, where one runs, to save the clipboard
// (SAVE_TARGETS, which Qt also sends as it ends). Its answer is not
// trusted: weston's bridge to XWayland says it has saved the text before it
// has read it. A manager that has saved it takes the clipboard over.
class SaveRequest {
public:
    explicit SaveRequest(xcb_connection_t* connection)
        : connection_(connection), requestor_(xcb_generate_id(connection))
    {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, requestor_, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const xcb_atom_t target = Atom(connection, "SAVE_TARGETS");
        xcb_convert_selection(connection, requestor_, Atom(connection, "CLIPBOARD_MANAGER"), target, target,
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

} // namespace

// Ends once another program, the clipboard manager too, has taken the
// clipboard: Qt reports that as QClipboard::changed.
void ClipboardKeep()
{
    platform::CheckFault("ClipboardKeep");
    QClipboard* clipboard = QGuiApplication::clipboard();
    QEventLoop loop;
    QObject::connect(clipboard, &QClipboard::changed, &loop, [&](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            loop.quit();
    });
    std::optional<SaveRequest> request;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        request.emplace(x11->connection());
    if (clipboard->ownsClipboard())
        loop.exec();
}
