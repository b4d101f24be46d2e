#include "widgets_qt.h"

#include "run_handler.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>

namespace platform {

namespace {

// The window whose handlers run now; PumpEvents asks it whether it was closed.
QPointer<Window> mainWindow;

FaultHook faultHook;

void Finish(Window& window, int status)
{
    window.ended = true;
    window.hide();
    QCoreApplication::exit(status);
}

void ReportFailure(Window& window, std::int32_t number, const QString& description)
{
    QMessageBox report(QMessageBox::Critical, QStringLiteral("Kresovar – błąd"),
                       QStringLiteral("Operacja systemu nie powiodła się i program zostanie zamknięty.\n\n"
                                      "Błąd nr %1: %2").arg(number).arg(description),
                       QMessageBox::Ok, window.isVisible() ? &window : nullptr);
    report.exec();
}

} // namespace

void ReportFailureWithoutWindow(std::int32_t number, const std::string& description)
{
    const QString text = QStringLiteral("Nie udało się otworzyć okna programu.\n\nBłąd nr %1: %2")
                             .arg(number)
                             .arg(QString::fromStdString(description));
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMessageBox::critical(nullptr, QStringLiteral("Kresovar – błąd"), text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

void SetFaultHook(FaultHook hook)
{
    faultHook = std::move(hook);
}

void CheckFault(std::string_view operation)
{
    if (faultHook)
        faultHook(operation);
}

void WindowDeleter::operator()(Window* window) const
{
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
    if (inHandler)
        closeRequested = true;
    else
        Finish(*this, 0);
}

void Dispatch(Window& window, const ClickHandler& handler)
{
    if (window.ended || window.inHandler)
        return;
    window.inHandler = true;
    const std::optional<int> end = RunHandler(handler, [&window](std::int32_t number, const std::string& description) {
        ReportFailure(window, number, QString::fromStdString(description));
    });
    window.inHandler = false;
    if (end)
        Finish(window, *end);
    else if (window.closeRequested)
        Finish(window, 0);
}

WindowPtr CreateMainWindow(std::u16string_view title, std::u16string_view description,
                           int clientWidthTwips, int clientHeightTwips, std::string_view iconName)
{
    std::unique_ptr<QApplication> application;
    if (!QApplication::instance()) {
        // The program takes no command line.
        static int argc = 1;
        static char name[] = "kresovar";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
    }
    QApplication::setQuitOnLastWindowClosed(false);

    WindowPtr window(new Window);
    window->ownedApplication = std::move(application);
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setWindowTitle(ToQString(title));
    window->setAccessibleName(ToQString(title));
    window->setAccessibleDescription(ToQString(description));
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1StringView(iconName))));
    window->setFixedSize(TwipsToPixels(clientWidthTwips), TwipsToPixels(clientHeightTwips));
    mainWindow = window.get();
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

int StartProgram(Window& window)
{
    window.show();
    if (QWidget* first = window.nextInFocusChain(); first && first != &window)
        first->setFocus(Qt::OtherFocusReason);
    return QApplication::exec();
}

void PumpEvents()
{
    CheckFault("PumpEvents");
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (mainWindow && mainWindow->closeRequested)
        throw ProgramEnd{};
}

std::uintptr_t WindowHandle(Window& window)
{
    CheckFault("WindowHandle");
    return static_cast<std::uintptr_t>(window.winId());
}

void EndProgram()
{
    throw ProgramEnd{};
}

void EnableButton(Button& button, bool enabled)
{
    CheckFault("EnableButton");
    button.setEnabled(enabled);
}

} // namespace platform
