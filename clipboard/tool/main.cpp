// kresovar-clipboard: folds the text on the clipboard in place, with no
// window, for a desktop action or a hotkey to run.

#include "clipboard.h"
#include "fold_text.h"
#include "kresovar_version.h"
#include "platform.h"
#include "say.h"

#include <optional>
#include <string>
#include <string_view>

namespace {

// The exit statuses beside 0: the clipboard left as it was, and a failure, reported.
constexpr int kNoText = 1;
constexpr int kFailed = 2;

constexpr char kUsage[] =
    "Usage: kresovar-clipboard [--help | --version]\n"
    "Replace the 18 Polish letters with diacritics (ą ć ę ł ń ó ś ź ż and their\n"
    "capitals) by plain Latin letters in the text on the clipboard, in place.\n"
    "Exit status: 0 if the text was folded or had nothing to fold; 1 if the\n"
    "clipboard was left as it was: it holds no text that can be read exactly,\n"
    "files, over 256 MB, or a newer copy made while it was read; 2 on an error.\n";

// The answer to --help or --version; any other argument is an error that
// touches nothing. Nothing without arguments: the program then does its work.
std::optional<int> AnswerArguments(int argc, char** argv)
{
    if (argc < 2)
        return std::nullopt;
    const std::string_view first = argv[1];
    const bool known = first == "--help" || first == "--version";
    if (known && argc == 2) {
        const std::string answer =
            first == "--help" ? kUsage : std::string("kresovar-clipboard ") + kProgramVersion + "\n";
        if (Say(stdout, answer))
            return 0;
        Say(stderr, "kresovar-clipboard: write error\n");
        return kFailed;
    }
    Say(stderr, std::string("kresovar-clipboard: unknown argument '") + argv[known ? 2 : 1]
                    + "'; it takes only --help or --version\n");
    return kFailed;
}

// Why a clipboard was left as it was, where the status alone does not say it.
const char* ReasonLeft(ClipboardFold result)
{
    switch (result) {
    case ClipboardFold::NewerCopy:
        return "W czasie odczytu skopiowano do schowka coś nowszego; zostawiono to bez zmian.";
    case ClipboardFold::Files:
        return "Schowek zawiera pliki, nie tekst; zostawiono go bez zmian.";
    case ClipboardFold::TooLarge:
        return "Schowek zawiera ponad 256 MB; zostawiono go bez zmian.";
    case ClipboardFold::NoAnswer:
        return "Program, do którego należy schowek, nie oddał go w ciągu 5 s; zostawiono go bez zmian.";
    default:
        return nullptr;
    }
}

// The clipboard folded in place, or left as it was with a line that says why.
// The program ends as usual if a signal ends the keeping that follows, with
// the status a shell gives a program that signal ends.
int FoldClipboard()
{
    const ClipboardFoldOutcome outcome =
        ClipboardFoldInPlace([](std::u16string_view text) { return FoldText(text); });
    if (const char* reason = ReasonLeft(outcome.result))
        Say(stderr, std::string("kresovar-clipboard: ") + reason + "\n");
    if (outcome.signal)
        return 128 + outcome.signal;
    return outcome.result == ClipboardFold::Folded || outcome.result == ClipboardFold::Unchanged ? 0 : kNoText;
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> answered = AnswerArguments(argc, argv))
        return *answered;
    return platform::RunWithoutWindow(FoldClipboard, kFailed);
}
