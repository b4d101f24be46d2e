#include "qt/widgets_qt.h"
#include "qt_test_support.h"

#include <QTest>

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

using namespace platform;

namespace {

class TextAreaTest : public testing::Test {
protected:
    WindowPtr window = CreateMainWindow(u"test", u"", 10200, 6090, "kresovar");
    TextArea& area = CreateTextArea(*window, {0, 0, 10215, 5535}, u"");
};

bool StoredAsLineBreak(char16_t unit)
{
    return unit == u'\r' || unit == u'\n' || unit == u'\u2029' || unit == u'\uFDD0' || unit == u'\uFDD1';
}

TEST_F(TextAreaTest, EveryOtherCodeUnitSurvivesWriteAndRead)
{
    std::u16string every;
    for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
        if (!StoredAsLineBreak(static_cast<char16_t>(unit)))
            every.push_back(static_cast<char16_t>(unit));
    }
    // Well-formed pairs, and lone halves at the start, in the middle and at the end.
    every += u"\U0001F600\U00010437";
    every += std::u16string{0xDC00, u'x', 0xD800, 0xD800, 0xDFFF, 0xDBFF};
    every.insert(every.begin(), 0xFEFF);

    WriteText(area, every);
    const std::u16string back = ReadText(area);
    ASSERT_EQ(back.size(), every.size());
    for (std::size_t i = 0; i < every.size(); ++i)
        ASSERT_EQ(back[i], every[i]) << "unit " << i << " came back changed";
}

struct LineBreakCase {
    const char* name;
    std::u16string written;
    std::u16string read;
};

// The characters the text area stores as a line break come back as CR LF.
TEST_F(TextAreaTest, LineBreaksComeBackAsCarriageReturnLineFeed)
{
    const std::vector<LineBreakCase> cases = {
        {"cr_lf", u"a\r\nb", u"a\r\nb"},
        {"lone_lf", u"a\nb", u"a\r\nb"},
        {"lone_cr", u"a\rb", u"a\r\nb"},
        {"lf_cr", u"a\n\rb", u"a\r\n\r\nb"},
        {"paragraph_separator", u"a\u2029b", u"a\r\nb"},
        {"frame_markers", u"a\uFDD0b\uFDD1c", u"a\r\nb\r\nc"},
        {"breaks_at_both_ends", u"\r\nab\r\n", u"\r\nab\r\n"},
        {"only_breaks", u"\r\n\r\n\r\n", u"\r\n\r\n\r\n"},
        {"line_separator_is_kept", u"a\u2028b", u"a\u2028b"},
        {"empty", u"", u""},
    };
    for (const LineBreakCase& c : cases) {
        WriteText(area, c.written);
        EXPECT_EQ(ReadText(area), c.read) << c.name;
    }
}

TEST_F(TextAreaTest, WriteLeavesTheCaretAtTheStartWithNothingSelected)
{
    WriteText(area, u"abc\r\ndef");
    area.selectAll();
    WriteText(area, u"xyz\r\nuvw");
    EXPECT_EQ(CaretPos(area), 0);
    EXPECT_FALSE(area.textCursor().hasSelection());
}

struct CaretCase {
    std::int32_t placed;
    std::int32_t read;
};

TEST_F(TextAreaTest, CaretOffsetsCountEachLineBreakAsTwoUnits)
{
    // a b CR LF c d CR LF CR LF e f: 12 units.
    WriteText(area, u"ab\r\ncd\r\n\r\nef");
    const std::vector<CaretCase> cases = {
        {0, 0}, {1, 1}, {2, 2},
        {3, 2},                 // between CR and LF: the end of that line
        {4, 4}, {6, 6}, {7, 6}, {8, 8}, {9, 8}, {10, 10},
        {12, 12},               // the end
        {13, 12}, {1000000, 12}, // past the end
        {-5, 0},
    };
    for (const CaretCase& c : cases) {
        PlaceCaret(area, c.placed);
        EXPECT_EQ(CaretPos(area), c.read) << "placed at " << c.placed;
    }
}

// Random texts with every kind of line break, many lines long, and random offsets.
TEST_F(TextAreaTest, CaretMappingAgreesWithTheTextOnRandomTexts)
{
    const std::u16string pieces[] = {u"a", u"ż", u"xyz", u"\r\n", u"\r", u"\n", u"\u2028", u"\u2029",
                                     std::u16string(1, u'\0'), u"\U0001F600", u"długa linia tekstu "};
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        std::u16string written;
        const int count = round < 15 ? 1 + static_cast<int>(random() % 60) : 20000;
        for (int i = 0; i < count; ++i)
            written += pieces[random() % std::size(pieces)];
        WriteText(area, written);
        const std::u16string text = ReadText(area);
        const auto length = static_cast<std::int32_t>(text.size());
        for (int probe = 0; probe < 200; ++probe) {
            const std::int32_t offset = static_cast<std::int32_t>(random() % (length + 3));
            std::int32_t expected = std::min(offset, length);
            if (expected > 0 && expected < length && text[expected - 1] == u'\r' && text[expected] == u'\n')
                --expected;
            PlaceCaret(area, offset);
            ASSERT_EQ(CaretPos(area), expected) << "round " << round << ", offset " << offset;
        }
    }
}

TEST_F(TextAreaTest, CaretIsTheStartOfASelectionAndCollapseKeepsIt)
{
    WriteText(area, u"ab\r\ncd\r\nef");
    QTextCursor cursor = area.textCursor();
    cursor.setPosition(7);                        // after "e"
    cursor.setPosition(4, QTextCursor::KeepAnchor); // back to after "c"
    area.setTextCursor(cursor);
    EXPECT_EQ(CaretPos(area), 5);

    CollapseSelection(area);
    EXPECT_FALSE(area.textCursor().hasSelection());
    EXPECT_EQ(CaretPos(area), 5);
}

TEST_F(TextAreaTest, EnterAndShiftEnterBothTypeALineBreak)
{
    window->show();
    area.setFocus();
    QTest::keyClicks(&area, QStringLiteral("ab"));
    QTest::keyClick(&area, Qt::Key_Return);
    QTest::keyClick(&area, 'c');
    QTest::keyClick(&area, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(&area, 'd');
    QTest::keyClick(&area, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_EQ(ReadText(area), u"ab\r\nc\r\nd\r\n");
    EXPECT_EQ(CaretPos(area), 10);
}

} // namespace
