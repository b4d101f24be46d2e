#include "refusal.h"

#include "clipboard.h"

#include <utility>

namespace clipboard {

namespace {
ClipboardWaitHook waitHook;
}

void KeepWaiting()
{
    if (waitHook && !waitHook())
        throw platform::Refusal("");
}

} // namespace clipboard

void SetClipboardWaitHook(ClipboardWaitHook hook)
{
    clipboard::waitHook = std::move(hook);
}
