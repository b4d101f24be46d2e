#pragma once

// The Qt widgets behind the handles of platform.h. Only the Qt implementation
// and its tests include this header.

#include "dispatch.h"
#include "platform.h"
#include "platform_seam.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace platform {

struct Window final : QWidget {
    DispatchState state;
    // The client area's size, kept whenever the window is neither maximised nor full-screen.
    QSize fixedSize;
    // The application this window created, when the caller had none.
    std::unique_ptr<QApplication> ownedApplication;

    // Qt's own title bar on Wayland offers to maximise even a window of
    // fixed size, and a compositor that grants it sends the size that the
    // window must then take, or it ends the program. So a window asked to
    // maximise may take any size, its controls where they always are; once
    // back to normal and to its own size, that size is fixed again.
    void FollowState(Qt::WindowState windowState);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
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

} // namespace platform
