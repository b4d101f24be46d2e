#pragma once

// The signals that ask a program to end (TERM, INT, HUP), caught while one of
// these lives: a handler only writes the signal's number to a pipe, which the
// program reads when it is ready to end as it always does. One that the
// program was started ignoring (nohup) stays ignored.

#include <array>
#include <csignal>

class EndSignals {
public:
    EndSignals();
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

    // The pipe's non-blocking end to read a signal's number from; -1 when
    // none could be made, and the signals then end the program by default.
    int Pipe() const { return pipe_[0]; }

private:
    static constexpr std::array kSignals = {SIGTERM, SIGINT, SIGHUP};
    std::array<int, 2> pipe_{-1, -1};
    std::array<struct sigaction, kSignals.size()> previous_{};
};
