#include "widgets_win32.h"
#include "win32_error.h"

#include "platform_seam.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>

namespace platform {

namespace {

constexpr wchar_t kWindowClass[] = L"KresovarMainWindow";

int TwipsToPixels(int twips, UINT dpi)
{
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

// Keys and clicks for a text area, which takes no input while a command
// runs: what was typed into the emptied area would be overwritten.
bool HeldFromTextArea(const Window& window, const MSG& message)
{
    const bool input = (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST)
        || (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST);
    if (!window.state.inHandler || !input)
        return false;
    for (const auto& area : window.textAreas) {
        if (area->hwnd == message.hwnd)
            return true;
    }
    return false;
}

void Deliver(MSG& message)
{
    Window* window = MainWindow();
    if (window && HeldFromTextArea(*window, message))
        return;
    if (!window || !IsDialogMessageW(window->hwnd, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void ApplyFont(Window& window, UINT dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        RaiseLastError();
    HFONT font = CreateFontIndirectW(&metrics.lfMessageFont);
    if (!font)
        RaiseLastError();
    for (const auto& [control, place] : window.places)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (window.font)
        DeleteObject(window.font);
    window.font = font;
}

// Places the window's client area and every control from their twips.
void Layout(Window& window, UINT dpi)
{
    RECT frame{0, 0, TwipsToPixels(window.clientWidthTwips, dpi), TwipsToPixels(window.clientHeightTwips, dpi)};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window.hwnd, GWL_STYLE));
    const DWORD extended = static_cast<DWORD>(GetWindowLongPtrW(window.hwnd, GWL_EXSTYLE));
    if (!AdjustWindowRectExForDpi(&frame, style, FALSE, extended, dpi))
        RaiseLastError();
    if (!SetWindowPos(window.hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
        RaiseLastError();
    for (const auto& [control, place] : window.places) {
        if (!MoveWindow(control, TwipsToPixels(place.left, dpi), TwipsToPixels(place.top, dpi),
                        TwipsToPixels(place.width, dpi), TwipsToPixels(place.height, dpi), TRUE))
            RaiseLastError();
    }
    ApplyFont(window, dpi);
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window)
        return DefWindowProcW(hwnd, message, wParam, lParam);

    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_CHANGE) {
            for (const auto& area : window->textAreas) {
                if (area->hwnd == reinterpret_cast<HWND>(lParam))
                    ++area->changes;
            }
            return 0;
        }
        // The dialog manager's Enter and Escape arrive as IDOK and IDCANCEL
        // from no control: no button is a default or cancel button.
        if (HIWORD(wParam) == BN_CLICKED) {
            for (const auto& button : window->buttons) {
                if (button->hwnd == reinterpret_cast<HWND>(lParam))
                    Dispatch(*window, button->onClick);
            }
            return 0;
        }
        break;
    case WM_CLOSE:
        RequestClose(*window);
        return 0;
    case WM_ACTIVATE:
        // As a dialog does: remember the focused control when the user
        // leaves, so that the focus goes back to it on return.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus))
                window->lastFocus = focus;
        }
        break;
    case WM_SETFOCUS:
        if (window->lastFocus && IsWindow(window->lastFocus))
            SetFocus(window->lastFocus);
        else if (!window->places.empty())
            SetFocus(window->places.front().first);
        return 0;
    case WM_DPICHANGED: {
        // Moving to a screen of another resolution: the same twips, new pixels.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        DispatchOrDefer(*window, [window, dpi = HIWORD(wParam)] { Layout(*window, dpi); });
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateControl(Window& window, const wchar_t* kind, std::u16string_view text, DWORD style,
                   DWORD extendedStyle, TwipsRect place)
{
    const UINT dpi = GetDpiForWindow(window.hwnd);
    const std::wstring caption = ToWide(text);
    HWND control = CreateWindowExW(extendedStyle, kind, caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | style,
                                   TwipsToPixels(place.left, dpi), TwipsToPixels(place.top, dpi),
                                   TwipsToPixels(place.width, dpi), TwipsToPixels(place.height, dpi),
                                   window.hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!control)
        RaiseLastError();
    window.places.emplace_back(control, place);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(window.font), FALSE);
    return control;
}

LRESULT CALLBACK TextAreaProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* area = reinterpret_cast<TextArea*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // A multi-line EDIT control treats Escape as a request to close the
    // window around it, which would throw the text away; it does nothing here.
    if ((message == WM_KEYDOWN && wParam == VK_ESCAPE) || (message == WM_CHAR && wParam == 0x1B))
        return 0;
    // Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y, and the context menu's Undo, go
    // through the program's record.
    constexpr WPARAM kCtrlY = 0x19;
    constexpr WPARAM kCtrlZ = 0x1A;
    if (message == WM_CHAR && (wParam == kCtrlY || wParam == kCtrlZ)) {
        UndoStep(*area, wParam == kCtrlZ && GetKeyState(VK_SHIFT) >= 0);
        return 0;
    }
    // So does Alt+Backspace, which the control would take to its own undo
    // unseen, leaving the record to swap units with a text it never had.
    constexpr LPARAM kAltDown = LPARAM{1} << 29;
    if ((message == WM_UNDO || message == EM_UNDO)
        || (message == WM_SYSKEYDOWN && wParam == VK_BACK && (lParam & kAltDown))) {
        UndoStep(*area, true);
        return TRUE;
    }
    if (message == EM_CANUNDO)
        return area->record.CanUndo();
    const std::uint64_t changes = area->changes;
    const bool outermost = !area->busy;
    const bool edits = message == WM_CHAR || message == WM_CUT || message == WM_PASTE || message == WM_CLEAR
        || message == EM_REPLACESEL || message == WM_SETTEXT || message == WM_IME_CHAR
        || message == WM_IME_COMPOSITION || (message == WM_KEYDOWN && (wParam == VK_DELETE || wParam == VK_INSERT));
    std::optional<EditBefore> before;
    if (outermost && edits && area->recording)
        before = BeforeEdit(*area, message == WM_SETTEXT);
    DWORD start = 0;
    CallWindowProcW(area->original, hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    area->busy = true;
    LRESULT result = CallWindowProcW(area->original, hwnd, message, wParam, lParam);
    area->busy = !outermost;
    DWORD end = 0;
    CallWindowProcW(area->original, hwnd, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&end));
    if (outermost && area->changes != changes) {
        // Whatever the edit was (typing, a paste by any key, a cut), it
        // replaced the text from the earlier selection's start up to the caret.
        MendLineBreaks(*area, static_cast<std::int32_t>(std::min(start, end)), static_cast<std::int32_t>(end));
        if (before)
            RecordEdit(*area, std::move(*before), message == WM_CHAR && wParam >= 0x20 && wParam != 0x7F);
    }
    // It also takes every key for itself; Tab should move the focus along
    // the tab order instead, as in the rest of the window. And the dialog
    // manager would select the whole text whenever Tab brings the focus
    // back, for the next key to replace it; the caret stays where it was.
    if (message == WM_GETDLGCODE) {
        result &= ~DLGC_HASSETSEL;
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN && key->wParam == VK_TAB)
            result &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    }
    return result;
}

} // namespace

DispatchState& StateOf(Window& window)
{
    return window.state;
}

namespace {

void ShowMessage(Window* owner, const std::string& utf8Text, const char* title, UINT icon)
{
    const std::wstring text = ToWide(utf8Text);
    const std::wstring caption = ToWide(std::string_view(title));
    MessageBoxW(owner && IsWindowVisible(owner->hwnd) ? owner->hwnd : nullptr, text.c_str(), caption.c_str(),
                MB_OK | icon);
}

} // namespace

void ShowReport(Window* owner, const std::string& utf8Text)
{
    ShowMessage(owner, utf8Text, ReportTitle, MB_ICONERROR);
}

void ShowNotice(Window* owner, const std::string& utf8Text)
{
    ShowMessage(owner, utf8Text, NoticeTitle, MB_ICONWARNING);
}

void LeaveEventLoop(Window& window, int status)
{
    window.exitStatus = status;
    if (window.hwnd)
        ShowWindow(window.hwnd, SW_HIDE);
    PostQuitMessage(status);
}

bool DeliverPendingMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        Deliver(message);
    }
    return true;
}

void WindowDeleter::operator()(Window* window) const
{
    ForgetMainWindow(window);
    if (window->hwnd && IsWindow(window->hwnd)) {
        SetWindowLongPtrW(window->hwnd, GWLP_USERDATA, 0);
        DestroyWindow(window->hwnd);
    }
    if (window->font)
        DeleteObject(window->font);
    delete window;
}

WindowPtr CreateMainWindow(std::u16string_view title, std::u16string_view description,
                           int clientWidthTwips, int clientHeightTwips, std::string_view iconName,
                           std::string_view desktopId)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const std::wstring icon = ToWide(iconName);
    WindowPtr window(new Window);
    window->clientWidthTwips = clientWidthTwips;
    window->clientHeightTwips = clientHeightTwips;
    window->icon = LoadIconW(instance, icon.c_str());

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = window->icon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        RaiseLastError();

    const std::wstring caption = ToWide(title);
    window->hwnd = CreateWindowExW(0, kWindowClass, caption.c_str(),
                                   WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                                   CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance,
                                   window.get());
    if (!window->hwnd)
        RaiseLastError();
    // Screen readers announce the native title and captions; the description
    // is for toolkits that carry such a property. Windows knows the program
    // by its Start-menu shortcut rather than by a desktop entry.
    (void)description;
    (void)desktopId;
    Layout(*window, GetDpiForWindow(window->hwnd));
    SetMainWindow(window.get());
    return window;
}

TextArea& CreateTextArea(Window& window, TwipsRect place, std::u16string_view accessibleName)
{
    // Screen readers name an EDIT control after the label just before it;
    // a hidden one names it without being seen.
    const std::wstring name = ToWide(accessibleName);
    if (!CreateWindowExW(0, L"STATIC", name.c_str(), WS_CHILD, 0, 0, 0, 0, window.hwnd, nullptr,
                         GetModuleHandleW(nullptr), nullptr))
        RaiseLastError();
    auto area = std::make_unique<TextArea>();
    area->hwnd = CreateControl(window, L"EDIT", u"",
                               WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL
                                   | ES_WANTRETURN,
                               WS_EX_CLIENTEDGE, place);
    // The program sets no length limit of its own; 0 lifts the typing limit.
    SendMessageW(area->hwnd, EM_SETLIMITTEXT, 0, 0);
    SetWindowLongPtrW(area->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(area.get()));
    area->original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(area->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TextAreaProc)));
    window.textAreas.push_back(std::move(area));
    return *window.textAreas.back();
}

Button& CreateButton(Window& window, std::u16string_view caption, TwipsRect place, ClickHandler onClick)
{
    // A caption's '&' would mark an access key; the program's captions have none.
    std::u16string text;
    for (char16_t unit : caption) {
        text += unit;
        if (unit == u'&')
            text += u'&';
    }
    auto button = std::make_unique<Button>();
    button->hwnd = CreateControl(window, L"BUTTON", text, BS_PUSHBUTTON, 0, place);
    button->onClick = std::move(onClick);
    window.buttons.push_back(std::move(button));
    return *window.buttons.back();
}

int RunWithoutWindow(const std::function<int()>& entry, int failureStatus)
{
    return RunReported(entry, failureStatus);
}

int StartProgram(Window& window)
{
    ShowWindow(window.hwnd, SW_SHOWNORMAL);
    UpdateWindow(window.hwnd);
    NoteWindowOpened();
    if (!window.places.empty())
        SetFocus(window.places.front().first);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        Deliver(message);
    return window.exitStatus;
}

void PumpEvents()
{
    CheckFault("PumpEvents");
    if (!DeliverPendingMessages())
        throw ProgramEnd{};
    LeaveHandlerIfClosed();
}

// The window's messages but its input, which waits in the queue for the
// command to end, as it would while the program is busy; Escape, as the
// first key, ends the wait instead.
bool PumpWhileWaiting()
{
    MSG message;
    if (PeekMessageW(&message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) && message.wParam == VK_ESCAPE) {
        PeekMessageW(&message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE);
        return false;
    }
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            throw ProgramEnd{};
        }
        Deliver(message);
    }
    LeaveHandlerIfClosed();
    return true;
}

std::uintptr_t WindowHandle(Window& window)
{
    CheckFault("WindowHandle");
    return reinterpret_cast<std::uintptr_t>(window.hwnd);
}

void EnableButton(Button& button, bool enabled)
{
    CheckFault("EnableButton");
    EnableWindow(button.hwnd, enabled ? TRUE : FALSE);
}

} // namespace platform
