// The window operations, the same tests on every backend. Where the text
// areas rightly differ, the table's two columns of expected text say so.

#include "driver.h"
#include "platform.h"
#include "undo_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace platform;

namespace {

#ifdef _WIN32
constexpr bool kWin32 = true;
#else
constexpr bool kWin32 = false;
#endif

class PlatformTest : public testing::Test {
protected:
    WindowPtr window = CreateMainWindow(u"test", u"", 10200, 6090, "kresovar", "io.github.kresovar.Test");
    TextArea& area = CreateTextArea(*window, {0, 0, 10215, 5535}, u"Tekst");
};

std::u16string EveryOtherUnit()
{
    std::u16string every;
    for (char32_t unit = 1; unit <= 0xFFFF; ++unit) {
        if (unit != u'\r' && unit != u'\n' && unit != u'\u2029' && unit != u'\uFDD0' && unit != u'\uFDD1')
            every.push_back(static_cast<char16_t>(unit));
    }
    // A byte order mark first, well-formed pairs, and lone halves.
    every.insert(every.begin(), 0xFEFF);
    return every + u"\U0001F600\U00010437" + std::u16string{0xDC00, u'x', 0xD800, 0xD800, 0xDFFF, 0xDBFF};
}

struct RoundTrip {
    const char* name;
    std::u16string written;
    std::u16string readQt;     // the Qt document cannot hold U+FDD0 and U+FDD1, its frame marks
    std::u16string readWin32;  // the EDIT control keeps every unit up to the first NUL
};

TEST_F(PlatformTest, TextComesBackAsTheTextAreaStoresIt)
{
    const std::u16string every = EveryOtherUnit();
    const std::u16string mixed = u"\r\n\na\r\rb\u2029\r\n\n\nc\r";
    const std::vector<RoundTrip> rows = {
        {"every_other_unit", every, every, every},
        {"empty", u"", u"", u""},
        {"cr_lf", u"a\r\nb", u"a\r\nb", u"a\r\nb"},
        {"breaks_at_both_ends", u"\r\nab\r\n", u"\r\nab\r\n", u"\r\nab\r\n"},
        {"only_breaks", u"\r\n\r\n\r\n", u"\r\n\r\n\r\n", u"\r\n\r\n\r\n"},
        {"line_separator", u"a\u2028b", u"a\u2028b", u"a\u2028b"},
        {"lone_lf", u"a\nb\n\n", u"a\nb\n\n", u"a\nb\n\n"},
        {"lone_cr", u"a\rb", u"a\rb", u"a\rb"},
        {"lf_cr", u"a\n\rb", u"a\n\rb", u"a\n\rb"},
        {"paragraph_separator", u"a\u2029b", u"a\u2029b", u"a\u2029b"},
        {"mixed_breaks", mixed, mixed, mixed},
        {"frame_markers", u"a\uFDD0b\uFDD1c", u"a\uFFFDb\uFFFDc", u"a\uFDD0b\uFDD1c"},
        {"nul", std::u16string(u"a\0b", 3), std::u16string(u"a\0b", 3), u"a"},
    };
    for (const RoundTrip& row : rows) {
        WriteText(area, row.written);
        const std::u16string back = ReadText(area);
        const std::u16string& expected = kWin32 ? row.readWin32 : row.readQt;
        ASSERT_EQ(back.size(), expected.size()) << row.name;
        for (std::size_t i = 0; i < back.size(); ++i)
            ASSERT_EQ(back[i], expected[i]) << row.name << ": unit " << i << " came back changed";
    }
}

TEST_F(PlatformTest, AScreenReaderNamesTheTextArea)
{
    WriteText(area, u"treść");
    EXPECT_EQ(driver::AccessibleName(area), u"Tekst");
}

TEST_F(PlatformTest, WriteLeavesTheCaretAtTheStartWithNothingSelected)
{
    WriteText(area, u"abc\r\ndef");
    driver::Select(area, 1, 7);
    WriteText(area, u"xyz\r\nuvw");
    EXPECT_EQ(CaretPos(area), 0);
    EXPECT_FALSE(driver::HasSelection(area));
}

TEST_F(PlatformTest, CaretOffsetsCountEachLineBreakAsTwoUnitsAndAreClamped)
{
    // a b CR LF c d CR LF CR LF e f: 12 units.
    WriteText(area, u"ab\r\ncd\r\n\r\nef");
    const std::vector<std::pair<std::int32_t, std::int32_t>> placedAndRead = {
        {0, 0}, {1, 1}, {2, 2}, {4, 4}, {6, 6}, {8, 8}, {10, 10}, {12, 12},
        {3, 2}, {7, 6}, {9, 8},                    // between CR and LF: the end of that line
        {13, 12}, {1000000, 12}, {INT32_MAX, 12},  // past the end
        {-5, 0}, {INT32_MIN, 0},
    };
    for (const auto& [placed, read] : placedAndRead) {
        PlaceCaret(area, placed);
        EXPECT_EQ(CaretPos(area), read) << "placed at " << placed;
    }
}

// Where the caret can stand in a text as the text area stores it: anywhere
// but inside a line break. The EDIT control also keeps CR CR LF, its soft
// line break, as one break.
std::int32_t CaretStop(const std::u16string& text, std::int32_t offset)
{
    offset = std::clamp<std::int32_t>(offset, 0, static_cast<std::int32_t>(text.size()));
    const auto at = [&](std::int32_t i) {
        return i >= 0 && i < static_cast<std::int32_t>(text.size()) ? text[static_cast<std::size_t>(i)] : 0;
    };
    if (kWin32 && at(offset - 2) == u'\r' && at(offset - 1) == u'\r' && at(offset) == u'\n')
        return offset - 2;
    if (at(offset - 1) == u'\r' && (at(offset) == u'\n' || (kWin32 && at(offset) == u'\r' && at(offset + 1) == u'\n')))
        return offset - 1;
    return offset;
}

// Random texts with every kind of line break, many lines long, and random offsets.
TEST_F(PlatformTest, CaretMappingAgreesWithTheTextOnRandomTexts)
{
    const std::u16string pieces[] = {u"a", u"ż", u"xyz", u"\r\n", u"\r", u"\n", u"\u2028", u"\u2029",
                                     u"\U0001F600", u"długa linia tekstu "};
    std::mt19937 random(7);
    for (int round = 0; round < 16; ++round) {
        std::u16string written;
        const int count = round < 15 ? 1 + static_cast<int>(random() % 60) : 20000;
        for (int i = 0; i < count; ++i)
            written += pieces[random() % std::size(pieces)];
        WriteText(area, written);
        const std::u16string text = ReadText(area);
        const auto length = static_cast<std::int32_t>(text.size());
        for (int probe = 0; probe < 200; ++probe) {
            const auto offset = static_cast<std::int32_t>(random() % static_cast<std::size_t>(length + 3));
            PlaceCaret(area, offset);
            ASSERT_EQ(CaretPos(area), CaretStop(text, offset)) << "round " << round << ", offset " << offset;
        }
    }
}

TEST_F(PlatformTest, CaretIsTheStartOfASelectionAndCollapseKeepsIt)
{
    WriteText(area, u"ab\r\ncd\r\nef");
    for (const auto& [anchor, active] : {std::pair{9, 5}, std::pair{5, 9}}) {
        driver::Select(area, anchor, active);
        EXPECT_EQ(CaretPos(area), 5);
        CollapseSelection(area);
        EXPECT_FALSE(driver::HasSelection(area));
        EXPECT_EQ(CaretPos(area), 5);
    }
}

// On Linux a typed line break takes the form of the text's first one, LF
// in a text with none; on Windows it is CR LF.
TEST_F(PlatformTest, EnterWithOrWithoutShiftOrCtrlTypesOneLineBreak)
{
    struct Row {
        std::u16string before;
        std::u16string typedQt;
        std::u16string typedWin32;
    };
    const Row rows[] = {
        {u"", u"ab\nc\nż\ne", u"ab\r\nc\r\nż\r\ne"},
        {u"\rq\nr", u"\rq\nrab\rc\rż\re", u"\rq\nrab\r\nc\r\nż\r\ne"},
        {u"q\r\nr\n", u"q\r\nr\nab\r\nc\r\nż\r\ne", u"q\r\nr\nab\r\nc\r\nż\r\ne"},
    };
    driver::Show(*window);
    for (const Row& row : rows) {
        WriteText(area, row.before);
        PlaceCaret(area, static_cast<std::int32_t>(row.before.size()));
        TakeFocus(area);
        driver::Type(u"ab");
        driver::Press(driver::Key::Enter);
        driver::Type(u"c");
        driver::Press(driver::Key::ShiftEnter);
        driver::Type(u"ż");
        driver::Press(driver::Key::CtrlEnter);
        driver::Type(u"e");
        const std::u16string& typed = kWin32 ? row.typedWin32 : row.typedQt;
        EXPECT_EQ(ReadText(area), typed);
        EXPECT_EQ(CaretPos(area), static_cast<std::int32_t>(typed.size()));
    }
}

// Line breaks as other programs read a text: CR LF, a lone CR, a lone LF.
[[maybe_unused]] std::ptrdiff_t LineBreaks(const std::u16string& text)
{
    std::ptrdiff_t breaks = std::ranges::count(text, u'\n');
    for (std::size_t i = 0; i < text.size(); ++i)
        breaks += text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n');
    return breaks;
}

// A removal keeps every line break outside it as it was, and a typed
// paragraph separator stays one; typing after a write is an undo step of its
// own, and Ctrl+Z right after a write brings back the text before it.
TEST_F(PlatformTest, EditsKeepTheBreaksAroundThemAndTheirOwnUndoStep)
{
    struct Row {
        std::u16string written;
        std::int32_t anchor, active;
        driver::Key key;
        std::u16string typed;
        std::u16string expected;
        std::u16string pasted = {};  // for Ctrl+V
    };
    using enum driver::Key;
    const std::u16string large(70'000, u'X');
    const Row rows[] = {
        {u"one\ntwo\r\nthree", 4, 11, Delete, u"", u"one\nree"},
        {u"one\ntwo\r\nthree", 11, 4, Backspace, u"", u"one\nree"},
        {u"one\ntwo\r\nthree", 4, 14, CtrlX, u"", u"one\n"},
        {u"x\ny\r\nz\rw", 2, 7, CtrlX, u"", u"x\nw"},
        {u"A\nB\r\nC\rD", 2, 6, Delete, u"", u"A\n\rD"},
        {u"one\ntwo\r\nthree", 4, 11, Escape, u"q", u"one\nqree"},
        // A lone CR that an edit brings before a line break becomes CR LF; one the edit leaves alone stays.
        {u"x\ny\rz", 4, 4, Enter, u"", kWin32 ? u"x\ny\r\n\r\nz" : u"x\ny\r\n\nz"},
        {u"a\rb\nc", 3, 3, Enter, u"", u"a\rb\r\n\nc"},
        {u"a\rX\nb", 2, 3, Delete, u"", u"a\r\n\nb"},
        {u"p\rq", 3, 3, Escape, u"X\u2029Y", u"p\rqX\u2029Y"},
        {u"a\n\r\nb", 2, 2, Delete, u"", u"a\nb"},
        // A paste of any size: a lone CR it brings before an LF, or an LF it brings after one.
        {u"a\rb", 2, 2, CtrlV, u"", u"a\r\n\n" + large + u"b", u"\n" + large},
        {u"a\nb", 1, 1, CtrlV, u"", u"a" + large + u"\r\n\nb", large + u"\r"},
        {u"a\nb", 1, 1, CtrlV, u"", u"aX\r\n\nb", u"X\r"},
        {u"a\nb", 1, 1, CtrlV, u"yz", u"ayzX\r\n\nb", u"X\r"},
        {u"a\r", 2, 2, CtrlV, u"", u"a\r\n\nb", u"\nb"},
        // The typing first, then the write; the last row's text is the one before.
        {u"new", 3, 3, CtrlZ, u"ab", u"new"},
        {u"next", 0, 0, CtrlZ, u"", u"new"},
        // Alt+Backspace, pressed twice: two steps back, as Ctrl+Z.
        {u"last", 4, 4, AltBackspace, u"ab", u"new"},
    };
    driver::Show(*window);
    for (const Row& row : rows) {
        WriteText(area, row.written);
        TakeFocus(area);
        driver::Select(area, row.anchor, row.active);
        driver::Type(row.typed);
        driver::SetClipboardText(row.pasted);
        const std::u16string typed = ReadText(area);
        driver::Press(row.key);
        if (row.key == AltBackspace)
            driver::Press(row.key);
        // A paste is one step, taken back and brought back whole.
        if (row.key == CtrlV) {
            driver::Press(CtrlZ);
            EXPECT_EQ(ReadText(area), typed) << row.anchor << "-" << row.active << ": undone";
            driver::Press(CtrlY);
        }
        const std::u16string back = ReadText(area);
        EXPECT_TRUE(back == row.expected) << row.anchor << "-" << row.active << ": " << back.size() << " units";
        // The EDIT control shows every line break but a lone CR, which it draws inside its line.
        if constexpr (kWin32) {
            if (LineBreaks(row.expected) == std::ranges::count(row.expected, u'\n')) {
                EXPECT_EQ(driver::ShownLines(area), LineBreaks(back) + 1) << row.anchor << "-" << row.active;
            }
        }
        const auto end = static_cast<std::int32_t>(row.expected.size());
        PlaceCaret(area, end);
        EXPECT_EQ(CaretPos(area), end) << row.anchor << "-" << row.active << ": the caret's offsets";
    }
}

// A window with the text area and two buttons whose handlers the test gives.
struct TwoButtons : PlatformTest {
    std::function<void()> first = [] {};
    std::function<void()> second = [] {};
    Button& button1 = CreateButton(*window, u"Pierwszy", {120, 5640, 1815, 375}, [this] { first(); });
    Button& button2 = CreateButton(*window, u"Drugi", {2160, 5640, 1815, 375}, [this] { second(); });

    int ClickFirstAndRun() { return driver::RunProgram(*window, [this] { driver::Click(button1); }); }
};

TEST_F(TwoButtons, AFailureIsReportedWithNumberAndDescriptionThenTheProgramEndsWithOne)
{
    bool afterFailure = false;
    first = [&] {
        throw PlatformError(1418, "Schowek nie jest otwarty.");
        afterFailure = true;
    };
    driver::ReportWatch report;
    EXPECT_EQ(ClickFirstAndRun(), 1);
    EXPECT_EQ(report.shown, 1);
    EXPECT_NE(report.text.find(u"1418"), std::u16string::npos);
    EXPECT_NE(report.text.find(u"Schowek nie jest otwarty."), std::u16string::npos);
    EXPECT_FALSE(afterFailure);
}

// What leaves a handler never crosses the event loop: each is reported in
// its own words, and only a refusal lets the program go on.
TEST(Dispatch, EachFailureIsReportedInItsOwnWords)
{
    const std::u16string failed = u"Operacja systemu nie powiodła się i program zostanie zamknięty.\n\n";
    const struct {
        const char* row;
        std::function<void()> failure;
        int status;
        std::u16string report;
    } rows[] = {
        {"out of memory", [] { throw std::bad_alloc(); }, 1, failed + u"Za mało pamięci."},
        {"unknown", [] { throw 42; }, 1, failed + u"Nieznany błąd."},
        {"a library's", [] { throw std::runtime_error("vector::_M_range_check"); }, 1, failed + u"Nieznany błąd."},
        {"no system error", [] { throw PlatformError("Brak ekranu."); }, 1, failed + u"Brak ekranu."},
        {"refused", [] { throw Refusal("Schowek jest zajęty."); }, 0, u"Schowek jest zajęty."},
        {"cancelled", [] { throw Refusal(""); }, 0, u""},
    };
    for (const auto& row : rows) {
        const WindowPtr window = CreateMainWindow(u"test", u"", 10200, 6090, "kresovar", "io.github.kresovar.Test");
        Button& button = CreateButton(*window, u"Pierwszy", {120, 5640, 1815, 375}, row.failure);
        driver::ReportWatch report;
        // A refused command leaves the program running, to be closed.
        EXPECT_EQ(driver::RunProgram(*window, [&] {
                      driver::Click(button);
                      driver::RequestClose(*window);
                  }),
                  row.status)
            << row.row;
        EXPECT_EQ(report.shown, row.report.empty() ? 0 : 1) << row.row;
        EXPECT_EQ(report.text, row.report) << row.row;
    }
}

TEST_F(TwoButtons, EndProgramLeavesTheHandlerAtOnceWithZero)
{
    bool afterEnd = false;
    first = [&] {
        EndProgram();
        afterEnd = true;
    };
    EXPECT_EQ(ClickFirstAndRun(), 0);
    EXPECT_FALSE(afterEnd);
}

TEST_F(TwoButtons, ClosingTheWindowDuringAPumpLeavesTheHandlerAtThatPump)
{
    int pumpsReturned = 0;
    first = [&] {
        PumpEvents();
        ++pumpsReturned;
        driver::RequestClose(*window);
        PumpEvents();
        ++pumpsReturned;
    };
    EXPECT_EQ(ClickFirstAndRun(), 0);
    EXPECT_EQ(pumpsReturned, 1);
}

TEST_F(TwoButtons, ClosingTheIdleWindowEndsTheProgramWithZero)
{
    EXPECT_EQ(driver::RunProgram(*window, [this] { driver::RequestClose(*window); }), 0);
}

// A click queued before the buttons could be disabled, delivered by a pump
// inside another handler or after the end, runs nothing.
TEST_F(TwoButtons, AQueuedClickRunsNoHandlerInsideAnotherOrAfterTheEnd)
{
    int secondRuns = 0;
    second = [&] { ++secondRuns; };
    first = [&] {
        driver::QueueClick(button2);
        PumpEvents();
        driver::QueueClick(button2);
        EndProgram();
    };
    EXPECT_EQ(ClickFirstAndRun(), 0);
    EXPECT_EQ(secondRuns, 0);
}

TEST_F(TwoButtons, ADisabledButtonIgnoresClicksAndSpace)
{
    int clicks = 0;
    first = [&] { ++clicks; };
    driver::Show(*window);
    EnableButton(button1, false);
    EXPECT_FALSE(driver::IsEnabled(button1));
    driver::Click(button1);
    driver::Press(driver::Key::Tab);  // from the text area to the first button, if it took the focus
    driver::Press(driver::Key::Space);
    EXPECT_EQ(clicks, 0);
    EnableButton(button1, true);
    driver::Click(button1);
    EXPECT_EQ(clicks, 1);
}

TEST(RunProgram, AFailureWhileTheWindowIsBuiltIsReportedAndEndsWithOne)
{
    driver::ReportWatch report;
    EXPECT_EQ(RunProgram([]() -> int { throw PlatformError(1400, "Nieprawidłowe dojście okna."); }), 1);
    EXPECT_EQ(report.shown, 1);
    EXPECT_EQ(report.text, u"Nie udało się otworzyć okna programu.\n\nBłąd nr 1400: Nieprawidłowe dojście okna.");
}

// A fold is kept as the letters it replaced, in a few bytes each; past its
// budget the record lets its oldest steps go, and undo stops there.
TEST(UndoRecord, KeepsAFoldCompactlyAndLetsTheOldestStepsGoPastItsBudget)
{
    std::u16string text;
    for (int i = 0; i < 100'000; ++i)
        text += i % 10 ? u'x' : u'ż';
    std::u16string folded = text;
    std::ranges::replace(folded, u'ż', u'z');
    UndoRecord record;
    record.Edit(0, text, u"", 0);
    record.Edit(0, u"", folded, 0);
    EXPECT_LE(record.Bytes(), 10'000 * 8);
    EXPECT_EQ(record.Undo(folded, 0), 0);
    EXPECT_TRUE(folded == text);

    UndoRecord small(2'000);
    std::vector<std::u16string> texts{u""};
    for (char16_t letter = u'a'; letter <= u'z'; ++letter) {
        small.Edit(0, texts.back(), std::u16string(100, letter), 0);
        small.Close();
        texts.emplace_back(100, letter);
    }
    std::u16string walked = texts.back();
    std::size_t steps = 0;
    for (; small.CanUndo(); ++steps) {
        small.Undo(walked, 0);
        EXPECT_EQ(walked, texts[texts.size() - 2 - steps]);
    }
    EXPECT_GT(steps, 0U);
    EXPECT_LT(steps, 10U);
    EXPECT_LE(small.Bytes(), 2'000U);
    while (small.CanRedo())
        small.Redo(walked, 0);
    EXPECT_EQ(walked, texts.back());

    // A fold of a text over the budget empties it and fills it again: the steps before stay.
    std::u16string large(1'500, u'ż'), typed = large + u"ab", refolded = typed;
    refolded[0] = u'z';
    UndoRecord tight(2'000);
    tight.Edit(0, u"", large, 0), tight.Close(), tight.Edit(1'500, u"", u"ab", 0), tight.Close();
    tight.Edit(0, typed, u"", 0), tight.Edit(0, u"", refolded, 0), tight.Close();
    for (const std::u16string& before : {typed, large, std::u16string()}) {
        ASSERT_TRUE(tight.CanUndo());
        tight.Undo(refolded, 0);
        EXPECT_EQ(refolded, before);
    }
    // A text changed where the record did not see it stays as it is; the record forgets its steps.
    std::u16string unseen = u"x";
    tight.Redo(unseen, 0);
    EXPECT_TRUE(unseen == u"x" && !tight.CanRedo());
}

} // namespace
