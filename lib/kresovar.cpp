// The C API of kresovar.h over fold/: checks the arguments, turns every
// exception into an error code, and folds in place through a small buffer.

#include "kresovar.h"

#include "code_page.h"
#include "fold_bytes.h"
#include "fold_path.h"
#include "kresovar_version.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

struct kresovar_stream {
    ByteFold fold;
    unsigned char held[kMostHeldBack];
    std::size_t heldSize;
};

namespace {

static_assert(KRESOVAR_MOST_HELD_BACK == kMostHeldBack);
constexpr std::size_t kLargest = PTRDIFF_MAX - kMostHeldBack;

// Runs `call`, which returns a length or an error, so that no exception leaves.
template <typename Call>
auto Guarded(Call call) noexcept -> decltype(call())
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return KRESOVAR_ERROR_NO_MEMORY;
    } catch (...) {
        return KRESOVAR_ERROR_INTERNAL;
    }
}

bool ByteFoldOf(int encoding, unsigned flags, ByteFold& fold)
{
    if (encoding < KRESOVAR_UTF8 || encoding > KRESOVAR_IBM852 || (flags & ~KRESOVAR_DECOMPOSED) != 0)
        return false;
    fold = ByteFold{static_cast<ByteEncoding>(encoding), (flags & KRESOVAR_DECOMPOSED) != 0};
    return true;
}

// Whether `out`, writing `written` bytes, would overwrite input before it is
// read: only where it starts after `in` and overlaps it.
bool OverwritesInput(const void* in, std::size_t size, const void* out, std::size_t written)
{
    const auto from = reinterpret_cast<std::uintptr_t>(in);
    const auto to = reinterpret_cast<std::uintptr_t>(out);
    return size > 0 && written > 0 && to > from && to - from < size;
}

bool Apart(const void* in, const void* out, std::size_t size)
{
    const auto from = reinterpret_cast<std::uintptr_t>(in);
    const auto to = reinterpret_cast<std::uintptr_t>(out);
    return to >= from ? to - from >= size : from - to >= size;
}

int CheckBuffers(const void* in, std::size_t size, const void* out, std::size_t capacity, std::size_t needed)
{
    if (size > kLargest)
        return KRESOVAR_ERROR_TOO_LARGE;
    if ((in == nullptr && size > 0) || (out == nullptr && needed > 0))
        return KRESOVAR_ERROR_NULL;
    if (capacity < needed)
        return KRESOVAR_ERROR_SMALL_BUFFER;
    if (OverwritesInput(in, size, out, needed))
        return KRESOVAR_ERROR_OVERLAP;
    return KRESOVAR_OK;
}

// FoldBytes, also where `out` starts at or before `in` in the same buffer:
// the output never runs ahead of the input, so each stretch goes through a
// buffer on the stack.
PieceScan FoldAnywhere(ByteFold fold, const unsigned char* in, std::size_t size, unsigned char* out, bool end)
{
    if (size == 0 || Apart(in, out, size))
        return FoldBytes(fold, in, size, out, end);
    if (in == out && end && FoldsToItself(fold, in, size))
        return {size, size};
    unsigned char stretch[4096];
    PieceScan total;
    for (bool whole = false; !whole;) {
        const std::size_t take = std::min(size - total.consumed, sizeof stretch);
        whole = take == size - total.consumed;
        const PieceScan scan = FoldBytes(fold, in + total.consumed, take, stretch, end && whole);
        std::memmove(out + total.produced, stretch, scan.produced);
        total.consumed += scan.consumed;
        total.produced += scan.produced;
    }
    return total;
}

constexpr kresovar_encoding kNativeUtf16 =
    __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? KRESOVAR_UTF16BE : KRESOVAR_UTF16LE;

// The one place that binds the library to fold/'s look at an encoding, the
// rule kresovar-fold applies before it folds a stream.
kresovar_detection Detect(const unsigned char* bytes, std::size_t size)
{
    if (size >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        const bool little = bytes[0] == 0xFF;
        return {little ? KRESOVAR_TEXT_UTF16LE : KRESOVAR_TEXT_UTF16BE, 0, size,
                little ? "UTF-16LE by its byte order mark" : "UTF-16BE by its byte order mark"};
    }
    TextWatch watch;
    watch.Take(bytes, size);
    const std::vector<ByteEncoding> pages = watch.Finish();
    if (!watch.firstStray())
        return {KRESOVAR_TEXT_UTF8, 0, size, "valid UTF-8"};
    const auto firstBad = static_cast<std::size_t>(*watch.firstStray());
    if (watch.nul())
        return {KRESOVAR_TEXT_BINARY, 0, firstBad, "not UTF-8, and a NUL byte: not text"};
    unsigned bits = 0;
    for (ByteEncoding page : pages)
        bits |= 1u << static_cast<unsigned>(page);
    if (pages.empty())
        return {KRESOVAR_TEXT_NOT_UTF8, 0, firstBad, "not UTF-8, nor Polish text in a code page"};
    if (watch.HasUnicode(pages.front()))
        return {KRESOVAR_TEXT_MIXED, bits, firstBad, "UTF-8 mixed with Polish text in a code page"};
    return {KRESOVAR_TEXT_CODE_PAGE, bits, firstBad, "not UTF-8; Polish text in a code page"};
}

} // namespace

const char* kresovar_error_name(int error)
{
    static const char* const names[] = {
        "no error", "a null pointer", "no such encoding or flag", "the output buffer is too small",
        "the output overlaps the input after its start", "too large", "out of memory",
        "no such processor path here", "an internal error"};
    // Compared before it is negated: -INT_MIN overflows.
    return error <= 0 && error > -static_cast<int>(std::size(names)) ? names[-error] : "no such error";
}

const char* kresovar_version(void)
{
    return kProgramVersion;
}

const char* kresovar_fold_path(void)
{
    return FoldPathName(UsedFoldPath());
}

int kresovar_use_fold_path(const char* name)
{
    return Guarded([&]() -> int {
        for (FoldPath path : FoldPaths()) {
            if (name != nullptr && std::strcmp(FoldPathName(path), name) == 0) {
                UseFoldPath(path);
                return KRESOVAR_OK;
            }
        }
        return KRESOVAR_ERROR_PATH;
    });
}

ptrdiff_t kresovar_fold(int encoding, unsigned flags, const void* in, size_t size, void* out,
                        size_t capacity)
{
    return Guarded([&]() -> ptrdiff_t {
        ByteFold fold;
        if (!ByteFoldOf(encoding, flags, fold))
            return KRESOVAR_ERROR_ENCODING;
        if (const int error = CheckBuffers(in, size, out, capacity, size))
            return error;
        const PieceScan scan = FoldAnywhere(fold, static_cast<const unsigned char*>(in), size,
                                            static_cast<unsigned char*>(out), true);
        return static_cast<ptrdiff_t>(scan.produced);
    });
}

ptrdiff_t kresovar_fold_utf8(const char* in, size_t size, char* out, size_t capacity)
{
    return kresovar_fold(KRESOVAR_UTF8, 0, in, size, out, capacity);
}

ptrdiff_t kresovar_fold_utf16(const uint16_t* in, size_t length, uint16_t* out, size_t capacity)
{
    if (length > kLargest / 2)
        return KRESOVAR_ERROR_TOO_LARGE;
    const ptrdiff_t bytes = kresovar_fold(kNativeUtf16, 0, in, 2 * length, out, 2 * std::min(capacity, length));
    return bytes < 0 ? bytes : bytes / 2;
}

int kresovar_stream_new(int encoding, unsigned flags, kresovar_stream** stream)
{
    ByteFold fold;
    if (stream == nullptr)
        return KRESOVAR_ERROR_NULL;
    *stream = nullptr;
    if (!ByteFoldOf(encoding, flags, fold))
        return KRESOVAR_ERROR_ENCODING;
    *stream = new (std::nothrow) kresovar_stream{fold, {}, 0};
    return *stream ? KRESOVAR_OK : KRESOVAR_ERROR_NO_MEMORY;
}

// The bytes held back from the last piece go in front of this one, in `out`,
// which then folds in place.
ptrdiff_t kresovar_stream_fold(kresovar_stream* stream, const void* in, size_t size, void* out, size_t capacity,
                               int last)
{
    return Guarded([&]() -> ptrdiff_t {
        if (stream == nullptr)
            return KRESOVAR_ERROR_NULL;
        const std::size_t held = stream->heldSize;
        if (const int error = CheckBuffers(in, size, out, capacity, size + held))
            return error;
        auto* bytes = static_cast<const unsigned char*>(in);
        if (held > 0) {
            if (size > 0)
                std::memmove(static_cast<unsigned char*>(out) + held, in, size);
            std::memcpy(out, stream->held, held);
            bytes = static_cast<const unsigned char*>(out);
            size += held;
        }
        const PieceScan scan = FoldAnywhere(stream->fold, bytes, size, static_cast<unsigned char*>(out), last != 0);
        stream->heldSize = size - scan.consumed;
        std::copy(bytes + scan.consumed, bytes + size, stream->held);
        return static_cast<ptrdiff_t>(scan.produced);
    });
}

void kresovar_stream_free(kresovar_stream* stream)
{
    delete stream;
}

int kresovar_detect(const void* bytes, size_t size, kresovar_detection* detection)
{
    return Guarded([&]() -> int {
        if (detection == nullptr || (bytes == nullptr && size > 0))
            return KRESOVAR_ERROR_NULL;
        *detection = Detect(static_cast<const unsigned char*>(bytes), size);
        return KRESOVAR_OK;
    });
}
