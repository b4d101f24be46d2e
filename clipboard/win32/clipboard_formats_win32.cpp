#include "clipboard.h"

#include "open_clipboard_win32.h"
#include "platform_seam.h"
#include "platform_win32.h"
#include "refusal.h"
#include "text_formats.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using platform::RaiseLastError;

namespace {

// A format kept beside the folded text, as a handle the clipboard takes.
struct Kept {
    UINT format;
    HANDLE handle;
};

std::optional<std::string> BytesOf(UINT format)
{
    const HANDLE data = GetClipboardData(format);
    const void* bytes = data ? GlobalLock(data) : nullptr;
    if (!bytes)
        return std::nullopt;
    std::string copy(static_cast<const char*>(bytes), GlobalSize(data));
    GlobalUnlock(data);
    return copy;
}

HANDLE GlobalOf(std::string_view bytes)
{
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, std::max<std::size_t>(bytes.size(), 1));
    void* at = memory ? GlobalLock(memory) : nullptr;
    if (!at)
        RaiseLastError();
    std::memcpy(at, bytes.data(), bytes.size());
    GlobalUnlock(memory);
    return memory;
}

void Free(const Kept& kept)
{
    if (kept.format == CF_ENHMETAFILE)
        DeleteEnhMetaFile(static_cast<HENHMETAFILE>(kept.handle));
    else
        GlobalFree(kept.handle);
}

// The formats kept beside the text, from the open clipboard: the locale,
// images and metafiles as they are, and HTML and Rich Text folded, or
// dropped where their letters cannot be read exactly. Windows makes CF_TEXT,
// CF_OEMTEXT and CF_BITMAP from these; every other format is dropped.
std::vector<Kept> ReadKept(const formats::Fold& fold, std::size_t& total)
{
    std::vector<Kept> kept;
    const UINT html = RegisterClipboardFormatW(L"HTML Format");
    const UINT rtf = RegisterClipboardFormatW(L"Rich Text Format");
    const UINT png = RegisterClipboardFormatW(L"PNG");
    const UINT bitmap = IsClipboardFormatAvailable(CF_DIBV5) ? CF_DIBV5 : CF_DIB;
    for (const UINT format : {UINT{CF_LOCALE}, bitmap, png, html, rtf}) {
        if (!IsClipboardFormatAvailable(format))
            continue;
        std::optional<std::string> bytes = BytesOf(format);
        if (bytes && format == html)
            bytes = formats::FoldHtmlFormat(bytes->substr(0, bytes->find('\0')), fold).value_or(std::string()) + '\0';
        // The RTF's own end is its last brace: raw \bin bytes may hold a NUL.
        if (bytes && format == rtf)
            bytes = formats::FoldRtf(*bytes, fold);
        if (!bytes || bytes->size() <= 1)
            continue;
        total += bytes->size();
        kept.push_back({format, GlobalOf(*bytes)});
    }
    if (IsClipboardFormatAvailable(CF_ENHMETAFILE)) {
        if (const HANDLE copy = CopyEnhMetaFileW(static_cast<HENHMETAFILE>(GetClipboardData(CF_ENHMETAFILE)), nullptr))
            kept.push_back({CF_ENHMETAFILE, copy});
    }
    return kept;
}

// Places the text and the kept formats, unless the clipboard has changed
// since `sequence`; each handle not placed is freed.
bool Place(DWORD sequence, const std::u16string& text, std::vector<Kept> kept)
{
    const OpenClipboardScope open(clipboard::kCopyBusy);
    const bool unchanged = GetClipboardSequenceNumber() == sequence;
    if (unchanged && !EmptyClipboard())
        RaiseLastError();
    if (unchanged)
        kept.push_back({CF_UNICODETEXT, GlobalOf({reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2})});
    for (const Kept& format : kept) {
        if (!unchanged || !SetClipboardData(format.format, format.handle))
            Free(format);
    }
    return unchanged;
}

} // namespace

// Windows keeps what a program placed on the clipboard after it ends. The
// write is made only if the clipboard has not changed since the read began.
ClipboardFoldOutcome ClipboardFoldInPlace(const formats::Fold& fold)
{
    platform::CheckFault("ClipboardFoldInPlace");
    const DWORD sequence = GetClipboardSequenceNumber();
    if (IsClipboardFormatAvailable(CF_HDROP))
        return {ClipboardFold::Files};
    const std::u16string text = ClipboardReadExact();
    if (text.empty())
        return {ClipboardFold::NoText};
    const std::u16string folded = fold(text);
    if (folded == text)
        return {ClipboardFold::Unchanged};
    std::size_t total = folded.size() * 2;
    std::vector<Kept> kept;
    {
        const OpenClipboardScope open(clipboard::kPasteBusy);
        kept = ReadKept(fold, total);
    }
    if (total > kClipboardMostBytes) {
        std::for_each(kept.begin(), kept.end(), Free);
        return {ClipboardFold::TooLarge};
    }
    return {Place(sequence, folded, std::move(kept)) ? ClipboardFold::Folded : ClipboardFold::NewerCopy};
}
