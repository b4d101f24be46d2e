#pragma once

// Helpers for tests on real widgets.

#include "platform.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>

inline std::u16string U16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size()));
}

// Runs `action` from inside the event loop that `StartProgram` runs, and
// returns the program's exit status. A test that never ends the program
// fails at the deadline instead of hanging.
inline int RunProgram(platform::Window& window, std::function<void()> action, int deadlineMs = 20000)
{
    QTimer::singleShot(0, std::move(action));
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] {
        ADD_FAILURE() << "the program did not end before the deadline";
        QCoreApplication::exit(99);
    });
    deadline.start(deadlineMs);
    return platform::StartProgram(window);
}

// Calls `onReport` with the first modal message box to open, then dismisses it.
inline void WhenReportShows(std::function<void(QMessageBox&)> onReport)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, onReport] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            onReport(*box);
            box->accept();
        }
    });
    poll->start(10);
}
