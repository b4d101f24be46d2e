#include "widgets_qt.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QTextBlock>

namespace platform {

namespace {

// Laid out afresh, a line this long takes about a millisecond.
constexpr int kLongestBlinkingLine = 10'000;

} // namespace

// Each blink of the caret repaints its line, and Qt keeps no shaped glyphs
// between paints: it lays the whole line out again. On a line of a million
// characters that is a tenth of a second twice a second, for as long as the
// window sits idle with the focus in the text. There the caret stays lit
// instead. The blink is the application's one setting, and this text area is
// the only place that shows a caret.
void SteadyCaretOnLongLines(TextArea& area)
{
    QStyleHints& hints = *QGuiApplication::styleHints();
    // The desktop's blink, taken before any text area changed it.
    static const int blink = hints.cursorFlashTime();
    const auto follow = [&area, &hints] {
        const int wanted = area.textCursor().block().length() > kLongestBlinkingLine ? 0 : blink;
        if (hints.cursorFlashTime() != wanted)
            hints.setCursorFlashTime(wanted);
    };
    QObject::connect(&area, &QPlainTextEdit::cursorPositionChanged, &area, follow);
    QObject::connect(&area, &QPlainTextEdit::textChanged, &area, follow);
}

} // namespace platform
