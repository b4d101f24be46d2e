#include "form1.h"

#include "clipboard.h"
#include "fold_text.h"
#include "kresovar_version.h"
#include "shell_open.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <string_view>

using namespace platform;

namespace {

constexpr std::u16string_view kTitle = u"Kresovar – tekst bez polskich ogonków";
constexpr std::u16string_view kDescription =
    u"Zamienia polskie litery z ogonkami na zwykłe litery łacińskie.";
constexpr std::u16string_view kTextAreaName = u"Tekst";
constexpr std::string_view kIconName = "kresovar";
constexpr std::string_view kDesktopId = KRESOVAR_DESKTOP_ID;
constexpr std::string_view HomePageAddress = kHomePageAddress;

// The layout in twips: the text area fills the top, the buttons stand in one row below.
constexpr int kClientWidth = 10200;
constexpr int kClientHeight = 6090;
constexpr TwipsRect kTextArea{0, 0, 10215, 5535};
constexpr int kButtonTop = 5640;
constexpr int kButtonWidth = 1815;
constexpr int kButtonHeight = 375;

constexpr TwipsRect ButtonAt(int left)
{
    return {left, kButtonTop, kButtonWidth, kButtonHeight};
}

constexpr char kFoldOutOfMemory[] = "Za mało pamięci, by usunąć ogonki. Tekst pozostał bez zmian.";

// The fold of `source`; where memory runs out for it, `putBack` gives the
// text area its text back and the command is refused.
template <typename PutBack>
std::u16string FoldOrPutBack(const std::u16string& source, PutBack putBack)
{
    try {
        return FoldText(source);
    } catch (const std::bad_alloc&) {
        putBack();
        throw Refusal(kFoldOutOfMemory);
    }
}

std::int32_t LengthOf(const std::u16string& text)
{
    return static_cast<std::int32_t>(
        std::min<std::size_t>(text.size(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

// Creation order is tab order: the text area, then the buttons by number.
Form1::Form1()
    : window_(CreateMainWindow(kTitle, kDescription, kClientWidth, kClientHeight, kIconName, kDesktopId))
    , Text1(CreateTextArea(*window_, kTextArea, kTextAreaName))
    , Command1(CreateButton(*window_, u"Usuń ogonki", ButtonAt(2160), [this] { FoldCommand(); }))
    , Command2(CreateButton(*window_, u"Wklej ze schowka", ButtonAt(120), [this] { PasteCommand(); }))
    , Command3(CreateButton(*window_, u"Kopiuj do schowka", ButtonAt(4200), [this] { CopyCommand(); }))
    , Command4(CreateButton(*window_, u"WWW", ButtonAt(6240), [this] { WebCommand(); }))
    , Command5(CreateButton(*window_, u"Koniec", ButtonAt(8280), [this] { ExitCommand(); }))
{
    // While the clipboard waits for another program, the window repaints and
    // Escape cancels the wait.
    SetClipboardWaitHook(PumpWhileWaiting);
}

void Form1::EnabledX(bool enabled)
{
    for (Button* button : {&Command1, &Command2, &Command3, &Command4, &Command5})
        EnableButton(*button, enabled);
}

// Folds the whole text in place. The buttons stay disabled while events are
// pumped, so no other command can start in the middle; the fold keeps every
// unit at its offset, so the caret comes back to the same place.
void Form1::FoldCommand()
{
    const std::int32_t caret = CaretPos(Text1);
    EnabledX(false);
    std::u16string result;
    {
        const std::u16string source = ReadText(Text1);
        WriteText(Text1, u"");
        PumpEvents();
        result = FoldOrPutBack(source, [&] {
            WriteText(Text1, source);
            EnabledX(true);
        });
    } // The source is released before the text area takes the result.
    PumpEvents();
    WriteText(Text1, result);
    PumpEvents();
    EnabledX(true);
    PlaceCaret(Text1, caret);
    CollapseSelection(Text1);
    TakeFocus(Text1);
}

// Replaces the text with the clipboard's, read first: a read that is refused
// leaves the text as it was. The caret goes after what the text area now
// holds, measured afresh. The focus stays where it is.
void Form1::PasteCommand()
{
    WriteText(Text1, ClipboardRead());
    PlaceCaret(Text1, LengthOf(ReadText(Text1)));
    CollapseSelection(Text1);
}

// Replaces everything on the clipboard with the whole text.
void Form1::CopyCommand()
{
    ClipboardWipe();
    ClipboardWrite(ReadText(Text1));
    TakeFocus(Text1);
}

// Opens the home page; whether a browser started or not, nothing is said.
void Form1::WebCommand()
{
    const std::uintptr_t owner = WindowHandle(*window_);
    ShellOpen(owner, "open", HomePageAddress, "", "", 1);
    TakeFocus(Text1);
}

void Form1::ExitCommand()
{
    EndProgram();
}
