#include "refusal.h"

#include "clipboard.h"

#include <utility>

namespace clipboard {

namespace {
ClipboardWaitHook waitHook;
}

void KeepWaiting(std::chrono::steady_clock::time_point since)
{
    if (waitHook && std::chrono::steady_clock::now() - since >= kQuietWait && !waitHook())
        throw platform::Refusal("");
}

} // namespace clipboard

void SetClipboardWaitHook(ClipboardWaitHook hook)
{
    clipboard::waitHook = std::move(hook);
}
