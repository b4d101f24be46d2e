#include "driver.h"

#include "win32/widgets_win32.h"

#include <oleacc.h>

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace driver {

namespace {

constexpr UINT kDeadlineMs = 20000;

// Thread timers run their callbacks from any message loop, the report's own
// included; each holds one piece of work at a time.
std::function<void()> pendingAction;
ReportWatch* currentWatch = nullptr;
ULONGLONG watchDeadline = 0;

void Send(std::vector<INPUT> inputs)
{
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
        ADD_FAILURE() << "SendInput failed: " << GetLastError();
    DeliverPendingMessages();
}

INPUT KeyInput(WORD key, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

void PressWith(WORD modifier, WORD key)
{
    std::vector<INPUT> inputs;
    if (modifier)
        inputs.push_back(KeyInput(modifier, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    if (modifier)
        inputs.push_back(KeyInput(modifier, true));
    Send(inputs);
}

HWND FindReport()
{
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            wchar_t kind[16] = {};
            GetClassNameW(window, kind, 16);
            if (std::wstring_view(kind) == L"#32770" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK PollReport(HWND, UINT, UINT_PTR timer, DWORD)
{
    ReportWatch* watch = currentWatch;
    if (const HWND box = FindReport(); box && watch) {
        // A message box keeps its text in the static control numbered 0xFFFF.
        const HWND label = GetDlgItem(box, 0xFFFF);
        watch->text.assign(static_cast<std::size_t>(GetWindowTextLengthW(label)), u'\0');
        GetWindowTextW(label, reinterpret_cast<wchar_t*>(watch->text.data()), static_cast<int>(watch->text.size()) + 1);
        ++watch->shown;
        EndDialog(box, IDOK);
    }
    if (GetTickCount64() > watchDeadline)
        KillTimer(nullptr, timer);
}

} // namespace

void Show(Window& window)
{
    ShowWindow(window.hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(window.hwnd);
    if (!window.places.empty())
        SetFocus(window.places.front().first);
    DeliverPendingMessages();
}

int RunProgram(Window& window, std::function<void()> action)
{
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 0, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        SetForegroundWindow(MainWindow()->hwnd);
        std::exchange(pendingAction, nullptr)();
    });
    const UINT_PTR deadline = SetTimer(nullptr, 0, kDeadlineMs, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        ADD_FAILURE() << "the program did not end within 20 s";
        LeaveEventLoop(*MainWindow(), 99);
    });
    const int status = StartProgram(window);
    KillTimer(nullptr, deadline);
    return status;
}

void Click(Button& button)
{
    RECT place;
    GetWindowRect(button.hwnd, &place);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 across the primary screen.
    input.mi.dx = MulDiv((place.left + place.right) / 2, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv((place.top + place.bottom) / 2, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    INPUT down = input;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    INPUT up = input;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    Send({input, down, up});
}

void QueueClick(Button& button)
{
    PostMessageW(GetParent(button.hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button.hwnd), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button.hwnd));
}

void Press(Key key)
{
    switch (key) {
    case Key::Enter: PressWith(0, VK_RETURN); break;
    case Key::ShiftEnter: PressWith(VK_SHIFT, VK_RETURN); break;
    case Key::CtrlEnter: PressWith(VK_CONTROL, VK_RETURN); break;
    case Key::Tab: PressWith(0, VK_TAB); break;
    case Key::Escape: PressWith(0, VK_ESCAPE); break;
    case Key::Space: PressWith(0, VK_SPACE); break;
    case Key::Delete: PressWith(0, VK_DELETE); break;
    case Key::Backspace: PressWith(0, VK_BACK); break;
    case Key::CtrlX: PressWith(VK_CONTROL, 'X'); break;
    case Key::CtrlZ: PressWith(VK_CONTROL, 'Z'); break;
    case Key::CtrlY: PressWith(VK_CONTROL, 'Y'); break;
    case Key::CtrlV: PressWith(VK_CONTROL, 'V'); break;
    case Key::AltBackspace: PressWith(VK_MENU, VK_BACK); break;
    }
}

void Type(std::u16string_view text)
{
    std::vector<INPUT> inputs;
    for (char16_t unit : text) {
        for (bool up : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = unit;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    Send(inputs);
}

void SetClipboardText(std::u16string_view text)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (auto* units = static_cast<char16_t*>(GlobalLock(memory))) {
        std::copy(text.begin(), text.end(), units);
        units[text.size()] = u'\0';
        GlobalUnlock(memory);
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

void RequestClose(Window& window)
{
    PostMessageW(window.hwnd, WM_CLOSE, 0, 0);
}

ReportWatch::ReportWatch()
{
    currentWatch = this;
    watchDeadline = GetTickCount64() + kDeadlineMs;
    timer_ = SetTimer(nullptr, 0, 10, PollReport);
}

ReportWatch::~ReportWatch()
{
    KillTimer(nullptr, timer_);
    currentWatch = nullptr;
}

void Select(TextArea& area, std::int32_t anchor, std::int32_t active)
{
    SendMessageW(area.hwnd, EM_SETSEL, static_cast<WPARAM>(anchor), static_cast<LPARAM>(active));
}

bool HasSelection(TextArea& area)
{
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(area.hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start != end;
}

std::int32_t ShownLines(TextArea& area)
{
    return static_cast<std::int32_t>(SendMessageW(area.hwnd, EM_GETLINECOUNT, 0, 0));
}

bool HasFocus(TextArea& area)
{
    return GetFocus() == area.hwnd;
}

bool HasFocus(Button& button)
{
    return GetFocus() == button.hwnd;
}

bool IsEnabled(Button& button)
{
    return IsWindowEnabled(button.hwnd);
}

// As Microsoft Active Accessibility gives it to a screen reader.
std::u16string AccessibleName(TextArea& area)
{
    static const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)com;
    IAccessible* accessible = nullptr;
    const HRESULT found = AccessibleObjectFromWindow(area.hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                     reinterpret_cast<void**>(&accessible));
    if (FAILED(found)) {
        const std::string code = std::to_string(static_cast<unsigned long>(found));
        return u"(no accessible object: " + std::u16string(code.begin(), code.end()) + u")";
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::u16string result;
    if (SUCCEEDED(accessible->get_accName(self, &name)) && name)
        result.assign(reinterpret_cast<const char16_t*>(name), SysStringLen(name));
    SysFreeString(name);
    accessible->Release();
    return result;
}

} // namespace driver
