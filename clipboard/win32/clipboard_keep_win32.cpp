#include "clipboard.h"

#include "platform_seam.h"

// Windows keeps the text of a program that has ended.
ClipboardFoldOutcome ClipboardFoldInPlace(const std::function<std::u16string(std::u16string_view)>& fold)
{
    platform::CheckFault("ClipboardFoldInPlace");
    const std::u16string text = ClipboardReadExact();
    if (text.empty())
        return {ClipboardFold::NoText};
    const std::u16string folded = fold(text);
    if (folded == text)
        return {ClipboardFold::Unchanged};
    ClipboardWrite(folded);
    return {ClipboardFold::Folded};
}
