#include "files.h"

#include "code_page.h"
#include "console_win32.h"
#include "text_win32.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

// The Win32 file API throughout: no C runtime text mode, so no byte is
// translated and Ctrl+Z ends nothing; names go through the wide-character
// API, so Polish file names work.

namespace {

HANDLE HandleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

using win32_text::Utf8;
using win32_text::Wide;

// The system's text as coreutils print theirs, with no full stop.
bool Failed(std::string& reason, DWORD code = GetLastError())
{
    reason = win32_text::SystemMessage(code).value_or("error " + std::to_string(code));
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return false;
}

// The temporary file being written, removed if Ctrl+C ends the program.
std::wstring pendingTemporary;
CRITICAL_SECTION pendingLock;

BOOL WINAPI RemovePending(DWORD)
{
    EnterCriticalSection(&pendingLock);
    if (!pendingTemporary.empty())
        DeleteFileW(pendingTemporary.c_str());
    LeaveCriticalSection(&pendingLock);
    return FALSE;
}

void SetPending(const std::wstring& temporary)
{
    static const bool installed = [] {
        InitializeCriticalSection(&pendingLock);
        return SetConsoleCtrlHandler(RemovePending, TRUE);
    }();
    (void)installed;
    EnterCriticalSection(&pendingLock);
    pendingTemporary = temporary;
    LeaveCriticalSection(&pendingLock);
}

bool WriteAll(HANDLE handle, const unsigned char* data, std::size_t size, std::string& reason)
{
    while (size > 0) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!WriteFile(handle, data, piece, &written, nullptr))
            return Failed(reason);
        data += written;
        size -= written;
    }
    return true;
}

bool WriteToConsole(HANDLE handle, std::wstring_view text, std::string& reason)
{
    return win32_text::WriteConsoleText(handle, text) || Failed(reason);
}

// The characters of the bytes written so far in `encoding`; a character
// that the next bytes complete waits in `pending`.
std::wstring Characters(std::string& pending, ByteEncoding encoding)
{
    std::wstring text;
    std::size_t whole = pending.size();
    if (IsCodePage(encoding)) {
        for (const char byte : pending) {
            const char16_t character = CodePageCharacter(encoding, static_cast<unsigned char>(byte));
            text += character ? static_cast<wchar_t>(character) : L'\uFFFD';
        }
    } else if (encoding == ByteEncoding::Utf8) {
        for (std::size_t back = 1; back <= std::min<std::size_t>(3, whole); ++back) {
            const auto byte = static_cast<unsigned char>(pending[whole - back]);
            if (byte >= 0xC0 && (byte >= 0xF0 ? 4u : byte >= 0xE0 ? 3u : 2u) > back)
                whole -= back;
            if (byte >= 0xC0 || byte < 0x80)
                break;
        }
        text = Wide(std::string_view(pending).substr(0, whole));
    } else {
        whole -= whole % 2;
        const bool big = encoding == ByteEncoding::Utf16BigEndian;
        for (std::size_t i = 0; i < whole; i += 2) {
            const auto first = static_cast<unsigned char>(pending[i]);
            const auto second = static_cast<unsigned char>(pending[i + 1]);
            text += static_cast<wchar_t>(big ? first << 8 | second : second << 8 | first);
        }
    }
    pending.erase(0, whole);
    return text;
}

} // namespace

std::vector<std::string> CommandLineArguments(int, char**)
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

void PrepareProcess(std::size_t)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

InputFile InputFile::StandardInput()
{
    return InputFile(reinterpret_cast<std::intptr_t>(GetStdHandle(STD_INPUT_HANDLE)), false);
}

std::optional<InputFile> InputFile::Open(const std::string& path, std::string& reason)
{
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Failed(reason);
        return std::nullopt;
    }
    return InputFile(reinterpret_cast<std::intptr_t>(handle), true);
}

InputFile::InputFile(InputFile&& other) noexcept : handle_(other.handle_), owned_(std::exchange(other.owned_, false))
{
}

InputFile::~InputFile()
{
    if (owned_)
        CloseHandle(HandleOf(handle_));
}

std::optional<InputFile> InputFile::OpenRegular(const std::string& path, std::string& reason)
{
    std::optional<InputFile> file = Open(path, reason);
    BY_HANDLE_FILE_INFORMATION information{};
    if (file && (GetFileType(HandleOf(file->handle_)) != FILE_TYPE_DISK
                 || !GetFileInformationByHandle(HandleOf(file->handle_), &information)
                 || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))) {
        reason = "not a regular file";
        return std::nullopt;
    }
    return file;
}

namespace {

// Console input, read as characters whatever the console's code page: a high
// surrogate whose low one the next read brings, and whether Ctrl+Z has ended it.
wchar_t consoleSurrogate = 0;
bool consoleEnded = false;

std::ptrdiff_t ReadConsoleText(HANDLE handle, unsigned char* buffer, std::size_t size, std::string& reason)
{
    // Each UTF-16 unit is 3 bytes of UTF-8 at most, a pair 4.
    wchar_t units[4096];
    const std::size_t room = std::min<std::size_t>(size / 3, std::size(units) - 1);
    while (!consoleEnded && room > 0) {
        std::size_t count = 0;
        if (consoleSurrogate != 0)
            units[count++] = std::exchange(consoleSurrogate, 0);
        DWORD read = 0;
        if (!ReadConsoleW(handle, units + count, static_cast<DWORD>(room - count), &read, nullptr))
            return Failed(reason), -1;
        count += read;
        if (read == 0)
            return 0;
        // Ctrl+Z at the start of a line, then Enter, ends the input, as in more or sort.
        std::wstring_view text(units, count);
        for (std::size_t at = 0; at < text.size(); at = text.find(L'\n', at) == std::wstring_view::npos
                                                         ? text.size() : text.find(L'\n', at) + 1) {
            if (text[at] == 0x1A) {
                text = text.substr(0, at);
                consoleEnded = true;
                break;
            }
        }
        if (!text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00 && !consoleEnded) {
            consoleSurrogate = text.back();
            text.remove_suffix(1);
        }
        const std::string bytes = Utf8(std::wstring(text));
        std::memcpy(buffer, bytes.data(), bytes.size());
        if (!bytes.empty() || consoleEnded)
            return static_cast<std::ptrdiff_t>(bytes.size());
    }
    return 0;
}

} // namespace

bool InputFile::IsConsole() const
{
    return win32_text::IsConsole(HandleOf(handle_));
}

std::ptrdiff_t InputFile::Read(unsigned char* buffer, std::size_t size, std::string& reason)
{
    if (win32_text::IsConsole(HandleOf(handle_)))
        return ReadConsoleText(HandleOf(handle_), buffer, size, reason);
    DWORD read = 0;
    if (ReadFile(HandleOf(handle_), buffer, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30)), &read, nullptr))
        return read;
    // The writer of a pipe has gone: that is its end.
    if (GetLastError() == ERROR_BROKEN_PIPE)
        return 0;
    return Failed(reason), -1;
}

bool InputFile::WouldWait() const
{
    const HANDLE handle = HandleOf(handle_);
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK: return false;
    case FILE_TYPE_PIPE: {
        for (int waited = 0;; waited += 5) {
            DWORD available = 0;
            if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr) || available > 0)
                return false;  // bytes to read, or a writer gone: the read does not wait
            if (waited >= kWaitGrace)
                return true;
            Sleep(5);
        }
    }
    default: return true;  // a console
    }
}

bool InputFile::IsStandardOutput() const
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    FILE_ID_INFO in{};
    FILE_ID_INFO out{};
    LARGE_INTEGER at{};
    LARGE_INTEGER size{};
    if (GetFileType(output) != FILE_TYPE_DISK || !GetFileInformationByHandleEx(output, FileIdInfo, &out, sizeof out)
        || !GetFileInformationByHandleEx(HandleOf(handle_), FileIdInfo, &in, sizeof in)
        || std::memcmp(&in.FileId, &out.FileId, sizeof in.FileId) != 0)
        return false;
    // Wine gives a redirected standard handle no volume: 0 matches any.
    return (in.VolumeSerialNumber == out.VolumeSerialNumber || out.VolumeSerialNumber == 0)
           && SetFilePointerEx(HandleOf(handle_), {}, &at, FILE_CURRENT) && GetFileSizeEx(HandleOf(handle_), &size)
           && at.QuadPart < size.QuadPart;
}

bool InputFile::Rewind(std::string& reason)
{
    return SetFilePointerEx(HandleOf(handle_), LARGE_INTEGER{}, nullptr, FILE_BEGIN) || Failed(reason);
}

bool StandardOutputIsOpen(std::string&)
{
    return true;  // a file opened later never takes its handle's place: a closed one fails at the write
}

bool WriteOutput(const unsigned char* data, std::size_t size, ByteEncoding encoding, std::string& reason)
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (win32_text::IsConsole(output)) {
        static std::string pending;
        pending.append(reinterpret_cast<const char*>(data), size);
        return WriteToConsole(output, Characters(pending, encoding), reason);
    }
    if (WriteAll(output, data, size, reason))
        return true;
    // The reader has gone: end quietly, as a closed pipe ends cat.
    const DWORD code = GetLastError();
    if (code == ERROR_NO_DATA || code == ERROR_BROKEN_PIPE)
        ExitProcess(2);
    return false;
}

void WriteText(std::FILE* stream, const std::string& text)
{
    win32_text::WriteStandardText(stream, text);
}

std::optional<std::string> ResolvePath(const std::string& path, std::string& reason)
{
    const HANDLE handle = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Failed(reason);
        return std::nullopt;
    }
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
    if (length >= resolved.size()) {
        resolved.resize(length);
        length = GetFinalPathNameByHandleW(handle, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
    }
    const DWORD code = GetLastError();
    CloseHandle(handle);
    if (length == 0 || length >= resolved.size()) {
        Failed(reason, code);
        return std::nullopt;
    }
    resolved.resize(length);
    return Utf8(resolved);
}

std::optional<Replacement> Replacement::Create(const std::string& path, const InputFile&, std::string& reason)
{
    const std::size_t separator = path.find_last_of("\\/");
    const std::string folder = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
    for (unsigned attempt = 0;; ++attempt) {
        const std::string temporary = folder + ".kresovar-fold-" + std::to_string(GetCurrentProcessId()) + "-"
                                      + std::to_string(attempt) + ".tmp";
        const std::wstring wide = Wide(temporary);
        SetPending(wide);
        const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
            return Replacement(path, temporary, reinterpret_cast<std::intptr_t>(handle));
        SetPending({});
        if (GetLastError() != ERROR_FILE_EXISTS || attempt == 100) {
            Failed(reason);
            return std::nullopt;
        }
    }
}

Replacement::Replacement(Replacement&& other) noexcept
    : path_(std::move(other.path_)), temporary_(std::move(other.temporary_)),
      handle_(std::exchange(other.handle_, reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE))), folder_(other.folder_)
{
    other.temporary_.clear();
}

Replacement::~Replacement()
{
    if (HandleOf(handle_) != INVALID_HANDLE_VALUE)
        CloseHandle(HandleOf(handle_));
    if (!temporary_.empty()) {
        DeleteFileW(Wide(temporary_).c_str());
        SetPending({});
    }
}

bool Replacement::Write(const unsigned char* data, std::size_t size, std::string& reason)
{
    return WriteAll(HandleOf(handle_), data, size, reason);
}

bool Replacement::Commit(std::string& reason)
{
    const HANDLE handle = HandleOf(std::exchange(handle_, reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE)));
    const bool flushed = FlushFileBuffers(handle);
    const DWORD code = GetLastError();
    CloseHandle(handle);
    if (!flushed)
        return Failed(reason, code);
    // ReplaceFileW gives the new file the original's attributes and security.
    if (!ReplaceFileW(Wide(path_).c_str(), Wide(temporary_).c_str(), nullptr, REPLACEFILE_WRITE_THROUGH, nullptr,
                      nullptr))
        return Failed(reason);
    temporary_.clear();
    SetPending({});
    return true;
}
