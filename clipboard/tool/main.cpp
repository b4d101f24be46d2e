// kresovar-clipboard: folds the text on the clipboard in place, with no
// window, for a desktop action or a hotkey to run.

#include "clipboard.h"
#include "fold_text.h"
#include "kresovar_version.h"
#include "platform.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The exit statuses beside 0: no text to fold, and a failure, reported.
constexpr int kNoText = 1;
constexpr int kFailed = 2;

constexpr char kUsage[] =
    "Usage: kresovar-clipboard [--help | --version]\n"
    "Replace the 18 Polish letters with diacritics (ą ć ę ł ń ó ś ź ż and their\n"
    "capitals) by plain Latin letters in the text on the clipboard, in place.\n"
    "Exit status: 0 if the text was folded or had nothing to fold, 1 if the\n"
    "clipboard holds no text, or none that can be read exactly, 2 on an error.\n";

// The answer to --help or --version; any other argument is an error that
// touches nothing. Nothing without arguments: the program then does its work.
std::optional<int> AnswerArguments(int argc, char** argv)
{
    if (argc < 2)
        return std::nullopt;
    const std::string_view first = argv[1];
    const bool known = first == "--help" || first == "--version";
    if (known && argc == 2) {
        if (first == "--help")
            std::fputs(kUsage, stdout);
        else
            std::printf("kresovar-clipboard %s\n", kProgramVersion);
        if (std::fflush(stdout) == 0 && !std::ferror(stdout))
            return 0;
        std::fputs("kresovar-clipboard: write error\n", stderr);
        return kFailed;
    }
    std::fprintf(stderr, "kresovar-clipboard: unknown argument '%s'; it takes only --help or --version\n",
                 argv[known ? 2 : 1]);
    return kFailed;
}

// A clipboard with no text, or whose text the fold leaves as it is, is left
// alone with whatever else it offers; a folded text replaces it as plain text.
// The program ends as usual if a signal ends the wait that follows, with the
// status a shell gives a program that signal ends.
int FoldClipboard()
{
    std::u16string folded;
    {
        const std::u16string text = ClipboardReadExact();
        if (text.empty())
            return kNoText;
        folded = FoldText(text);
        if (folded == text)
            return 0;
    } // The text is released before the clipboard takes the result.
    const int signal = ClipboardKeep(folded);
    return signal ? 128 + signal : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (const std::optional<int> answered = AnswerArguments(argc, argv))
        return *answered;
    return platform::RunWithoutWindow(FoldClipboard, kFailed);
}
