#pragma once

// The files and standard streams that kresovar-fold reads and writes, on
// POSIX systems and on Windows. Every operation that can fail says why in
// the system's own words, through `reason`.

#include "fold_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// The command line's arguments in UTF-8 (on Windows, from the wide one).
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Makes what the C library prints to standard output and error binary too
// (no line feed becomes CR LF on Windows), and a file-size limit an error of
// `write` (EFBIG) rather than a signal that ends the program. A pipe on
// standard input or output that holds less than `pieceSize` is made to hold
// that much, where the system allows, so that a piece passes in one go.
void PrepareProcess(std::size_t pieceSize);

class InputFile {
public:
    static InputFile StandardInput();
    static std::optional<InputFile> Open(const std::string& path, std::string& reason);
    // Opens a regular file only: anything else (a folder, a device, a named
    // pipe, which could block its opening) is refused with a reason.
    static std::optional<InputFile> OpenRegular(const std::string& path, std::string& reason);
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&&) = delete;
    ~InputFile();

    // The number of bytes read, 0 at the end, or -1 on failure.
    std::ptrdiff_t Read(unsigned char* buffer, std::size_t size, std::string& reason);
    bool Rewind(std::string& reason);
    // Whether the next Read would wait for bytes not yet written (a terminal,
    // a pipe or FIFO whose writer is slow); never for a file on disk.
    bool WouldWait() const;
    // Whether this is a Windows console, read as characters (ReadConsoleW)
    // and given as UTF-8, whatever the console's code page; Ctrl+Z at the
    // start of a line, then Enter, ends it.
    bool IsConsole() const;
    // Whether this is the regular file standard output writes to, with bytes
    // still to read: folding it would feed the output back into the input.
    bool IsStandardOutput() const;

private:
    InputFile(std::intptr_t handle, bool owned) : handle_(handle), owned_(owned) {}
    friend class Replacement;
    std::intptr_t handle_;
    bool owned_;
};

// Whether standard output is open: a file opened while it is closed would
// take its place.
bool StandardOutputIsOpen(std::string& reason);

// Writes to standard output. A reader that has gone away (a closed pipe)
// ends the program quietly, as it ends cat. A console (on Windows) is given
// the characters the bytes stand for in `encoding`; anything else, the bytes.
bool WriteOutput(const unsigned char* data, std::size_t size, ByteEncoding encoding, std::string& reason);

// Writes UTF-8 text to standard output or standard error (`stream`): as
// characters to a console (on Windows), as the bytes to anything else.
void WriteText(std::FILE* stream, const std::string& text);

// The path of the file that `path` names, symbolic links followed; on POSIX
// systems it may be longer than PATH_MAX.
std::optional<std::string> ResolvePath(const std::string& path, std::string& reason);

// A new content for a file: written to a temporary file in the same folder,
// given, once written, the original's owner and group (where the system
// allows), its permissions and its access control list, flushed to disk and renamed
// over the original in one step. A file whose access control list cannot be
// carried over is refused. Until the rename the original is untouched, and a
// replacement never committed leaves no temporary file behind, unless the
// program is killed (SIGKILL) or crashes. The original must stay open until
// the commit.
class Replacement {
public:
    static std::optional<Replacement> Create(const std::string& path, const InputFile& original, std::string& reason);
    Replacement(Replacement&& other) noexcept;
    Replacement& operator=(Replacement&&) = delete;
    ~Replacement();

    bool Write(const unsigned char* data, std::size_t size, std::string& reason);
    bool Commit(std::string& reason);

private:
    Replacement(std::string path, std::string temporary, std::intptr_t handle, std::intptr_t folder = -1)
        : path_(std::move(path)), temporary_(std::move(temporary)), handle_(handle), folder_(folder) {}
    std::string path_;       // on POSIX systems, the names are within folder_
    std::string temporary_;
    std::intptr_t handle_;
    std::intptr_t folder_;
    std::intptr_t original_ = -1;  // the file replaced, open until the commit
};
