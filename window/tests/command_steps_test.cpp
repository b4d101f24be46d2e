// Each command's platform operations, in order, and what a failure or a
// close request at each of them does. Written against the test driver, so
// that both backends run the same table.

#include "clipboard.h"
#include "driver.h"
#include "platform_seam.h"
#include "form1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

struct Command {
    const char* name;
    Button& (*button)(Form1&);
    std::vector<std::string> steps;
};

const std::vector<std::string> kEnableAll(5, "EnableButton");

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> joined;
    for (const auto& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

const std::vector<Command> kCommands = {
    {"fold", [](Form1& f) -> Button& { return f.Command1; },
     Join({{"CaretPos"}, kEnableAll, {"ReadText", "WriteText", "PumpEvents", "PumpEvents", "WriteText", "PumpEvents"},
           kEnableAll, {"PlaceCaret", "CollapseSelection", "TakeFocus"}})},
    {"paste", [](Form1& f) -> Button& { return f.Command2; },
     {"ClipboardRead", "WriteText", "ReadText", "PlaceCaret", "CollapseSelection"}},
    {"copy", [](Form1& f) -> Button& { return f.Command3; },
     {"ClipboardWipe", "ReadText", "ClipboardWrite", "TakeFocus"}},
    {"web", [](Form1& f) -> Button& { return f.Command4; }, {"WindowHandle", "TakeFocus"}},
};

// Runs the command once in a fresh window and records every operation it
// calls; `atStep` is called with the window at the step numbered `stop`.
struct CommandRun {
    std::vector<std::string> steps;
    int status = -1;
    int reports = 0;
    std::u16string report;
    std::u16string text;

    CommandRun(const Command& command, std::size_t stop, const std::function<void(Form1&)>& atStep)
    {
        Form1 form;
        WriteText(form.Text1, u"żółw\r\ngęś");
        SetFaultHook([&](std::string_view operation) {
            steps.emplace_back(operation);
            if (steps.size() == stop)
                atStep(form);
        });
        driver::ReportWatch watch;
        status = driver::RunProgram(form.window(), [&] {
            driver::Click(command.button(form));
            driver::RequestClose(form.window());  // unless the command has ended the program
        });
        SetFaultHook(nullptr);
        text = ReadText(form.Text1);
        reports = watch.shown;
        report = watch.text;
    }
};

TEST(CommandSteps, EachCommandCallsItsOperationsInOrder)
{
    for (const Command& command : kCommands) {
        const CommandRun run(command, 0, [](Form1&) {});
        EXPECT_EQ(run.steps, command.steps) << command.name;
    }
}

// Every call of an operation that can fail, failing in turn: the command
// stops there, the report gives the number and description, the status is 1.
// A clipboard operation's failure is no fault of the program's: it is said,
// the text stays as it was, and the program goes on.
TEST(CommandSteps, AFailureAtAnyStepStopsTheCommandThereAndIsReported)
{
    for (const Command& command : kCommands) {
        for (std::size_t stop = 1; stop <= command.steps.size(); ++stop) {
            const std::string row = std::string(command.name) + " step " + std::to_string(stop) + " ("
                                    + command.steps[stop - 1] + ")";
            ClipboardWrite(u"tekst innego programu");
            const CommandRun run(command, stop, [](Form1&) { throw PlatformError(1418, "Schowek nie jest otwarty."); });
            EXPECT_EQ(run.steps, std::vector<std::string>(command.steps.begin(), command.steps.begin() + static_cast<std::ptrdiff_t>(stop)))
                << row;
            const bool clipboard = command.steps[stop - 1].starts_with("Clipboard");
            EXPECT_EQ(run.status, clipboard ? 0 : 1) << row;
            EXPECT_EQ(run.reports, 1) << row;
            EXPECT_EQ(run.report.starts_with(u"Operacja systemu nie powiodła się"), !clipboard) << row;
            EXPECT_TRUE(!clipboard || run.text == u"żółw\r\ngęś") << row << ": the text was not kept";
            EXPECT_NE(run.report.find(u"1418"), std::u16string::npos) << row;
            EXPECT_NE(run.report.find(u"Schowek nie jest otwarty."), std::u16string::npos) << row;
            // Copy empties the clipboard before it writes: a failed write leaves nothing of the old.
            if (command.steps[stop - 1] == "ClipboardWrite") {
                EXPECT_EQ(ClipboardRead(), u"") << row;
            }
        }
    }
}

// The user closes the window during each of the fold's three pumps: the
// fold goes no further than that pump and the program ends with 0.
TEST(CommandSteps, ClosingTheWindowDuringAPumpOfTheFoldEndsItThere)
{
    const Command& fold = kCommands.front();
    for (std::size_t stop = 1; stop <= fold.steps.size(); ++stop) {
        if (fold.steps[stop - 1] != "PumpEvents")
            continue;
        const CommandRun run(fold, stop, [](Form1& form) { driver::RequestClose(form.window()); });
        EXPECT_EQ(run.steps, std::vector<std::string>(fold.steps.begin(), fold.steps.begin() + static_cast<std::ptrdiff_t>(stop))) << stop;
        EXPECT_EQ(run.status, 0) << stop;
        EXPECT_EQ(run.reports, 0) << stop;
    }
}

// Ctrl+Z walks back through ten commands and the typing between them, in
// order, each command with the caret where it stood; Ctrl+Y walks forward.
// Typing after an undo is a step of its own, before the command it follows.
TEST(CommandSteps, UndoWalksBackThroughEveryCommandAndTheTypingBetween)
{
    Form1 form;
    driver::Show(form.window());
    struct State { std::u16string text; std::int32_t caret; bool command; };
    std::vector<State> states{{u"", 0, false}};
    const auto keep = [&](bool command) { states.push_back({ReadText(form.Text1), CaretPos(form.Text1), command}); };
    const std::u16string pasted[] = {u"Zażółć gęślą\r\njaźń", u"ą\r\U0001F600\r\nŻółw\rę"};
    for (int round = 0; round < 5; ++round) {
        ClipboardWrite(pasted[round % 2]);
        driver::Click(form.Command2);
        keep(true);
        TakeFocus(form.Text1);
        PlaceCaret(form.Text1, 4);
        driver::Type(u"ść");
        keep(false);
        driver::Click(form.Command1);
        keep(true);
        driver::Type(u"Ą");
        keep(false);
    }
    TakeFocus(form.Text1);
    for (std::size_t at = states.size() - 1; at > 0; --at) {
        driver::Press(driver::Key::CtrlZ);
        EXPECT_EQ(ReadText(form.Text1), states[at - 1].text) << "back from " << at;
        if (states[at].command) {
            EXPECT_EQ(CaretPos(form.Text1), states[at - 1].caret) << "back from " << at;
        }
    }
    driver::Press(driver::Key::CtrlZ);
    EXPECT_EQ(ReadText(form.Text1), u"");
    for (std::size_t at = 1; at < states.size(); ++at) {
        driver::Press(driver::Key::CtrlY);
        EXPECT_EQ(ReadText(form.Text1), states[at].text) << "forward to " << at;
    }
    const std::size_t last = states.size() - 1;
    driver::Press(driver::Key::CtrlZ);
    driver::Press(driver::Key::CtrlZ);
    driver::Type(u"x");
    driver::Press(driver::Key::CtrlZ);
    EXPECT_EQ(ReadText(form.Text1), states[last - 2].text);
    driver::Press(driver::Key::CtrlZ);
    EXPECT_EQ(ReadText(form.Text1), states[last - 3].text);
}

} // namespace
