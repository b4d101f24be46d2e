#include "end_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

int writeEnd = -1;

void Note(int signal)
{
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    (void)!write(writeEnd, &number, 1);
    errno = saved;
}

} // namespace

EndSignals::EndSignals()
{
    if (pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_ = {-1, -1};
        return;
    }
    writeEnd = pipe_[1];
    struct sigaction action {};
    action.sa_handler = Note;
    sigemptyset(&action.sa_mask);
    for (std::size_t at = 0; at < kSignals.size(); ++at) {
        sigaction(kSignals[at], &action, &previous_[at]);
        if (previous_[at].sa_handler == SIG_IGN)
            sigaction(kSignals[at], &previous_[at], nullptr);
    }
}

EndSignals::~EndSignals()
{
    if (pipe_[0] < 0)
        return;
    for (std::size_t at = 0; at < kSignals.size(); ++at)
        sigaction(kSignals[at], &previous_[at], nullptr);
    close(pipe_[0]);
    close(pipe_[1]);
}
