#pragma once

// The toolkit-free part of the event dispatch, shared by the Qt and Win32
// backends: a click runs its handler to its end, a failure is reported and
// ends the program, and a close request waits for the running handler.

#include "platform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// Where a window's program stands; each backend's window holds one.
struct DispatchState {
    bool inHandler = false;
    bool closeRequested = false;
    bool ended = false;
    // System work that arrived while a handler ran (a DPI change), done after it.
    ClickHandler deferred;
};

// No display answers, so the window cannot open: reported on standard error,
// and the program ends with kNoDisplayStatus.
class NoDisplay : public PlatformError {
public:
    using PlatformError::PlatformError;
};
inline constexpr int kNoDisplayStatus = 2;

// Provided by each backend.
DispatchState& StateOf(Window& window);
// Shows the modal error report, titled ReportTitle, and returns once the
// user has dismissed it. `owner` is null when the window could not be built.
void ShowReport(Window* owner, const std::string& utf8Text);
// Shows a modal message, titled NoticeTitle, that says why a command was
// refused; the program goes on once the user has dismissed it.
void ShowNotice(Window* owner, const std::string& utf8Text);
// Hides the window and leaves the event loop, which returns `status`.
void LeaveEventLoop(Window& window, int status);

inline constexpr char ReportTitle[] = "Kresovar – błąd";
inline constexpr char NoticeTitle[] = "Kresovar – uwaga";

// Runs a click handler to its end, unless another one is running (a click
// queued before the buttons were disabled, delivered by one of its pumps) or
// the program has ended. A failure is reported and ends the program.
void Dispatch(Window& window, const ClickHandler& handler);
// Like Dispatch, but work that arrives while a handler runs is done after it
// instead of being dropped.
void DispatchOrDefer(Window& window, ClickHandler work);
// The user closes the window: the program ends now, or once the running
// handler has been left at its next pump.
void RequestClose(Window& window);

// Called by StartProgram once the window is shown: a failure after that is
// no longer one of opening it.
void NoteWindowOpened();

// The window whose handlers run now; PumpEvents asks it whether it was closed.
void SetMainWindow(Window* window);
void ForgetMainWindow(Window* window);
Window* MainWindow();
// Called by PumpEvents once it has processed the events.
void LeaveHandlerIfClosed();

// The core of RunWithoutWindow, once the backend is ready.
int RunReported(const std::function<int()>& entry, int failureStatus);

} // namespace platform
