#include "widgets_qt.h"

#include "platform_seam.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <limits>

// The document keeps one block per line, and a block break takes one position
// in the document; the program counts it as the two units CR LF. So the text
// offset of a document position is that position plus the number of the block
// that holds it.

namespace platform {

namespace {

constexpr char16_t kBlockBreak = u'\u2029';

std::int32_t ClampToOffset(qsizetype value)
{
    return static_cast<std::int32_t>(std::min<qsizetype>(value, std::numeric_limits<std::int32_t>::max()));
}

qsizetype TextOffsetOfBlock(const QTextBlock& block)
{
    return static_cast<qsizetype>(block.position()) + block.blockNumber();
}

// The block that holds a text offset, the last whose text offset is not past
// it. The number n of that block lies between the block at document position
// offset - low and the one at offset - high, for any low <= n <= high; each
// round of two logarithmic lookups narrows the range by about the length of a
// line, and a binary search over block numbers finishes it.
QTextBlock BlockAtTextOffset(const QTextDocument& document, qsizetype offset)
{
    const qsizetype lastPosition = document.characterCount() - 1;
    const auto numberAt = [&](qsizetype position) {
        return document.findBlock(static_cast<int>(std::clamp<qsizetype>(position, 0, lastPosition))).blockNumber();
    };
    int high = numberAt(offset);
    int low = numberAt(offset - high);
    for (int round = 0; high - low > 4 && round < 8; ++round) {
        high = numberAt(offset - low);
        low = numberAt(offset - high);
    }
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (TextOffsetOfBlock(document.findBlockByNumber(middle)) <= offset)
            low = middle;
        else
            high = middle - 1;
    }
    return document.findBlockByNumber(low);
}

} // namespace

void TextArea::keyPressEvent(QKeyEvent* event)
{
    // Qt makes Shift+Enter a line separator (U+2028), which other programs
    // show differently, and ignores Ctrl+Enter; a user who presses either
    // wants the same new line as Enter, which the Windows build types too.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers changed = Qt::ShiftModifier | Qt::ControlModifier;
    if (enter && (event->modifiers() & changed)) {
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~changed, QStringLiteral("\r"),
                        event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QPlainTextEdit::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

std::u16string ReadText(TextArea& area)
{
    CheckFault("ReadText");
    // toPlainText() would turn U+00A0 into a space and U+2028 into a line
    // feed; the raw text keeps every unit and marks block breaks with U+2029.
    const QString raw = area.document()->toRawText();
    const std::u16string_view units(reinterpret_cast<const char16_t*>(raw.constData()), static_cast<std::size_t>(raw.size()));
    std::u16string text;
    text.reserve(units.size() + static_cast<std::size_t>(area.document()->blockCount() - 1));
    for (std::size_t at = 0;;) {
        const std::size_t lineEnd = units.find(kBlockBreak, at);
        text.append(units.substr(at, lineEnd - at));
        if (lineEnd == std::u16string_view::npos)
            break;
        text.append(u"\r\n");
        at = lineEnd + 1;
    }
    return text;
}

void WriteText(TextArea& area, std::u16string_view text)
{
    CheckFault("WriteText");
    // The document copies the characters into its own buffer and keeps no
    // reference to the string, so the text need not be copied first.
    const auto units = reinterpret_cast<const QChar*>(text.data());
    area.setPlainText(QString::fromRawData(units, static_cast<qsizetype>(text.size())));
}

std::int32_t CaretPos(TextArea& area)
{
    CheckFault("CaretPos");
    const int position = area.textCursor().selectionStart();
    return ClampToOffset(static_cast<qsizetype>(position) + area.document()->findBlock(position).blockNumber());
}

void PlaceCaret(TextArea& area, std::int32_t offset)
{
    CheckFault("PlaceCaret");
    const QTextDocument& document = *area.document();
    const QTextBlock block = BlockAtTextOffset(document, std::max<std::int32_t>(offset, 0));
    const qsizetype lineLength = block.length() - 1;
    const qsizetype column = std::clamp<qsizetype>(offset - TextOffsetOfBlock(block), 0, lineLength);
    QTextCursor cursor = area.textCursor();
    cursor.setPosition(block.position() + static_cast<int>(column));
    area.setTextCursor(cursor);
}

void CollapseSelection(TextArea& area)
{
    CheckFault("CollapseSelection");
    QTextCursor cursor = area.textCursor();
    cursor.setPosition(cursor.selectionStart());
    area.setTextCursor(cursor);
}

void TakeFocus(TextArea& area)
{
    CheckFault("TakeFocus");
    area.setFocus(Qt::OtherFocusReason);
}

} // namespace platform
