#include "run_handler.h"

namespace platform {

std::optional<int> RunHandler(const ClickHandler& handler, const FailureReport& report)
{
    try {
        handler();
        return std::nullopt;
    } catch (const ProgramEnd&) {
        return 0;
    } catch (const PlatformError& failure) {
        report(failure.number(), failure.description());
    } catch (const std::exception& failure) {
        // Out of memory on a huge text, say.
        report(0, failure.what());
    } catch (...) {
        report(0, "Nieznany wyjątek.");
    }
    return 1;
}

int RunProgram(const std::function<int()>& entry)
{
    int status = 0;
    const std::optional<int> end = RunHandler([&] { status = entry(); }, ReportFailureWithoutWindow);
    return end ? *end : status;
}

} // namespace platform
