#include "widgets_qt.h"

#include "clipboard_qt.h"
#include "platform_seam.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <limits>

// The document keeps one block per line, and a block break takes one position
// in the document whatever the form of the line break it stands for. So the
// text offset of a document position is that position plus the number of
// CR LF breaks before the block that holds it.
//
// Each break's form is a property of the break's own character format: an
// edit either keeps a break, its format with it, or removes it, and undo
// brings the format back. A block's format would not do, for when a removal
// merges blocks Qt keeps the format of the first block or, if the removal
// began at that block's start, of the last one.
//
// A lone CR that an edit leaves directly before an LF (with the line between
// them emptied, or a new line typed there) is written as CR LF: written as it
// is, the two would read as one line break, and a line the window shows would
// be lost.

namespace platform {

namespace {

// The forms of a line break, by the value of the break's format property.
enum Form : int { kLf, kCrLf, kCr, kParagraph, kForms };
constexpr std::array<std::u16string_view, kForms> kUnits = {u"\n", u"\r\n", u"\r", u"\u2029"};
constexpr int kFormProperty = QTextFormat::UserProperty + 1;
constexpr char16_t kBlockBreak = u'\u2029';
// The document takes these two as frame marks and would make each a block
// break; it can hold neither.
constexpr char16_t kFrameStart = u'\uFDD0';
constexpr char16_t kFrameEnd = u'\uFDD1';
constexpr char16_t kReplacement = u'\uFFFD';

QString View(std::u16string_view text)
{
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::int32_t ClampToOffset(qsizetype value)
{
    return static_cast<std::int32_t>(std::min<qsizetype>(value, std::numeric_limits<std::int32_t>::max()));
}

// The form of the break before a block, looked up once per format.
class FormOf {
public:
    int operator()(const QTextBlock& block)
    {
        const int index = block.charFormatIndex();
        for (const auto& [known, form] : seen_) {
            if (known == index)
                return form;
        }
        const int form = std::clamp(block.charFormat().intProperty(kFormProperty), 0, kForms - 1);
        seen_.emplace_back(index, form);
        return form;
    }

private:
    std::vector<std::pair<int, int>> seen_;
};

// The form in which the break before a block is written.
int WrittenForm(const QTextBlock& block, FormOf& formOf)
{
    const int form = formOf(block);
    if (form != kCr || block.length() != 1)
        return form;
    const QTextBlock next = block.next();
    return next.isValid() && formOf(next) == kLf ? kCrLf : form;
}

const TextArea::Breaks& Breaks(const TextArea& area)
{
    auto& breaks = const_cast<TextArea&>(area).breaks;
    if (breaks.known)
        return breaks;
    const QTextDocument& document = *area.document();
    FormOf formOf;
    std::vector<std::int32_t> crLfBefore(static_cast<std::size_t>(document.blockCount()), 0);
    int first = -1;
    bool mixed = false;
    std::int32_t count = 0;
    std::size_t number = 1;
    for (QTextBlock block = document.begin().next(); block.isValid(); block = block.next(), ++number) {
        const int form = formOf(block);
        first = first < 0 ? form : first;
        mixed = mixed || form != first;
        count += WrittenForm(block, formOf) == kCrLf;
        crLfBefore[number] = count;
    }
    breaks.blocks = document.blockCount();
    breaks.form = mixed ? -1 : std::max(first, 0);
    breaks.crLfBefore = mixed ? std::move(crLfBefore) : std::vector<std::int32_t>{};
    breaks.known = true;
    return breaks;
}

qsizetype CrLfBefore(const TextArea& area, int blockNumber)
{
    const TextArea::Breaks& breaks = Breaks(area);
    if (breaks.form < 0)
        return breaks.crLfBefore[static_cast<std::size_t>(blockNumber)];
    return breaks.form == kCrLf ? blockNumber : 0;
}

qsizetype TextOffsetOfBlock(const TextArea& area, const QTextBlock& block)
{
    return static_cast<qsizetype>(block.position()) + CrLfBefore(area, block.blockNumber());
}

// The block that holds a text offset, the last whose text offset is not past
// it. Its number lies between that of the block at document position offset
// and that of the block at offset less the CR LF breaks before the first.
QTextBlock BlockAtTextOffset(const TextArea& area, qsizetype offset)
{
    const QTextDocument& document = *area.document();
    const qsizetype lastPosition = document.characterCount() - 1;
    const auto numberAt = [&](qsizetype position) {
        return document.findBlock(static_cast<int>(std::clamp<qsizetype>(position, 0, lastPosition))).blockNumber();
    };
    int high = numberAt(offset);
    int low = numberAt(offset - CrLfBefore(area, high));
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (TextOffsetOfBlock(area, document.findBlockByNumber(middle)) <= offset)
            low = middle;
        else
            high = middle - 1;
    }
    return document.findBlockByNumber(low);
}

QTextCharFormat FormatFor(int form)
{
    QTextCharFormat format;
    format.setProperty(kFormProperty, form);
    return format;
}

// Inserts a text at the cursor, each line break as a block break whose format
// records its form. Qt gives the breaks of one insertion the format it is
// given, so each run of breaks of one form goes in with one call.
// Returns the forms it met, one bit each.
int InsertText(QTextCursor& cursor, std::u16string_view text)
{
    int forms = 0;
    std::size_t pending = 0;
    int runForm = -1;
    const auto flush = [&](std::size_t end) {
        if (end > pending)
            cursor.insertText(View(text.substr(pending, end - pending)), FormatFor(std::max(runForm, 0)));
    };
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at];
        if (unit > u'\r' && unit < kBlockBreak)
            continue;
        int form = kForms;
        if (unit == u'\n')
            form = kLf;
        else if (unit == u'\r')
            form = at + 1 < text.size() && text[at + 1] == u'\n' ? kCrLf : kCr;
        else if (unit == kBlockBreak)
            form = kParagraph;
        if (unit == kFrameStart || unit == kFrameEnd) {
            flush(at);
            cursor.insertText(QString(QChar(kReplacement)));
            pending = at + 1;
        } else if (form != kForms && form != runForm) {
            flush(at);
            runForm = form;
            forms |= 1 << form;
            pending = at;
            at += form == kCrLf;
        } else {
            at += form == kCrLf;
        }
    }
    flush(text.size());
    return forms;
}

// The text of the document between two positions, each block break in the
// form of the line break it stands for.
std::u16string TextBetween(const TextArea& area, int from, int to)
{
    QTextCursor range(area.document());
    range.setPosition(from);
    range.setPosition(to, QTextCursor::KeepAnchor);
    const QString raw = from == 0 && to >= area.document()->characterCount() - 1 ? area.document()->toRawText()
                                                                                  : range.selectedText();
    const std::u16string_view units = Units(raw);
    const TextArea::Breaks& breaks = Breaks(area);
    QTextBlock block = area.document()->findBlock(from);
    FormOf formOf;
    std::u16string text;
    text.reserve(units.size() + static_cast<std::size_t>(CrLfBefore(area, area.document()->findBlock(to).blockNumber())
                                                         - CrLfBefore(area, block.blockNumber())));
    for (std::size_t at = 0;;) {
        const std::size_t lineEnd = units.find(kBlockBreak, at);
        text.append(units.substr(at, lineEnd - at));
        if (lineEnd == std::u16string_view::npos)
            break;
        block = block.next();
        text.append(kUnits[static_cast<std::size_t>(breaks.form >= 0 ? breaks.form : WrittenForm(block, formOf))]);
        at = lineEnd + 1;
    }
    return text;
}

std::u16string WholeText(const TextArea& area)
{
    return TextBetween(area, 0, area.document()->characterCount() - 1);
}

std::int32_t TextOffsetOf(const TextArea& area, int position)
{
    return ClampToOffset(static_cast<qsizetype>(position)
                         + CrLfBefore(area, area.document()->findBlock(position).blockNumber()));
}

void PlaceCaretAt(TextArea& area, std::int32_t offset)
{
    const QTextBlock block = BlockAtTextOffset(area, std::max<std::int32_t>(offset, 0));
    const qsizetype lineLength = block.length() - 1;
    const qsizetype column = std::clamp<qsizetype>(offset - TextOffsetOfBlock(area, block), 0, lineLength);
    QTextCursor cursor = area.textCursor();
    cursor.setPosition(block.position() + static_cast<int>(column));
    area.setTextCursor(cursor);
}

// Replaces the whole text outside the document's undo record, which would
// keep every text it ever held; clearing the document frees the old one.
void Replace(TextArea& area, std::u16string_view text)
{
    QTextDocument& document = *area.document();
    const bool undo = document.isUndoRedoEnabled();
    document.clear();
    document.setUndoRedoEnabled(false);
    QTextCursor cursor(&document);
    const int forms = InsertText(cursor, text);
    document.setUndoRedoEnabled(undo);
    // A text whose breaks take one form needs no look at its blocks.
    if (std::has_single_bit(static_cast<unsigned>(forms)) || forms == 0)
        area.breaks = {true, document.blockCount(), forms ? std::countr_zero(static_cast<unsigned>(forms)) : kLf, {}};
    else
        area.breaks.known = false;
}

// Replaces the selection with a text, its line breaks as they come.
void InsertAtCaret(TextArea& area, const QString& text)
{
    QTextCursor cursor = area.textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    InsertText(cursor, Units(text));
    cursor.endEditBlock();
    area.setTextCursor(cursor);
    area.ensureCursorVisible();
}

// The lines that hold the document positions from `from` to `to`, with the
// line break before and after them: the form in which each break is written
// depends on the lines beside it, so an edit within these changes no unit
// of the text outside them.
struct Lines {
    std::int32_t offset;
    std::u16string units;
};

Lines LinesAround(const TextArea& area, int from, int to)
{
    const QTextDocument& document = *area.document();
    const int last = document.characterCount() - 1;
    const QTextBlock first = document.findBlock(std::clamp(from, 0, last));
    const QTextBlock end = document.findBlock(std::clamp(to, 0, last)).next();
    const int start = first.position() - (first.previous().isValid() ? 1 : 0);
    return {TextOffsetOf(area, start), TextBetween(area, start, end.isValid() ? end.position() : last)};
}

// Moves the typing that the document's own record holds into the program's
// record, one step for each of the document's, which groups typing as the
// user expects; the document's record, which keeps every unit it was ever
// given, then starts afresh. Each step is undone to find where it edited,
// then redone with the lines around that read before and after.
void Flush(TextArea& area)
{
    QTextDocument& document = *area.document();
    if (!document.isUndoAvailable())
        return;
    // Positions, not a cursor, which would move with the undo and redo.
    const int anchor = area.textCursor().anchor();
    const int position = area.textCursor().position();
    std::vector<TextArea::Span> spans;
    while (document.isUndoAvailable()) {
        area.span = TextArea::Span{};
        area.capturing = true;
        document.undo();
        area.capturing = false;
        spans.push_back(area.span);
    }
    for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
        Lines before = LinesAround(area, span->start, span->end);
        document.redo();
        const Lines after = LinesAround(area, span->start, span->end - span->delta);
        area.record.Close();
        area.record.Edit(before.offset, std::move(before.units), after.units, -1);
        area.record.Close();
    }
    document.setUndoRedoEnabled(false);
    document.setUndoRedoEnabled(true);
    QTextCursor back(&document);
    back.setPosition(anchor);
    back.setPosition(position, QTextCursor::KeepAnchor);
    area.setTextCursor(back);
}

// Edits the document outside its own record, `edit` returning the position
// where its change ends, and records the edit as one step.
void EditAsStep(TextArea& area, const std::function<int()>& edit)
{
    Flush(area);
    QTextDocument& document = *area.document();
    // Positions, not a cursor, which would move with the edit.
    const int start = area.textCursor().selectionStart();
    const std::int32_t caret = TextOffsetOf(area, start);
    Lines before = LinesAround(area, start, area.textCursor().selectionEnd());
    document.setUndoRedoEnabled(false);
    const int end = edit();
    document.setUndoRedoEnabled(true);
    const Lines after = LinesAround(area, start, end);
    area.record.Close();
    area.record.Edit(before.offset, std::move(before.units), after.units, caret);
    area.record.Close();
}

// Takes the whole text one step back or forward, the caret to where it stood.
void UndoStep(TextArea& area, bool back)
{
    Flush(area);
    area.record.Close();
    if (back ? !area.record.CanUndo() : !area.record.CanRedo())
        return;
    std::u16string text = WholeText(area);
    const std::int32_t caret = TextOffsetOf(area, area.textCursor().selectionStart());
    const std::int32_t to = back ? area.record.Undo(text, caret) : area.record.Redo(text, caret);
    Replace(area, text);
    PlaceCaretAt(area, to);
    area.ensureCursorVisible();
}

} // namespace

TextArea::TextArea(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // An edit inside one line leaves the record as it is, unless it empties
    // the line or fills an empty one, which a lone CR may end.
    connect(document(), &QTextDocument::contentsChange, this, [this](int position, int removed, int added) {
        ++edits;
        const QTextDocument& text = *document();
        const QTextBlock block = text.findBlock(position);
        if (text.blockCount() != breaks.blocks || block != text.findBlock(position + added) || block.length() == 1
            || block.length() - 1 == added)
            breaks.known = false;
        if (capturing) {
            span.end = std::max(span.end, position + removed) + added - removed;
            span.start = std::min(span.start, position);
            span.delta += added - removed;
        }
    });
}

void TextArea::Undo()
{
    UndoStep(*this, true);
}

void TextArea::Redo()
{
    UndoStep(*this, false);
}

void TextArea::keyPressEvent(QKeyEvent* event)
{
    // A typed line break takes the form of the text's first one, LF in a
    // text with none. Qt would make Shift+Enter a line separator (U+2028)
    // and ignore Ctrl+Enter; a user who presses either wants a new line too.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers plain = Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier;
    if (enter && !(event->modifiers() & ~plain) && !isReadOnly()) {
        const QTextBlock second = document()->begin().next();
        QTextCursor cursor = textCursor();
        cursor.insertBlock(QTextBlockFormat(), FormatFor(second.isValid() ? FormOf()(second) : kLf));
        setTextCursor(cursor);
        ensureCursorVisible();
        event->accept();
        return;
    }
    // Qt on X11 redoes with Ctrl+Shift+Z alone.
    const bool ctrlY = event->key() == Qt::Key_Y && event->modifiers() == Qt::ControlModifier;
    if ((event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) || ctrlY) && !isReadOnly()) {
        event->matches(QKeySequence::Undo) ? Undo() : Redo();
        event->accept();
        return;
    }
    // A typed paragraph separator stays one, as a pasted one does; Qt would
    // give it the form of the line break before it.
    if (event->text().contains(QChar(kBlockBreak)) && !isReadOnly()) {
        InsertAtCaret(*this, event->text());
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TextArea::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu(event->pos());
    const auto reach = [&](const char* name, bool enabled, void (TextArea::*step)()) {
        if (auto* action = menu->findChild<QAction*>(QLatin1String(name))) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, step);
            action->setEnabled(enabled);
        }
    };
    record.Close();
    reach("edit-undo", !isReadOnly() && (document()->isUndoAvailable() || record.CanUndo()), &TextArea::Undo);
    reach("edit-redo", !isReadOnly() && !document()->isUndoAvailable() && record.CanRedo(), &TextArea::Redo);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

bool TextArea::canInsertFromMimeData(const QMimeData* source) const
{
    return OffersText(source);
}

// Paste, drop and the X11 middle click: the plain text, its line breaks as
// they come, read as the paste button reads it. It runs as a command does,
// so a read that is refused says why and leaves the text as it was.
void TextArea::insertFromMimeData(const QMimeData* source)
{
    const auto paste = [this, source] {
        const QString text = PasteText(source);
        if (movingWithin)
            InsertAtCaret(*this, text);
        else if (!text.isEmpty())
            EditAsStep(*this, [&] {
                InsertAtCaret(*this, text);
                return textCursor().position();
            });
    };
    if (Window* window = MainWindow())
        Dispatch(*window, paste);
    else
        paste();
}

void TextArea::dropEvent(QDropEvent* event)
{
    movingWithin = event->source() == this || event->source() == viewport();
    QPlainTextEdit::dropEvent(event);
    movingWithin = false;
}

// Copy, cut and drag: the plain text alone, every unit as the text holds it.
QMimeData* TextArea::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    auto* mime = new QMimeData;
    mime->setText(ToQString(TextBetween(*this, cursor.selectionStart(), cursor.selectionEnd())));
    return mime;
}

std::u16string ReadText(TextArea& area)
{
    CheckFault("ReadText");
    // toPlainText() would turn U+00A0 into a space and U+2028 into a line
    // feed; the raw text keeps every unit and marks block breaks with U+2029.
    return WholeText(area);
}

// A command's first write starts its one undo step; a write that follows an
// emptying one (the fold's and the paste's own pairs) joins that one's step,
// and one that leaves an empty text empty adds none.
void WriteText(TextArea& area, std::u16string_view text)
{
    CheckFault("WriteText");
    Flush(area);
    const bool wasEmpty = area.document()->isEmpty();
    if (!wasEmpty || !text.empty()) {
        if (area.joinAfterEdit != area.edits)
            area.record.Close();
        area.record.Edit(0, WholeText(area), text, TextOffsetOf(area, area.textCursor().selectionStart()));
        Replace(area, text);
    }
    area.joinAfterEdit = text.empty() && !wasEmpty ? area.edits : -1;
    area.setTextCursor(QTextCursor(area.document()));
}

std::int32_t CaretPos(TextArea& area)
{
    CheckFault("CaretPos");
    return TextOffsetOf(area, area.textCursor().selectionStart());
}

void PlaceCaret(TextArea& area, std::int32_t offset)
{
    CheckFault("PlaceCaret");
    PlaceCaretAt(area, offset);
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
