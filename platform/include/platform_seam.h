#pragma once

// What the platform's backends share with the window's own toolkit files
// (its clipboard and shell operations), which live beside them in one
// program: the seam every operation checks first, and each toolkit's one
// conversion or failure, defined by that toolkit's backend alone.
//
// The seam is for tests: a test build may make any platform operation raise
// the failure type, or watch the operations run in order. Each operation
// calls CheckFault with its own name first. No user action can set the hook.

#include <functional>
#include <string>
#include <string_view>

class QString;

namespace platform {

using FaultHook = std::function<void(std::string_view operation)>;
void SetFaultHook(FaultHook hook);
void CheckFault(std::string_view operation);

// Qt: copies every code unit as it is (QString::fromUtf16 would drop a
// leading byte order mark).
QString ToQString(std::u16string_view text);

// Win32: raises the failure for GetLastError().
[[noreturn]] void RaiseLastError();

} // namespace platform
