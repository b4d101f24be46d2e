#include "dispatch.h"

#include <new>
#include <stdexcept>
#include <utility>

namespace platform {

namespace {

Window* mainWindow = nullptr;

constexpr char kOperationFailed[] = "Operacja systemu nie powiodła się i program zostanie zamknięty.";
constexpr char kWindowNotBuilt[] = "Nie udało się otworzyć okna programu.";
constexpr char kOutOfMemory[] = "Za mało pamięci.";
constexpr char kUnknownFailure[] = "Nieznany błąd.";

// Whether StartProgram has shown the window: a failure before that is one of
// opening it.
bool windowOpened = false;

// Runs a handler and catches whatever leaves it, which must never cross the
// toolkit's event loop. Returns nothing when the handler returned, or was
// refused where `refusalEnds` is false; otherwise the exit status to end
// with, after a failure has been reported under `what`.
std::optional<int> RunHandler(const ClickHandler& handler, Window* owner, const char* what, bool refusalEnds = false)
{
    const auto report = [owner, what](const std::string& text) {
        const char* heading = what == kWindowNotBuilt && windowOpened ? kOperationFailed : what;
        ShowReport(owner, std::string(heading) + "\n\n" + text);
    };
    try {
        handler();
        return std::nullopt;
    } catch (const ProgramEnd&) {
        return 0;
    } catch (const Refusal& refusal) {
        if (*refusal.what())
            ShowNotice(owner, refusal.what());
        if (!refusalEnds)
            return std::nullopt;
    } catch (const NoDisplay& failure) {
        report(failure.description());
        return kNoDisplayStatus;
    } catch (const PlatformError& failure) {
        const std::optional<std::int32_t> number = failure.number();
        report((number ? "Błąd nr " + std::to_string(*number) + ": " : "") + failure.description());
    } catch (const std::bad_alloc&) {
        report(kOutOfMemory);
    } catch (const std::length_error&) {
        // A string asked to grow past what it can address: a huge text.
        report(kOutOfMemory);
    } catch (...) {
        report(kUnknownFailure);
    }
    return 1;
}

void Finish(Window& window, int status)
{
    StateOf(window).ended = true;
    LeaveEventLoop(window, status);
}

} // namespace

void Dispatch(Window& window, const ClickHandler& handler)
{
    DispatchState& state = StateOf(window);
    if (state.ended || state.inHandler)
        return;
    state.inHandler = true;
    std::optional<int> end = RunHandler(handler, &window, kOperationFailed);
    state.inHandler = false;
    if (!end && state.deferred)
        end = RunHandler(std::exchange(state.deferred, nullptr), &window, kOperationFailed);
    if (end)
        Finish(window, *end);
    else if (state.closeRequested)
        Finish(window, 0);
}

void DispatchOrDefer(Window& window, ClickHandler work)
{
    if (StateOf(window).inHandler)
        StateOf(window).deferred = std::move(work);
    else
        Dispatch(window, work);
}

void RequestClose(Window& window)
{
    DispatchState& state = StateOf(window);
    // A program already ending keeps its status: a close that arrives while a
    // failure ends it must not turn its 1 into 0.
    if (state.ended)
        return;
    if (state.inHandler)
        state.closeRequested = true;
    else
        Finish(window, 0);
}

void NoteWindowOpened()
{
    windowOpened = true;
}

void SetMainWindow(Window* window)
{
    mainWindow = window;
}

void ForgetMainWindow(Window* window)
{
    if (mainWindow == window)
        mainWindow = nullptr;
}

Window* MainWindow()
{
    return mainWindow;
}

void LeaveHandlerIfClosed()
{
    if (mainWindow && StateOf(*mainWindow).closeRequested)
        throw ProgramEnd{};
}

int RunProgram(const std::function<int()>& entry)
{
    int status = 0;
    windowOpened = false;
    const std::optional<int> end = RunHandler([&] { status = entry(); }, nullptr, kWindowNotBuilt);
    return end ? *end : status;
}

int RunReported(const std::function<int()>& entry, int failureStatus)
{
    int status = 0;
    const std::optional<int> end = RunHandler([&] { status = entry(); }, nullptr, kOperationFailed, true);
    return end ? failureStatus : status;
}

void EndProgram()
{
    throw ProgramEnd{};
}

} // namespace platform
