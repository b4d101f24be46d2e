#pragma once

// The seam every platform operation checks first, shared by the platform's
// backends and the window's own toolkit files (its clipboard and shell
// operations). Each toolkit's own conversion or failure is exported by its
// backend: platform_qt.h, platform_win32.h.
//
// The seam is for tests: a test build may make any platform operation raise
// the failure type, or watch the operations run in order. Each operation
// calls CheckFault with its own name first. No user action can set the hook.

#include <functional>
#include <string_view>

namespace platform {

using FaultHook = std::function<void(std::string_view operation)>;
void SetFaultHook(FaultHook hook);
void CheckFault(std::string_view operation);

} // namespace platform
