#pragma once

// The Qt widgets behind the handles of platform.h. Only the Qt implementation
// and its tests include this header.

#include "dispatch.h"
#include "platform.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <memory>

namespace platform {

struct Window final : QWidget {
    DispatchState state;
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

} // namespace platform
