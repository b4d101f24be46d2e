// The paste, fold and copy commands of the Windows build on large texts, each
// against its floor: the EDIT control's own WM_SETTEXT and WM_GETTEXT of the
// same text with the same message processing, plus the clipboard calls that
// paste and copy must make. Command and floor take turns, round after round;
// each figure is the median of the rounds, printed with their spread. Then the
// CPU the window takes at rest holding one long line.

#include "clipboard.h"
#include "command_rounds.h"
#include "form1.h"
#include "win32/widgets_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <map>
#include <vector>
#include <string>

using namespace platform;

namespace {

const bench::Size kSizes[] = {
    {"1M", 1'000'000, 80},
    {"10M", 10'000'000, 80},
    {"1M_one_line", 1'000'000, 0},
    {"10M_one_line", 10'000'000, 0},
};

void SetText(HWND control, const std::wstring& text)
{
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring GetText(HWND control)
{
    std::wstring text(static_cast<std::size_t>(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0)), L'\0');
    SendMessageW(control, WM_GETTEXT, text.size() + 1, reinterpret_cast<LPARAM>(text.data()));
    return text;
}

void Pump()
{
    DeliverPendingMessages();
}

// The clipboard's text, read with the fewest calls.
std::wstring ClipboardFloorRead()
{
    OpenClipboard(nullptr);
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring text(static_cast<const wchar_t*>(GlobalLock(data)));
    GlobalUnlock(data);
    CloseClipboard();
    return text;
}

// Emptied by no window, the clipboard would refuse the text.
void ClipboardFloorWrite(const std::wstring& text)
{
    static const HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    OpenClipboard(owner);
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

std::map<std::string, bench::AtRest> rests;

// Times `command` and `floor` in turns, each on a text area freshly holding
// the size's text, the clipboard holding it too.
template <typename Command, typename Floor>
void Compare(Form1& form, const char* name, const bench::Size& size, Command command, Floor floor)
{
    const std::u16string text = bench::Lines(size.units, size.lineLength);
    ClipboardWrite(text);
    const auto timed = [&](auto&& run) {
        WriteText(form.Text1, text);
        PlaceCaret(form.Text1, static_cast<std::int32_t>(text.size() / 2));
        Pump();
        return std::pair{bench::MillisecondsOf([&] { run(form); }), -1.0};
    };
    bench::PrintRow(name, size, bench::Rounds(timed, command, floor));
}

void Paste(Form1& form, const bench::Size& size)
{
    Compare(form, "paste", size, [](Form1& target) { target.PasteCommand(); }, [](Form1& target) {
        SetText(target.Text1.hwnd, L"");
        SetText(target.Text1.hwnd, ClipboardFloorRead());
    });
}

void Fold(Form1& form, const bench::Size& size)
{
    Compare(form, "fold", size, [](Form1& target) { target.FoldCommand(); }, [](Form1& target) {
        const std::wstring text = GetText(target.Text1.hwnd);
        SetText(target.Text1.hwnd, L"");
        Pump();
        Pump();
        SetText(target.Text1.hwnd, text);
        Pump();
    });
}

void Copy(Form1& form, const bench::Size& size)
{
    Compare(form, "copy", size, [](Form1& target) { target.CopyCommand(); },
            [](Form1& target) { ClipboardFloorWrite(GetText(target.Text1.hwnd)); });
}

double CpuMilliseconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](FILETIME time) {
        return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

// The CPU the message loop takes in `ms`.
double CpuOfMessageLoop(int ms)
{
    const double start = CpuMilliseconds();
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        Pump();
    }
    return CpuMilliseconds() - start;
}

// The window shown with the text, as a paste leaves it: caret at the end.
void AtRest(Form1& form, const bench::Size& size)
{
    ShowWindow(form.window().hwnd, SW_SHOWNORMAL);
    const std::u16string text = bench::Lines(size.units, size.lineLength);
    WriteText(form.Text1, text);
    PlaceCaret(form.Text1, static_cast<std::int32_t>(text.size()));
    TakeFocus(form.Text1);
    bench::AtRest& rest = rests[size.name];
    rest.settleCpuMs = CpuOfMessageLoop(bench::kSettleMs);
    rest.cpuMs = CpuOfMessageLoop(bench::kRestMs);
    WriteText(form.Text1, u"");
    ShowWindow(form.window().hwnd, SW_HIDE);
}

} // namespace

// With names of sizes or commands as arguments, only those.
int main(int argc, char** argv)
{
    const std::vector<std::string> chosen(argv + 1, argv + argc);
    const auto wanted = [&](const char* name, auto all) {
        return std::none_of(std::begin(all), std::end(all),
                            [&](const std::string& one) { return std::count(chosen.begin(), chosen.end(), one); })
            || std::count(chosen.begin(), chosen.end(), name);
    };
    std::vector<std::string> sizeNames;
    for (const bench::Size& size : kSizes)
        sizeNames.push_back(size.name);
    const std::vector<std::string> commandNames = {"paste", "fold", "copy"};
    std::vector<bench::Size> sizes;
    for (const bench::Size& size : kSizes) {
        if (wanted(size.name, sizeNames))
            sizes.push_back(size);
    }
    // Under Wine the control is Wine's, not Windows'.
    using Version = const char* (*)();
    // Through void (*)(), the one function type GCC lets any other be cast to.
    const auto wine = reinterpret_cast<Version>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    std::printf("\nThe Windows build's commands against the EDIT control's own cost; the control is %s %s.\n",
                wine ? "Wine" : "Windows'", wine ? wine() : "");
    bench::PrintHeader();
    Form1 form;
    const std::pair<const char*, void (*)(Form1&, const bench::Size&)> commands[] = {
        {"paste", Paste}, {"fold", Fold}, {"copy", Copy}};
    for (const auto& [name, command] : commands) {
        for (const bench::Size& size : sizes) {
            if (wanted(name, commandNames))
                command(form, size);
        }
    }
    for (const bench::Size& size : sizes) {
        if (size.lineLength == 0)
            AtRest(form, size);
    }
    bench::PrintAtRest(rests, sizes);
}
