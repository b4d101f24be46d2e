// kresovar-clipboard: folds the text on the clipboard in place, with no
// window, for a desktop action or a hotkey to run.

#include "clipboard.h"
#include "fold_text.h"
#include "platform.h"

#include <string>

namespace {

// The exit statuses beside 0: no text to fold, and a failure, reported.
constexpr int kNoText = 1;
constexpr int kFailed = 2;

// A clipboard with no text, or whose text the fold leaves as it is, is left
// alone with whatever else it offers; a folded text replaces it as plain text.
int FoldClipboard()
{
    std::u16string folded;
    {
        const std::u16string text = ClipboardRead();
        if (text.empty())
            return kNoText;
        folded = FoldText(text);
        if (folded == text)
            return 0;
    } // The text is released before the clipboard takes the result.
    ClipboardWrite(folded);
    ClipboardKeep();
    return 0;
}

} // namespace

int main()
{
    return platform::RunWithoutWindow(FoldClipboard, kFailed);
}
