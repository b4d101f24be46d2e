#pragma once

// A seam for tests, shared by both backends: a test build may make any
// platform operation raise the failure type, or watch the operations run in
// order. Each operation calls CheckFault with its own name first. No user
// action can set the hook.

#include <functional>
#include <string_view>

namespace platform {

using FaultHook = std::function<void(std::string_view operation)>;
void SetFaultHook(FaultHook hook);
void CheckFault(std::string_view operation);

} // namespace platform
