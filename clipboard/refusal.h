#pragma once

// What the clipboard's operations share on every platform: the wait for
// another program, and the refusals that leave the user's text as it was.

#include "platform_error.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

namespace clipboard {

// Why an operation was refused, as the user reads it.
inline constexpr char kPasteBusy[] = "Schowek jest zajęty przez inny program. Spróbuj ponownie.";
inline constexpr char kCopyBusy[] =
    "Schowek jest zajęty przez inny program. Tekst nie został skopiowany. Spróbuj ponownie.";
inline constexpr char kTooSlow[] =
    "Program, który trzyma schowek, nie oddał tekstu w ciągu 5 s. Tekst pozostał bez zmian.";
inline constexpr char kTooLarge[] = "Tekst w schowku jest za duży. Tekst pozostał bez zmian.";
inline constexpr char kPasteFailed[] = "Nie udało się odczytać schowka. Tekst pozostał bez zmian.";
inline constexpr char kCopyFailed[] = "Nie udało się zapisać schowka. Tekst nie został skopiowany.";
inline constexpr char kCopyOutOfMemory[] = "Za mało pamięci. Tekst nie został skopiowany.";

// A clipboard that another program holds open is tried for kBusyTime in
// each operation; the owner of an X11 selection has kAnswerTime for its
// answer to a paste, every target it is asked for together.
inline constexpr std::chrono::milliseconds kBusyTime{2000};
inline constexpr std::chrono::milliseconds kAnswerTime{5000};
// The longest time between two calls of the wait hook, and the time before
// its first: a wait shorter than that, as for a clipboard that another
// program syncs, needs no repaint, and a click meanwhile waits its turn
// rather than being dropped.
inline constexpr std::chrono::milliseconds kWaitStep{50};
inline constexpr std::chrono::milliseconds kQuietWait{500};

// The most units a text area holds.
inline constexpr std::uint64_t kMostUnits = std::numeric_limits<std::int32_t>::max();

// Called during every wait, at least every kWaitStep, with the time the wait
// began: once it has lasted kQuietWait the window repaints, and the user may
// cancel (a silent refusal) or close the window.
void KeepWaiting(std::chrono::steady_clock::time_point since);

// Runs one clipboard operation of a paste (`copy` false) or a copy: a
// failure of the system's, or memory that runs out, becomes a refusal that
// says what became of the text.
template <typename Operation>
auto Refusing(bool copy, Operation operation) -> decltype(operation())
{
    try {
        return operation();
    } catch (const platform::PlatformError& failure) {
        const std::optional<std::int32_t> number = failure.number();
        throw platform::Refusal(std::string(copy ? kCopyFailed : kPasteFailed) + "\n\n"
                                + (number ? "Błąd nr " + std::to_string(*number) + ": " : "")
                                + failure.description());
    } catch (const std::bad_alloc&) {
        throw platform::Refusal(copy ? kCopyOutOfMemory : kTooLarge);
    } catch (const std::length_error&) {
        throw platform::Refusal(copy ? kCopyOutOfMemory : kTooLarge);
    }
}

} // namespace clipboard
