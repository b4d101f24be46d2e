#pragma once

// The Qt widgets behind the handles of platform.h. Only the Qt implementation
// and its tests include this header.

#include "dispatch.h"
#include "platform.h"
#include "platform_qt.h"
#include "platform_seam.h"
#include "undo_record.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// The document keeps one block per line and no record of how a line ended;
// each block break's character format carries the form of the line break it
// stands for, which edits and undo keep with the break. `breaks` sums those forms up for the
// offset mapping, and is made again after an edit that adds, removes or
// moves a line break.
struct TextArea final : QPlainTextEdit {
    explicit TextArea(QWidget* parent);

    struct Breaks {
        bool known = false;
        int blocks = 0;
        // The one form of every break, or -1 when they differ.
        int form = 0;
        // When they differ: the number of CR LF breaks before each block.
        std::vector<std::int32_t> crLfBefore;
    };
    Breaks breaks;
    // Counts the document's edits; a WriteText that follows an emptying one
    // with no edit between joins its undo step.
    std::int64_t edits = 0;
    std::int64_t joinAfterEdit = -1;
    // While a text dragged within the text area is dropped: Qt has already
    // taken it out, in the same undo step as the drop.
    bool movingWithin = false;

    // Every edit goes to the program's record: the commands' and pastes' at
    // once, the typing from the document's own record, which groups it,
    // before any other edit, undo or redo.
    UndoRecord record;
    // While the document's undo is being traced: the span of document
    // positions that it changed, and the change in length.
    struct Span {
        int start = std::numeric_limits<int>::max();
        int end = 0;
        int delta = 0;
    };
    Span span;
    bool capturing = false;
    // Ctrl+Z and Ctrl+Y, the context menu's Undo and Redo.
    void Undo();
    void Redo();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
};

struct Button final : QPushButton {
    using QPushButton::QPushButton;
};

// Keeps the caret from blinking while it stands on a line so long that each
// blink would cost a noticeable share of the CPU.
void SteadyCaretOnLongLines(TextArea& area);

// Device-independent pixels: Qt already scales them by the screen's device
// pixel ratio, so a twip is always 1/15 of one.
int TwipsToPixels(int twips);

} // namespace platform
