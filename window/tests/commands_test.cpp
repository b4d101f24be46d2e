#include "form1.h"
#include "qt/widgets_qt.h"
#include "qt_test_support.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

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
};

TEST(PasteCommand, ReplacesTheWholeTextAndPutsTheCaretAfterIt)
{
    const std::vector<PasteCase> cases = {
        {"polish_lines", [] { return TextData(QStringLiteral("Zażółć\r\ngęślą\r\njaźń")); },
         u"Zażółć\r\ngęślą\r\njaźń"},
        {"lone_line_feeds_become_breaks", [] { return TextData(QStringLiteral("a\nb\n")); }, u"a\r\nb\r\n"},
        {"nul_kept", [] { return TextData(QString(QStringLiteral("a\0b").data(), 3)); },
         std::u16string(u"a\0b", 3)},
        {"empty_text", [] { return TextData(QString()); }, u""},
        {"nothing", [] { return new QMimeData; }, u""},
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
        WriteText(form.Text1, u"stary tekst\r\nwiersz");
        form.Text1.selectAll();
        form.Command2.setFocus();
        SetClipboard(c.clipboard());

        QTest::mouseClick(&form.Command2, Qt::LeftButton);

        EXPECT_EQ(ReadText(form.Text1), c.pasted) << c.name;
        EXPECT_EQ(CaretPos(form.Text1), static_cast<std::int32_t>(c.pasted.size())) << c.name;
        EXPECT_FALSE(form.Text1.textCursor().hasSelection()) << c.name;
        EXPECT_EQ(form.window().focusWidget(), &form.Command2) << c.name << ": paste moved the focus";
    }
}

TEST(CopyCommand, PutsTheWholeTextAloneOnTheClipboardAndFocusesTheTextArea)
{
    for (const std::u16string& text : {std::u16string(u"żółw\r\n\u00A0x\u2028y"), std::u16string()}) {
        Form1 form;
        WriteText(form.Text1, text);
        PlaceCaret(form.Text1, 2);
        auto* before = new QMimeData;
        before->setHtml(QStringLiteral("<i>stare</i>"));
        before->setData(QStringLiteral("application/x-kresovar-test"), "stare");
        SetClipboard(before);
        form.Command3.setFocus();

        QTest::mouseClick(&form.Command3, Qt::LeftButton);

        const QMimeData* after = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
        ASSERT_NE(after, nullptr);
        EXPECT_TRUE(after->hasText());
        EXPECT_EQ(U16(after->text()), text);
        EXPECT_FALSE(after->hasHtml()) << "an earlier format survived";
        EXPECT_FALSE(after->hasFormat(QStringLiteral("application/x-kresovar-test")));
        EXPECT_EQ(ReadText(form.Text1), text);
        EXPECT_EQ(CaretPos(form.Text1), text.empty() ? 0 : 2);
        EXPECT_EQ(form.window().focusWidget(), &form.Text1);
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
    QTextCursor cursor = form.Text1.textCursor();
    cursor.setPosition(1);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    form.Text1.setTextCursor(cursor);
    form.Command4.setFocus();

    QTest::mouseClick(&form.Command4, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(browser.opened[0].scheme(), QStringLiteral("https"));
    EXPECT_EQ(ReadText(form.Text1), u"ab\r\ncd");
    EXPECT_EQ(form.Text1.textCursor().selectionStart(), 1);
    EXPECT_EQ(form.Text1.textCursor().selectionEnd(), 4);
    EXPECT_EQ(form.window().focusWidget(), &form.Text1);
    EXPECT_FALSE(form.window().ended);
}

struct FaultCase {
    const char* operation;
    QPushButton* (*button)(Form1&);
    std::u16string textAfter;  // what the text area holds when the report shows
};

// A failing operation stops the command at that step: the report shows its
// number and description, and the program ends with status 1 once it is
// dismissed. What the command did before the failure stays done.
TEST(Failures, StopTheCommandAtTheFailingStepAndEndTheProgram)
{
    const std::vector<FaultCase> cases = {
        {"ClipboardRead", [](Form1& f) -> QPushButton* { return &f.Command2; }, u""},
        {"WriteText", [](Form1& f) -> QPushButton* { return &f.Command1; }, u"żółw"},
        {"PumpEvents", [](Form1& f) -> QPushButton* { return &f.Command1; }, u""},
        {"ClipboardWrite", [](Form1& f) -> QPushButton* { return &f.Command3; }, u"żółw"},
        {"TakeFocus", [](Form1& f) -> QPushButton* { return &f.Command4; }, u"żółw"},
    };
    for (const FaultCase& c : cases) {
        Form1 form;
        WriteText(form.Text1, u"żółw");
        SetFaultHook([&c](std::string_view operation) {
            if (operation == c.operation)
                throw PlatformError(1418, "Schowek nie jest otwarty.");
        });
        QString reported;
        std::u16string textWhenReported;
        WhenReportShows([&](QMessageBox& box) {
            reported = box.text();
            textWhenReported = ReadText(form.Text1);
        });
        const int status = RunProgram(form.window(), [&] { QTest::mouseClick(c.button(form), Qt::LeftButton); });
        SetFaultHook(nullptr);

        EXPECT_EQ(status, 1) << c.operation;
        EXPECT_TRUE(reported.contains(QStringLiteral("1418"))) << c.operation;
        EXPECT_TRUE(reported.contains(QStringLiteral("Schowek nie jest otwarty."))) << c.operation;
        EXPECT_EQ(textWhenReported, c.textAfter) << c.operation;
    }
}

TEST(ExitCommand, EndsTheProgramWithStatusZeroWhateverTheTextHolds)
{
    Form1 form;
    WriteText(form.Text1, u"niezapisany tekst");
    const int status = RunProgram(form.window(), [&] { QTest::mouseClick(&form.Command5, Qt::LeftButton); });
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(form.window().isVisible());
}

} // namespace

#include "commands_test.moc"
