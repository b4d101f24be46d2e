#pragma once

// The Qt widgets behind the handles of platform.h. Only the Qt implementation
// and the tests include this header.

#include "platform.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace platform {

struct Window final : QWidget {
    // Set while a click handler runs: a close request then only ends the
    // program once the handler has been left.
    bool inHandler = false;
    bool closeRequested = false;
    bool ended = false;
    // The application this window created, when the caller had none.
    std::unique_ptr<QApplication> ownedApplication;

protected:
    void closeEvent(QCloseEvent* event) override;
};

struct TextArea final : QPlainTextEdit {
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

struct Button final : QPushButton {
    using QPushButton::QPushButton;
};

// Device-independent pixels: Qt already scales them by the screen's device
// pixel ratio, so a twip is always 1/15 of one.
int TwipsToPixels(int twips);

// Copies every code unit as it is (QString::fromUtf16 would drop a leading
// byte order mark).
inline QString ToQString(std::u16string_view text)
{
    return QStringView(text.data(), static_cast<qsizetype>(text.size())).toString();
}

// Runs a click handler to its end; the one place that catches failures.
void Dispatch(Window& window, const ClickHandler& handler);

// A seam for tests: Qt reports no failure of these operations by itself, so a
// test build may make one raise the failure type. Each operation calls
// CheckFault with its own name first.
using FaultHook = std::function<void(std::string_view operation)>;
void SetFaultHook(FaultHook hook);
void CheckFault(std::string_view operation);

} // namespace platform
