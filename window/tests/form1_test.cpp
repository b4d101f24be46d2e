#include "driver.h"
#include "form1.h"
#include "qt/widgets_qt.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

struct ControlPlace {
    const char* name;
    QWidget* (*control)(Form1&);
    QString caption;
    QRect pixels;
};

TEST(Form1Layout, ControlsStandAtTheirPlacesWithTheirCaptions)
{
    Form1 form;
    const std::vector<ControlPlace> places = {
        {"Text1", [](Form1& f) -> QWidget* { return &f.Text1; }, {}, {0, 0, 681, 369}},
        {"Command1", [](Form1& f) -> QWidget* { return &f.Command1; }, "Usuń ogonki", {144, 376, 121, 25}},
        {"Command2", [](Form1& f) -> QWidget* { return &f.Command2; }, "Wklej ze schowka", {8, 376, 121, 25}},
        {"Command3", [](Form1& f) -> QWidget* { return &f.Command3; }, "Kopiuj do schowka", {280, 376, 121, 25}},
        {"Command4", [](Form1& f) -> QWidget* { return &f.Command4; }, "WWW", {416, 376, 121, 25}},
        {"Command5", [](Form1& f) -> QWidget* { return &f.Command5; }, "Koniec", {552, 376, 121, 25}},
    };
    for (const ControlPlace& place : places) {
        QWidget* control = place.control(form);
        EXPECT_EQ(control->geometry(), place.pixels) << place.name;
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            EXPECT_EQ(button->text(), place.caption) << place.name;
            EXPECT_FALSE(button->isDefault()) << place.name;
            EXPECT_FALSE(button->autoDefault()) << place.name;
            EXPECT_TRUE(button->isEnabled()) << place.name;
        }
    }
    EXPECT_EQ(form.window().size(), QSize(680, 406));
    EXPECT_EQ(form.window().minimumSize(), form.window().maximumSize()) << "the layout is fixed";
    EXPECT_TRUE(form.window().windowTitle().startsWith(QStringLiteral("Kresovar ")));
    EXPECT_FALSE(form.window().windowIcon().isNull());
    EXPECT_EQ(form.Text1.lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(form.Text1.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form.Text1.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(ReadText(form.Text1).empty());
}

std::vector<QPushButton*> Buttons(Form1& form)
{
    return {&form.Command1, &form.Command2, &form.Command3, &form.Command4, &form.Command5};
}

// Run at device pixel ratio 1 and again at 2 (QT_SCALE_FACTOR=2): the layout
// is in logical pixels and must not change, and no caption may be clipped.
TEST(Form1Layout, EveryCaptionFitsInsideItsButton)
{
    Form1 form;
    form.window().show();
    const double expectedRatio = qEnvironmentVariableIsSet("KRESOVAR_EXPECTED_PIXEL_RATIO")
        ? qEnvironmentVariable("KRESOVAR_EXPECTED_PIXEL_RATIO").toDouble() : 1.0;
    EXPECT_DOUBLE_EQ(form.window().devicePixelRatioF(), expectedRatio);
    EXPECT_EQ(form.window().size(), QSize(680, 406));
    for (QPushButton* button : Buttons(form)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QRect needed = button->fontMetrics().boundingRect(room, Qt::AlignCenter, button->text());
        EXPECT_TRUE(room.contains(needed)) << button->text().toStdString() << " needs " << needed.width()
                                           << " x " << needed.height() << " pixels, has " << room.width()
                                           << " x " << room.height();
        EXPECT_EQ(button->size(), QSize(121, 25));
    }
    form.window().hide();
}

// Run in the environment's language and again under pl_PL (see CMakeLists.txt).
TEST(Form1Layout, TheTextAreasContextMenuSpeaksTheDesktopsLanguage)
{
    Form1 form;
    const std::unique_ptr<QMenu> menu(form.Text1.createStandardContextMenu());
    ASSERT_FALSE(menu->actions().isEmpty());
    QStringList captions;  // without access keys and shortcuts
    for (QAction* action : menu->actions())
        captions << action->text().section(u'\t', 0, 0).remove(u'&');
    const bool polish = QLocale::system().language() == QLocale::Polish;
    EXPECT_EQ(captions.first().toStdString(), polish ? "Cofnij" : "Undo");
    EXPECT_EQ(captions.last().toStdString(), polish ? "Zaznacz wszystko" : "Select All");
    // The menu the user opens undoes a command as Ctrl+Z does.
    WriteText(form.Text1, u"tekst");
    QContextMenuEvent opened(QContextMenuEvent::Keyboard, {}, {});
    QApplication::sendEvent(&form.Text1, &opened);
    auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(shown);
    shown->findChild<QAction*>(QStringLiteral("edit-undo"))->trigger();
    shown->close();
    EXPECT_EQ(ReadText(form.Text1), u"");
}

TEST(Form1Layout, StartsWithTheFocusOnTheTextAreaAndTabFollowsTheButtonNumbers)
{
    Form1 form;
    std::vector<QWidget*> visited;
    const int status = driver::RunProgram(form.window(), [&] {
        for (int i = 0; i < 6; ++i) {
            visited.push_back(QApplication::focusWidget());
            driver::Press(driver::Key::Tab);
        }
        visited.push_back(QApplication::focusWidget());
        driver::RequestClose(form.window());
    });
    EXPECT_EQ(status, 0);
    const std::vector<QWidget*> expected = {&form.Text1, &form.Command1, &form.Command2, &form.Command3,
                                            &form.Command4, &form.Command5, &form.Text1};
    EXPECT_EQ(visited, expected);
}

struct FoldCase {
    const char* name;
    std::u16string text;
    std::int32_t selectionFrom;  // as the user left it
    std::int32_t selectionTo;
    std::u16string folded;
    std::int32_t caret;
    bool caretBlinks = true; // a blink on a very long line would keep the CPU busy
};

TEST(FoldCommand, FoldsTheWholeTextAndPutsTheCaretBack)
{
    const std::vector<FoldCase> cases = {
        {"empty", u"", 0, 0, u"", 0},
        {"caret_in_the_middle", u"Zażółć gęślą jaźń", 7, 7, u"Zazolc gesla jazn", 7},
        {"caret_at_the_end", u"ŁÓDŹ", 4, 4, u"LODZ", 4},
        {"capitals_on_lines", u"ZAŻÓŁĆ\r\nGĘŚLĄ\r\nJAŹŃ", 15, 15, u"ZAZOLC\r\nGESLA\r\nJAZN", 15},
        {"no_polish_letters", u"plain\r\n\ttext 123!", 9, 9, u"plain\r\n\ttext 123!", 9},
        {"selection_forwards", u"ąą\r\nęę\r\nóó", 4, 9, u"aa\r\nee\r\noo", 4},
        {"selection_backwards", u"ąą\r\nęę\r\nóó", 9, 4, u"aa\r\nee\r\noo", 4},
        {"all_selected", u"śćź\r\n", 0, 5, u"scz\r\n", 0},
        {"after_each_kind_of_break", u"ą\nę\r\nó\rś\u2029ź", 9, 9, u"a\ne\r\no\rs\u2029z", 9},
        {"after_cr_lf_among_others", u"ą\nę\r\nó\rś\u2029ź", 5, 5, u"a\ne\r\no\rs\u2029z", 5},
        {"long_line", u"x\r\n" + std::u16string(10'001, u'ą'), 3, 3, u"x\r\n" + std::u16string(10'001, u'a'), 3, false},
        {"long_line_elsewhere", std::u16string(10'001, u'ą') + u"\r\nx", 10'004, 10'004,
         std::u16string(10'001, u'a') + u"\r\nx", 10'004},
    };
    for (const FoldCase& c : cases) {
        Form1 form;
        WriteText(form.Text1, c.text);
        driver::Select(form.Text1, c.selectionFrom, c.selectionTo);
        form.Command5.setFocus();

        driver::Click(form.Command1);

        EXPECT_EQ(ReadText(form.Text1), c.folded) << c.name;
        EXPECT_EQ(CaretPos(form.Text1), c.caret) << c.name;
        EXPECT_FALSE(driver::HasSelection(form.Text1)) << c.name;
        EXPECT_TRUE(driver::HasFocus(form.Text1)) << c.name;
        EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime() > 0, c.caretBlinks) << c.name;
        for (QPushButton* button : form.window().findChildren<QPushButton*>())
            EXPECT_TRUE(button->isEnabled()) << c.name;
        // One undo step brings the text back; redo folds it again.
        form.Text1.Undo();
        EXPECT_EQ(ReadText(form.Text1), c.text) << c.name;
        form.Text1.Redo();
        EXPECT_EQ(ReadText(form.Text1), c.folded) << c.name;
        // Typing after it is taken back first, then the fold; redo brings back both.
        QTest::keyClicks(&form.Text1, QStringLiteral("q"));
        form.Text1.Undo();
        EXPECT_EQ(ReadText(form.Text1), c.folded) << c.name;
        form.Text1.Undo();
        form.Text1.Redo();
#if defined(__GNUC__) && !defined(__clang__)
// A false alarm of GCC 12 at -O3 about the memcpy inside std::u16string::insert.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
        EXPECT_EQ(ReadText(form.Text1), std::u16string(c.folded).insert(static_cast<std::size_t>(c.caret), u"q")) << c.name;
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
    }
}

// Watches the window from inside the fold's event pumps, and types into it.
TEST(FoldCommand, ButtonsAreDisabledWhileItPumpsAndClicksThenStartNothing)
{
    Form1 form;
    WriteText(form.Text1, u"żółć");
    std::vector<std::u16string> textsSeen;
    bool allDisabled = true;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (form.Command1.isEnabled())
            return;
        textsSeen.push_back(ReadText(form.Text1));
        QTest::keyClicks(&form.Text1, QStringLiteral("q"));  // the text area takes no input meanwhile
        for (QPushButton* button : form.window().findChildren<QPushButton*>()) {
            allDisabled = allDisabled && !button->isEnabled();
            QTest::mouseClick(button, Qt::LeftButton);  // Koniec, paste, copy among them
        }
    });
    watcher.start(0);
    QGuiApplication::clipboard()->setText(QStringLiteral("schowek"));

    driver::Click(form.Command1);
    watcher.stop();

    EXPECT_FALSE(textsSeen.empty()) << "the fold pumped no events";
    EXPECT_TRUE(allDisabled);
    EXPECT_EQ(textsSeen.front(), u"") << "the text area is empty while the fold runs";
    EXPECT_EQ(ReadText(form.Text1), u"zolc");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("schowek"));
    EXPECT_TRUE(form.Command1.isEnabled());
    EXPECT_FALSE(form.window().state.ended);
}

} // namespace
