#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

int Descriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

bool Failed(std::string& reason)
{
    reason = std::strerror(errno);
    return false;
}

// The temporary file being written, removed if a signal ends the program.
char pendingTemporary[PATH_MAX + 32];

void RemovePendingAndDie(int signal)
{
    if (pendingTemporary[0])
        unlink(pendingTemporary);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void SetPending(const std::string& temporary)
{
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before);
    std::snprintf(pendingTemporary, sizeof pendingTemporary, "%s", temporary.c_str());
    sigprocmask(SIG_SETMASK, &before, nullptr);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::signal(signal, temporary.empty() ? SIG_DFL : RemovePendingAndDie);
}

} // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseBinaryStandardStreams()
{
}

InputFile InputFile::StandardInput()
{
    return InputFile(STDIN_FILENO, false);
}

std::optional<InputFile> InputFile::Open(const std::string& path, std::string& reason)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        Failed(reason);
        return std::nullopt;
    }
    return InputFile(descriptor, true);
}

InputFile::InputFile(InputFile&& other) noexcept : handle_(other.handle_), owned_(std::exchange(other.owned_, false))
{
}

InputFile::~InputFile()
{
    if (owned_)
        close(Descriptor(handle_));
}

std::optional<InputFile> InputFile::OpenRegular(const std::string& path, std::string& reason)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        Failed(reason);
        return std::nullopt;
    }
    InputFile file(descriptor, true);
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || fcntl(descriptor, F_SETFL, 0) != 0) {
        Failed(reason);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = "not a regular file";
        return std::nullopt;
    }
    return file;
}

std::ptrdiff_t InputFile::Read(unsigned char* buffer, std::size_t size, std::string& reason)
{
    for (;;) {
        const ssize_t read = ::read(Descriptor(handle_), buffer, size);
        if (read >= 0)
            return read;
        if (errno != EINTR)
            return Failed(reason), -1;
    }
}

bool InputFile::Rewind(std::string& reason)
{
    return lseek(Descriptor(handle_), 0, SEEK_SET) == 0 || Failed(reason);
}

namespace {

bool WriteAll(int descriptor, const unsigned char* data, std::size_t size, std::string& reason)
{
    while (size > 0) {
        const ssize_t written = write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Failed(reason);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

bool WriteOutput(const unsigned char* data, std::size_t size, std::string& reason)
{
    // A closed pipe raises SIGPIPE, whose default ends the program quietly.
    return WriteAll(STDOUT_FILENO, data, size, reason);
}

std::optional<std::string> ResolvePath(const std::string& path, std::string& reason)
{
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) {
        Failed(reason);
        return std::nullopt;
    }
    return std::string(resolved);
}

std::optional<Replacement> Replacement::Create(const std::string& path, const InputFile& original, std::string& reason)
{
    const std::size_t slash = path.rfind('/');
    std::string temporary = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1))
                            + ".kresovar-fold.XXXXXX";
    const int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0) {
        Failed(reason);
        return std::nullopt;
    }
    SetPending(temporary);
    Replacement replacement(path, temporary, descriptor);
    struct stat status {};
    if (fstat(Descriptor(original.handle_), &status) != 0 || fchmod(descriptor, status.st_mode & 07777) != 0) {
        Failed(reason);
        return std::nullopt;
    }
    // Only the owner's own user or root may give a file away; a group the
    // user belongs to is kept even then.
    if (fchown(descriptor, status.st_uid, status.st_gid) != 0)
        (void)!fchown(descriptor, static_cast<uid_t>(-1), status.st_gid);
    return replacement;
}

Replacement::Replacement(Replacement&& other) noexcept
    : path_(std::move(other.path_)), temporary_(std::move(other.temporary_)), handle_(std::exchange(other.handle_, -1))
{
    other.temporary_.clear();
}

Replacement::~Replacement()
{
    if (handle_ >= 0)
        close(Descriptor(handle_));
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        SetPending({});
    }
}

bool Replacement::Write(const unsigned char* data, std::size_t size, std::string& reason)
{
    return WriteAll(Descriptor(handle_), data, size, reason);
}

bool Replacement::Commit(std::string& reason)
{
    const int descriptor = Descriptor(std::exchange(handle_, -1));
    if (fsync(descriptor) != 0) {
        close(descriptor);
        return Failed(reason);
    }
    if (close(descriptor) != 0 || rename(temporary_.c_str(), path_.c_str()) != 0)
        return Failed(reason);
    temporary_.clear();
    SetPending({});
    // The rename itself reaches the disk with the folder.
    const std::string folder = path_.substr(0, path_.rfind('/') + 1);
    if (const int directory = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC); directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}
