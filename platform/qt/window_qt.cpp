#include "widgets_qt.h"

#include "platform_seam.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTranslator>
#include <QWindow>

#include <wayland-client.h>
#include <xcb/xcb.h>

#include <cstdio>

namespace platform {

namespace {

// Qt's own texts (the text area's context menu, the report's button) in the
// desktop's language, as the platform gives them; the program's own are
// Polish whatever the language.
void UseTheDesktopsLanguage()
{
    // Once for each application: the translator goes with the one it belongs to.
    static QPointer<QTranslator> translator;
    if (translator)
        return;
    translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

// A screen reader's view of the main window: a frame named by its title,
// rather than the filler that a plain widget would be.
QAccessibleInterface* WindowAccessibility(const QString&, QObject* object)
{
    if (auto* window = dynamic_cast<Window*>(object))
        return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}

// The program takes no command line.
std::unique_ptr<QApplication> NewApplication()
{
    static int argc = 1;
    static char name[] = "kresovar";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace

DispatchState& StateOf(Window& window)
{
    return window.state;
}

namespace {

void ShowMessage(Window* owner, const std::string& utf8Text, QMessageBox::Icon icon, const char* title)
{
    const QString text = QString::fromStdString(utf8Text);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    QMessageBox report(icon, QString::fromUtf8(title), text, QMessageBox::Ok,
                       owner && owner->isVisible() ? owner : nullptr);
    report.exec();
}

} // namespace

void ShowReport(Window* owner, const std::string& utf8Text)
{
    ShowMessage(owner, utf8Text, QMessageBox::Critical, ReportTitle);
}

void ShowNotice(Window* owner, const std::string& utf8Text)
{
    ShowMessage(owner, utf8Text, QMessageBox::Warning, NoticeTitle);
}

void LeaveEventLoop(Window& window, int status)
{
    window.hide();
    QCoreApplication::exit(status);
}

void WindowDeleter::operator()(Window* window) const
{
    ForgetMainWindow(window);
    std::unique_ptr<QApplication> application = std::move(window->ownedApplication);
    delete window;
}

int TwipsToPixels(int twips)
{
    return (twips * 96 + 720) / 1440;
}

void Window::closeEvent(QCloseEvent* event)
{
    event->accept();
    RequestClose(*this);
}

void Window::FollowState(Qt::WindowState windowState)
{
    if (windowState == Qt::WindowMaximized || windowState == Qt::WindowFullScreen)
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

// Fixed again only once the compositor has given the normal size back: a
// configure that comes between the request to maximise and its grant says
// "normal" too, and fixing the size then would break the grant.
void Window::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) && size() == fixedSize
        && maximumSize() != fixedSize)
        setFixedSize(fixedSize);
}

namespace {

// How long a display that does not answer yet is given: an X11 server started
// together with the program may still be starting.
constexpr int kDisplayStartMilliseconds = 2000;

// A connection to the X11 server that DISPLAY names, waiting for one that is
// still starting; none when it does not answer. It is held until Qt has its
// own: a server that has just started resets once its last client leaves,
// and would turn Qt away meanwhile.
using X11Probe = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;
X11Probe ConnectToX11()
{
    X11Probe none(nullptr, &xcb_disconnect);
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return none;
    const QDeadlineTimer deadline(kDisplayStartMilliseconds);
    for (;;) {
        X11Probe connection(xcb_connect(nullptr, nullptr), &xcb_disconnect);
        if (!xcb_connection_has_error(connection.get()))
            return connection;
        if (deadline.hasExpired())
            return none;
        QThread::msleep(50);
    }
}

// Whether the Wayland compositor that WAYLAND_DISPLAY names answers: Qt
// aborts on a display it cannot reach, as on an X11 server.
bool WaylandAnswers()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    wl_display* display = wl_display_connect(nullptr);
    if (display)
        wl_display_disconnect(display);
    return display != nullptr;
}

// The first of Qt's platforms `candidates` that answers, asked before Qt is,
// with the X11 connection to hold until Qt has its own; empty when none
// does. A platform without a display (offscreen) answers.
QByteArray PlatformThatAnswers(const QList<QByteArray>& candidates, X11Probe& x11)
{
    for (const QByteArray& candidate : candidates) {
        if (candidate.startsWith("xcb") ? (x11 = ConnectToX11()) != nullptr
                                        : !candidate.startsWith("wayland") || WaylandAnswers())
            return candidate;
    }
    return {};
}

// The window's application on the platform that QT_QPA_PLATFORM names (the
// first of its list that answers), or else Qt's own choice, Wayland first in
// a Wayland session.
std::unique_ptr<QApplication> NewWindowApplication()
{
    QList<QByteArray> candidates = qgetenv("QT_QPA_PLATFORM").split(';');
    candidates.removeAll(QByteArray());
    if (candidates.isEmpty()) {
        candidates = {"xcb", "wayland"};
        if (qgetenv("XDG_SESSION_TYPE") == "wayland")
            std::swap(candidates[0], candidates[1]);
    }
    X11Probe x11(nullptr, &xcb_disconnect);
    const QByteArray platform = PlatformThatAnswers(candidates, x11);
    if (platform.isEmpty())
        throw NoDisplay("Nie odpowiada ani serwer X11 (DISPLAY), ani Wayland (WAYLAND_DISPLAY).");
    qputenv("QT_QPA_PLATFORM", platform);
    return NewApplication();
}

} // namespace

WindowPtr CreateMainWindow(std::u16string_view title, std::u16string_view description,
                           int clientWidthTwips, int clientHeightTwips, std::string_view iconName,
                           std::string_view desktopId)
{
    std::unique_ptr<QApplication> application;
    if (!QApplication::instance())
        application = NewWindowApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    // On Wayland this is the window's app_id, which docks match to the desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromUtf8(desktopId.data(), static_cast<qsizetype>(desktopId.size())));
    UseTheDesktopsLanguage();
    static const bool accessible = (QAccessible::installFactory(WindowAccessibility), true);
    (void)accessible;

    WindowPtr window(new Window);
    window->ownedApplication = std::move(application);
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setWindowTitle(ToQString(title));
    window->setAccessibleName(ToQString(title));
    window->setAccessibleDescription(ToQString(description));
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1StringView(iconName))));
    window->fixedSize = QSize(TwipsToPixels(clientWidthTwips), TwipsToPixels(clientHeightTwips));
    window->setFixedSize(window->fixedSize);
    // The state changes as soon as it is asked for, before the compositor answers.
    window->winId();
    QObject::connect(window->windowHandle(), &QWindow::windowStateChanged, window.get(),
                     [raw = window.get()](Qt::WindowState windowState) { raw->FollowState(windowState); });
    SetMainWindow(window.get());
    return window;
}

TextArea& CreateTextArea(Window& window, TwipsRect place, std::u16string_view accessibleName)
{
    auto* area = new TextArea(&window);
    area->setAccessibleName(ToQString(accessibleName));
    area->setGeometry(TwipsToPixels(place.left), TwipsToPixels(place.top),
                      TwipsToPixels(place.width), TwipsToPixels(place.height));
    area->setLineWrapMode(QPlainTextEdit::NoWrap);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    area->setTabChangesFocus(true);
    SteadyCaretOnLongLines(*area);
    return *area;
}

Button& CreateButton(Window& window, std::u16string_view caption, TwipsRect place,
                     ClickHandler onClick)
{
    // A caption's '&' would mark an access key; the program's captions have none.
    QString text = ToQString(caption);
    text.replace(u'&', QStringLiteral("&&"));
    auto* button = new Button(text, &window);
    button->setAccessibleName(ToQString(caption));
    button->setGeometry(TwipsToPixels(place.left), TwipsToPixels(place.top),
                        TwipsToPixels(place.width), TwipsToPixels(place.height));
    button->setAutoDefault(false);
    button->setDefault(false);
    QObject::connect(button, &QPushButton::clicked, button,
                     [&window, handler = std::move(onClick)] { Dispatch(window, handler); });
    return *button;
}

// Qt 6.4 on Wayland reads the clipboard only for a focused window, and what
// it puts there the compositor ignores; XWayland's clipboard is bridged to
// the Wayland one both ways. Wayland is used only where no X11 server can be
// reached, to show the report of that; with no display at all, the report
// goes to standard error.
int RunWithoutWindow(const std::function<int()>& entry, int failureStatus)
{
    X11Probe x11(nullptr, &xcb_disconnect);
    const QByteArray platform = PlatformThatAnswers({"xcb", "wayland"}, x11);
    std::unique_ptr<QApplication> application;
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform);
        application = NewApplication();
    }
    return RunReported(
        [&] {
            if (platform != "xcb")
                throw PlatformError("Brak serwera X11 (XWayland), przez który program sięga do schowka.");
            return entry();
        },
        failureStatus);
}

int StartProgram(Window& window)
{
    window.show();
    NoteWindowOpened();
    if (QWidget* first = window.nextInFocusChain(); first && first != &window)
        first->setFocus(Qt::OtherFocusReason);
    return QApplication::exec();
}

// Only a running command pumps events, and its text area takes no input
// meanwhile: what was typed into the emptied area would be overwritten.
void PumpEvents()
{
    CheckFault("PumpEvents");
    QList<QPointer<TextArea>> held;
    if (Window* window = MainWindow()) {
        for (TextArea* area : window->findChildren<TextArea*>()) {
            if (!area->isReadOnly()) {
                area->setReadOnly(true);
                held.append(area);
            }
        }
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    for (const QPointer<TextArea>& area : held) {
        if (area)
            area->setReadOnly(false);
    }
    LeaveHandlerIfClosed();
}

namespace {

// Takes all input while the program waits for another one, and notes Escape.
class WaitingInput : public QObject {
public:
    bool escaped = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            escaped = escaped || static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

bool PumpWhileWaiting()
{
    WaitingInput input;
    QCoreApplication::instance()->installEventFilter(&input);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::instance()->removeEventFilter(&input);
    LeaveHandlerIfClosed();
    return !input.escaped;
}

std::uintptr_t WindowHandle(Window& window)
{
    CheckFault("WindowHandle");
    return static_cast<std::uintptr_t>(window.winId());
}

void EnableButton(Button& button, bool enabled)
{
    CheckFault("EnableButton");
    button.setEnabled(enabled);
}

} // namespace platform
