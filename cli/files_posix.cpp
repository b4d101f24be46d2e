#include "files.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace {

int Descriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

bool Failed(std::string& reason, int error = errno)
{
    reason = std::strerror(error);
    return false;
}

// The temporary file being written, by its folder and its name there,
// removed if a signal ends the program.
volatile sig_atomic_t pendingFolder = -1;
char pendingName[NAME_MAX + 1];

void RemovePendingAndDie(int signal)
{
    if (pendingName[0])
        unlinkat(pendingFolder, pendingName, 0);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Every signal whose default ends the program and that can be caught, but
// those of a crash (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP,
// SIGSYS): then the program's memory is not to be trusted.
void CatchEndingSignals()
{
    std::vector<int> signals{SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU};
#ifdef SIGPOLL
    signals.push_back(SIGPOLL);
#endif
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
#ifdef SIGPWR
    signals.push_back(SIGPWR);
#endif
#ifdef SIGRTMIN
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
        signals.push_back(signal);
#endif
    struct sigaction caught {};
    caught.sa_handler = RemovePendingAndDie;
    sigfillset(&caught.sa_mask);
    for (int signal : signals) {
        struct sigaction before {};  // one ignored when the program began stays ignored
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal, &caught, nullptr);
    }
}

void SetPending(int folder, const std::string& name)
{
    static const bool caught = (CatchEndingSignals(), true);
    (void)caught;
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &before);
    pendingFolder = folder;
    std::snprintf(pendingName, sizeof pendingName, "%s", name.c_str());
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// A name in a folder that is held open: a path is walked one name at a time,
// so that it may be longer than PATH_MAX.
struct Place {
    int folder = -1;
    std::string name;
    Place() = default;
    Place(Place&& other) noexcept : folder(std::exchange(other.folder, -1)), name(std::move(other.name)) {}
    ~Place()
    {
        if (folder >= 0)
            close(folder);
    }
};

// Opens a folder only to reach the names in it, which needs no right to read
// it (a home folder is often 0711) where the system has a way to say so.
#if defined(O_PATH)
constexpr int kSearchFolder = O_PATH | O_DIRECTORY | O_CLOEXEC;
#elif defined(O_SEARCH)
constexpr int kSearchFolder = O_SEARCH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kSearchFolder = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

std::optional<Place> Locate(const std::string& path, std::string& reason)
{
    if (path.empty()) {
        Failed(reason, ENOENT);
        return std::nullopt;
    }
    Place place;
    place.folder = open(path.starts_with('/') ? "/" : ".", kSearchFolder);
    std::size_t at = 0;
    for (std::size_t slash; place.folder >= 0 && (slash = path.find('/', at)) != std::string::npos; at = slash + 1) {
        if (slash == at)
            continue;
        const int next = openat(place.folder, path.substr(at, slash - at).c_str(), kSearchFolder);
        close(std::exchange(place.folder, next));
    }
    if (place.folder < 0) {
        Failed(reason);
        return std::nullopt;
    }
    place.name = at == path.size() ? "." : path.substr(at);
    return place;
}

// Gives `to` the access control list of `from`, which may be none beyond the
// permissions: then any list `to` took from its folder's default goes.
bool CarryAccessControlList(int from, int to, std::string& reason)
{
    const acl_t list = acl_get_fd(from);
    if (!list)
        return errno == ENOTSUP || Failed(reason);  // a file system with no such lists
    const bool extended = acl_equiv_mode(list, nullptr) != 0;
    const bool carried = acl_set_fd(to, list) == 0;
    const int error = errno;
    acl_free(list);
    if (carried || (!extended && error == ENOTSUP))
        return true;
    reason = std::string("cannot keep its access control list: ") + std::strerror(error);
    return false;
}

} // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

void PrepareProcess(std::size_t pieceSize)
{
    std::signal(SIGXFSZ, SIG_IGN);
#ifdef F_SETPIPE_SZ
    // A pipe only grows: a larger one may be another program's choice. A
    // refusal (the user's pipes are at their limit) leaves it as it was.
    for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO}) {
        const int held = fcntl(descriptor, F_GETPIPE_SZ);
        if (held > 0 && static_cast<std::size_t>(held) < pieceSize)
            fcntl(descriptor, F_SETPIPE_SZ, static_cast<int>(pieceSize));
    }
#endif
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
    const std::optional<Place> place = Locate(path, reason);
    if (!place)
        return std::nullopt;
    const int descriptor = openat(place->folder, place->name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

bool InputFile::IsConsole() const
{
    return false;  // a terminal gives bytes, in the encoding its locale names
}

bool InputFile::WouldWait() const
{
    pollfd watched{Descriptor(handle_), POLLIN, 0};
    int ready;
    while ((ready = poll(&watched, 1, 0)) < 0 && errno == EINTR) {
    }
    return ready == 0;
}

bool InputFile::IsStandardOutput() const
{
    struct stat in {};
    struct stat out {};
    return fstat(STDOUT_FILENO, &out) == 0 && S_ISREG(out.st_mode) && fstat(Descriptor(handle_), &in) == 0
           && in.st_dev == out.st_dev && in.st_ino == out.st_ino && lseek(Descriptor(handle_), 0, SEEK_CUR) < in.st_size;
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

bool StandardOutputIsOpen(std::string& reason)
{
    return fcntl(STDOUT_FILENO, F_GETFD) != -1 || Failed(reason);
}

bool WriteOutput(const unsigned char* data, std::size_t size, ByteEncoding, std::string& reason)
{
    // A closed pipe raises SIGPIPE, whose default ends the program quietly.
    return WriteAll(STDOUT_FILENO, data, size, reason);
}

void WriteText(std::FILE* stream, const std::string& text)
{
    std::fputs(text.c_str(), stream);
}

std::optional<std::string> ResolvePath(const std::string& path, std::string& reason)
{
    std::string resolved = path;
    for (int link = 0; link < 40; ++link) {
        const std::optional<Place> place = Locate(resolved, reason);
        if (!place)
            return std::nullopt;
        char target[PATH_MAX];
        const ssize_t length = readlinkat(place->folder, place->name.c_str(), target, sizeof target);
        if (length < 0 && errno == EINVAL)
            return resolved;  // not a link
        if (length < 0 || length == sizeof target) {
            Failed(reason, length < 0 ? errno : ENAMETOOLONG);
            return std::nullopt;
        }
        const std::string to(target, static_cast<std::size_t>(length));
        resolved = to.starts_with('/') ? to : resolved.substr(0, resolved.size() - place->name.size()) + to;
    }
    Failed(reason, ELOOP);
    return std::nullopt;
}

std::optional<Replacement> Replacement::Create(const std::string& path, const InputFile& original, std::string& reason)
{
    std::optional<Place> place = Locate(path, reason);
    if (!place)
        return std::nullopt;
    std::random_device random;
    std::string temporary;
    int descriptor = -1;
    for (int attempt = 0; descriptor < 0 && attempt < 100; ++attempt) {
        temporary = ".kresovar-fold." + std::to_string(random() % 1000000000u);
        SetPending(place->folder, temporary);
        descriptor = openat(place->folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    if (descriptor < 0) {
        SetPending(-1, {});
        Failed(reason);
        return std::nullopt;
    }
    Replacement replacement(place->name, temporary, descriptor, std::exchange(place->folder, -1));
    replacement.original_ = original.handle_;
    return replacement;
}

namespace {

// Gives `to` the owner and group of `from` as far as the system allows (only
// root gives a file away, and a user's own groups), then its mode and its
// access control list. After the last write, since a write by a user who may
// not keep them clears the setuid and setgid bits, and a change of owner too.
bool CarryAttributes(int from, int to, std::string& reason)
{
    struct stat status {};
    if (fstat(from, &status) != 0)
        return Failed(reason);
    if (fchown(to, status.st_uid, status.st_gid) != 0)
        (void)!fchown(to, static_cast<uid_t>(-1), status.st_gid);
    if (fchmod(to, status.st_mode & 07777) != 0)
        return Failed(reason);
    return CarryAccessControlList(from, to, reason);
}

} // namespace

Replacement::Replacement(Replacement&& other) noexcept
    : path_(std::move(other.path_)), temporary_(std::move(other.temporary_)), handle_(std::exchange(other.handle_, -1)),
      folder_(std::exchange(other.folder_, -1)), original_(other.original_)
{
    other.temporary_.clear();
}

Replacement::~Replacement()
{
    if (handle_ >= 0)
        close(Descriptor(handle_));
    if (!temporary_.empty()) {
        unlinkat(Descriptor(folder_), temporary_.c_str(), 0);
        SetPending(-1, {});
    }
    if (folder_ >= 0)
        close(Descriptor(folder_));
}

bool Replacement::Write(const unsigned char* data, std::size_t size, std::string& reason)
{
    return WriteAll(Descriptor(handle_), data, size, reason);
}

bool Replacement::Commit(std::string& reason)
{
    const int descriptor = Descriptor(std::exchange(handle_, -1));
    if (!CarryAttributes(Descriptor(original_), descriptor, reason) || !(fsync(descriptor) == 0 || Failed(reason))) {
        close(descriptor);
        return false;
    }
    const int folder = Descriptor(folder_);
    if (close(descriptor) != 0 || renameat(folder, temporary_.c_str(), folder, path_.c_str()) != 0)
        return Failed(reason);
    temporary_.clear();
    SetPending(-1, {});
    // The rename itself reaches the disk with the folder, where it may be read.
    const int readable = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable >= 0) {
        fsync(readable);
        close(readable);
    }
    return true;
}
