#pragma once

// The toolkit-free part of the click dispatch, shared by the Qt and Win32
// implementations.

#include "platform.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace platform {

using FailureReport = std::function<void(std::int32_t number, const std::string& description)>;

// Runs a click handler to its end and catches whatever leaves it: the end of
// the program, the failure type, or any other exception, which must never
// cross the toolkit's event loop. Returns nothing when the handler returned;
// otherwise the exit status to end with, after `report` has shown a failure.
std::optional<int> RunHandler(const ClickHandler& handler, const FailureReport& report);

// Shows a failure that came before the window could: each toolkit's own.
void ReportFailureWithoutWindow(std::int32_t number, const std::string& description);

} // namespace platform
