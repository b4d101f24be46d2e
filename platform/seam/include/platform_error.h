#pragma once

// The one failure type of the platform's operations, the clipboard's included.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace platform {

// The failure of a platform operation, with the platform's error number and
// description. The event dispatch reports it and ends the program.
class PlatformError : public std::runtime_error {
public:
    PlatformError(std::int32_t number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    // A failure with no system error behind it, such as a missing display.
    explicit PlatformError(const std::string& description) : std::runtime_error(description) {}
    std::optional<std::int32_t> number() const { return number_; }
    std::string description() const { return what(); }

private:
    std::optional<std::int32_t> number_;
};

// A command that cannot be done now for a reason outside the program, such
// as a clipboard that another program holds: it leaves the text as it was,
// and the event dispatch says why (in Polish) and goes on. An empty reason is
// the user's own cancel, which needs no word.
class Refusal : public std::runtime_error {
public:
    explicit Refusal(const std::string& reason) : std::runtime_error(reason) {}
};

} // namespace platform
