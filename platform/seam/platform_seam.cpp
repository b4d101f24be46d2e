#include "platform_seam.h"

#include <utility>

namespace platform {

namespace {
FaultHook faultHook;
}

void SetFaultHook(FaultHook hook)
{
    faultHook = std::move(hook);
}

void CheckFault(std::string_view operation)
{
    if (faultHook)
        faultHook(operation);
}

} // namespace platform
