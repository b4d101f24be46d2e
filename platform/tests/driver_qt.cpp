#include "driver.h"

#include "qt/widgets_qt.h"

#include <QClipboard>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTest>
#include <QAccessible>
#include <QDeadlineTimer>
#include <QTimer>

#include <gtest/gtest.h>


using namespace platform;

namespace driver {

namespace {

constexpr int kDeadlineMs = 20000;

QWidget* Focused()
{
    QWidget* focused = QApplication::focusWidget();
    if (!focused)
        ADD_FAILURE() << "no control has the focus";
    return focused;
}

} // namespace

void Show(Window& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    if (QWidget* first = window.nextInFocusChain(); first && first != &window)
        first->setFocus(Qt::OtherFocusReason);
}

int RunProgram(Window& window, std::function<void()> action)
{
    QTimer::singleShot(0, &window, [&window, action = std::move(action)] {
        QApplication::setActiveWindow(&window);
        action();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] {
        ADD_FAILURE() << "the program did not end within 20 s";
        QCoreApplication::exit(99);
    });
    deadline.start(kDeadlineMs);
    return StartProgram(window);
}

void Click(Button& button)
{
    QTest::mouseClick(&button, Qt::LeftButton);
}

void QueueClick(Button& button)
{
    QMetaObject::invokeMethod(&button, "clicked", Qt::QueuedConnection);
}

void Press(Key key)
{
    QWidget* focused = Focused();
    if (!focused)
        return;
    switch (key) {
    case Key::Enter: QTest::keyClick(focused, Qt::Key_Return); break;
    case Key::ShiftEnter: QTest::keyClick(focused, Qt::Key_Return, Qt::ShiftModifier); break;
    case Key::CtrlEnter: QTest::keyClick(focused, Qt::Key_Return, Qt::ControlModifier); break;
    case Key::Tab: QTest::keyClick(focused, Qt::Key_Tab); break;
    case Key::Escape: QTest::keyClick(focused, Qt::Key_Escape); break;
    case Key::Space: QTest::keyClick(focused, Qt::Key_Space); break;
    case Key::Delete: QTest::keyClick(focused, Qt::Key_Delete); break;
    case Key::Backspace: QTest::keyClick(focused, Qt::Key_Backspace); break;
    case Key::CtrlX: QTest::keyClick(focused, Qt::Key_X, Qt::ControlModifier); break;
    case Key::CtrlZ: QTest::keyClick(focused, Qt::Key_Z, Qt::ControlModifier); break;
    case Key::CtrlY: QTest::keyClick(focused, Qt::Key_Y, Qt::ControlModifier); break;
    case Key::CtrlV: QTest::keyClick(focused, Qt::Key_V, Qt::ControlModifier); break;
    case Key::AltBackspace: QTest::keyClick(focused, Qt::Key_Backspace, Qt::AltModifier); break;
    }
}

void SetClipboardText(std::u16string_view text)
{
    QGuiApplication::clipboard()->setText(platform::ToQString(text));
}

void Type(std::u16string_view text)
{
    QWidget* focused = Focused();
    if (!focused)
        return;
    // QTest's own typing knows only ASCII keys; a key event carries any text.
    for (char16_t unit : text) {
        const QString character(QChar{unit});
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent key(type, Qt::Key_unknown, Qt::NoModifier, character);
            QApplication::sendEvent(focused, &key);
        }
    }
}

void RequestClose(Window& window)
{
    window.close();
}

ReportWatch::ReportWatch()
{
    auto* poll = new QTimer;
    timer_ = reinterpret_cast<std::uintptr_t>(poll);
    const QDeadlineTimer deadline(kDeadlineMs);
    QObject::connect(poll, &QTimer::timeout, [this, poll, deadline] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++shown;
            const QString boxText = box->text();
            text.assign(reinterpret_cast<const char16_t*>(boxText.constData()), static_cast<std::size_t>(boxText.size()));
            box->accept();
        }
        if (deadline.hasExpired())
            poll->stop();
    });
    poll->start(10);
}

ReportWatch::~ReportWatch()
{
    delete reinterpret_cast<QTimer*>(timer_);
}

void Select(TextArea& area, std::int32_t anchor, std::int32_t active)
{
    PlaceCaret(area, anchor);
    const int from = area.textCursor().position();
    PlaceCaret(area, active);
    QTextCursor cursor = area.textCursor();
    const int to = cursor.position();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    area.setTextCursor(cursor);
}

bool HasSelection(TextArea& area)
{
    return area.textCursor().hasSelection();
}

bool HasFocus(TextArea& area)
{
    return area.window()->focusWidget() == &area;
}

bool HasFocus(Button& button)
{
    return button.window()->focusWidget() == &button;
}

bool IsEnabled(Button& button)
{
    return button.isEnabled();
}

std::u16string AccessibleName(TextArea& area)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&area);
    const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
    return std::u16string(reinterpret_cast<const char16_t*>(name.constData()), static_cast<std::size_t>(name.size()));
}

} // namespace driver
