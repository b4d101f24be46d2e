#include "driver.h"
#include "form1.h"
#include "kresovar_version.h"
#include "qt/widgets_qt.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

std::u16string U16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size()));
}

void SetClipboard(QMimeData* data)
{
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
}

QMimeData* TextData(const QString& text)
{
    auto* data = new QMimeData;
    data->setText(text);
    return data;
}

struct PasteCase {
    const char* name;
    QMimeData* (*clipboard)();
    std::u16string pasted;
    std::u16string before = u"stary tekst\r\nwiersz";
};

TEST(PasteCommand, ReplacesTheWholeTextAndPutsTheCaretAfterIt)
{
    const std::vector<PasteCase> cases = {
        {"polish_lines", [] { return TextData(QStringLiteral("Zażółć\r\ngęślą\r\njaźń")); },
         u"Zażółć\r\ngęślą\r\njaźń"},
        {"lone_line_feeds_kept", [] { return TextData(QStringLiteral("a\nb\n")); }, u"a\nb\n"},
        {"nul_kept", [] { return TextData(QString(QStringLiteral("a\0b").data(), 3)); },
         std::u16string(u"a\0b", 3)},
        {"empty_text", [] { return TextData(QString()); }, u""},
        {"nothing", [] { return new QMimeData; }, u""},
        {"into_an_empty_text_area", [] { return TextData(QStringLiteral("abc")); }, u"abc", u""},
        {"only_a_picture", [] {
             auto* data = new QMimeData;
             QImage picture(4, 4, QImage::Format_RGB32);
             picture.fill(Qt::yellow);
             data->setImageData(picture);
             return data;
         }, u""},
        {"only_html", [] {
             auto* data = new QMimeData;
             data->setHtml(QStringLiteral("<b>gruby</b>"));
             return data;
         }, u""},
    };
    for (const PasteCase& c : cases) {
        Form1 form;
        WriteText(form.Text1, c.before);
        driver::Select(form.Text1, 5, 19);
        form.Command2.setFocus();
        SetClipboard(c.clipboard());

        driver::Click(form.Command2);

        EXPECT_EQ(ReadText(form.Text1), c.pasted) << c.name;
        EXPECT_EQ(CaretPos(form.Text1), static_cast<std::int32_t>(c.pasted.size())) << c.name;
        EXPECT_FALSE(driver::HasSelection(form.Text1)) << c.name;
        EXPECT_TRUE(driver::HasFocus(form.Command2)) << c.name << ": paste moved the focus";
        form.Text1.Undo();
        EXPECT_EQ(ReadText(form.Text1), c.before) << c.name << ": one undo step";
        EXPECT_EQ(CaretPos(form.Text1), c.before.empty() ? 0 : 5) << c.name << ": the caret before the paste";
        form.Text1.Undo();  // goes no further back
        form.Text1.Redo();
        EXPECT_EQ(ReadText(form.Text1), c.pasted) << c.name;
        EXPECT_EQ(CaretPos(form.Text1), static_cast<std::int32_t>(c.pasted.size())) << c.name;
    }
}

// The text area's own paste and a drop: a large text is the program's own
// undo step, as a command is, so that the document's record, which keeps
// every text it is given, does not keep it; a short one stays in that record.
TEST(TextAreaPaste, ALargeTextIsTheProgramsOwnUndoStepWithTheCaret)
{
    enum Way { kCtrlV, kShiftInsert, kDrop };
    const std::u16string before = u"ab\r\ncd";
    for (const std::size_t size : {std::size_t{3}, std::size_t{1} << 17}) {
        for (const Way way : {kCtrlV, kShiftInsert, kDrop}) {
            const std::u16string pasted(size, u'ż');
            Form1 form;
            driver::Show(form.window());
            WriteText(form.Text1, before);
            driver::Select(form.Text1, 1, 4);
            SetClipboard(TextData(ToQString(pasted)));
            if (way == kDrop) {
                // At the text's start, where the drop puts the caret.
                QMimeData data;
                data.setText(ToQString(pasted));
                const QPoint start = form.Text1.cursorRect(QTextCursor(form.Text1.document())).center();
                QDragEnterEvent enter(start, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(form.Text1.viewport(), &enter);
                QDropEvent drop(start, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(form.Text1.viewport(), &drop);
            } else {
                QTest::keyClick(&form.Text1, way == kCtrlV ? Qt::Key_V : Qt::Key_Insert,
                                way == kCtrlV ? Qt::ControlModifier : Qt::ShiftModifier);
            }
            const std::size_t start = way == kDrop ? 0 : 1;
            const std::u16string after = before.substr(0, start) + pasted + before.substr(way == kDrop ? 0 : 4);
            const auto caret = static_cast<std::int32_t>(start + size);
            const std::string row = std::to_string(size) + " by way " + std::to_string(way);
            EXPECT_TRUE(ReadText(form.Text1) == after) << row;
            EXPECT_EQ(CaretPos(form.Text1), caret) << row;
            EXPECT_EQ(form.Text1.document()->isUndoAvailable(), size < 1000) << row;
            form.Text1.Undo();
            EXPECT_TRUE(ReadText(form.Text1) == before) << row;
            if (size > 1000) {
                EXPECT_EQ(CaretPos(form.Text1), static_cast<std::int32_t>(start)) << row;
            }
            form.Text1.Redo();
            EXPECT_TRUE(ReadText(form.Text1) == after) << row;
            EXPECT_EQ(CaretPos(form.Text1), caret) << row;
        }
    }
}

// (That copy empties the clipboard first shows only when the write after it
// fails, which the command steps test checks.)
TEST(CopyCommand, PutsTheWholeTextOnTheClipboardAndFocusesTheTextArea)
{
    for (const std::u16string& text : {std::u16string(u"żółw\r\n\u00A0x\u2028y\nz\r\r"), std::u16string()}) {
        Form1 form;
        WriteText(form.Text1, text);
        driver::Select(form.Text1, 1, 2);
        SetClipboard(TextData(QStringLiteral("stare")));
        form.Command3.setFocus();

        driver::Click(form.Command3);

        EXPECT_EQ(U16(QGuiApplication::clipboard()->text()), text);
        EXPECT_EQ(ReadText(form.Text1), text);
        EXPECT_EQ(CaretPos(form.Text1), text.empty() ? 0 : 1);
        EXPECT_EQ(driver::HasSelection(form.Text1), !text.empty());
        EXPECT_TRUE(driver::HasFocus(form.Text1));
        // The text area's own copy of the whole text gives the same, and plain text alone.
        form.Text1.selectAll();
        form.Text1.copy();
        EXPECT_EQ(U16(QGuiApplication::clipboard()->text()), text);
        EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->formats(), QStringList{QStringLiteral("text/plain")});
    }
}

// Stands in for the desktop's browser.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

TEST(WebCommand, OpensTheHomePageOnceAndLeavesTheTextAlone)
{
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    Form1 form;
    WriteText(form.Text1, u"ab\r\ncd");
    driver::Select(form.Text1, 1, 5);
    form.Command4.setFocus();

    driver::Click(form.Command4);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(browser.opened[0], QUrl(QString::fromLatin1(kHomePageAddress)));
    EXPECT_EQ(ReadText(form.Text1), u"ab\r\ncd");
    EXPECT_EQ(form.Text1.textCursor().selectionStart(), 1);
    EXPECT_EQ(form.Text1.textCursor().selectionEnd(), 4);
    EXPECT_TRUE(driver::HasFocus(form.Text1));
    EXPECT_FALSE(form.window().state.ended);
}

TEST(ExitCommand, EndsTheProgramWithStatusZeroWhateverTheTextHolds)
{
    Form1 form;
    WriteText(form.Text1, u"niezapisany tekst");
    const int status = driver::RunProgram(form.window(), [&] { driver::Click(form.Command5); });
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(form.window().isVisible());
}

} // namespace

#include "commands_test.moc"
