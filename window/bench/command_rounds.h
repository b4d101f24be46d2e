#pragma once

// What the commands benchmarks of both builds share: the texts, the rounds in
// which command and floor take turns, and the table they print.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// Lines of about `lineLength` units (0: one line), Polish letters among
// them, ended by the given line breaks in turn.
inline std::u16string Lines(std::size_t units, std::size_t lineLength,
                            std::vector<std::u16string_view> breaks = {u"\r\n"})
{
    const std::u16string words = u"Zażółć gęślą jaźń, pchnąć w tę łódź jeża lub ośm skrzyń fig; ";
    std::u16string text;
    text.reserve(units);
    std::size_t lines = 0;
    for (std::size_t column = 0; text.size() < units; ++column) {
        const std::u16string_view lineBreak = breaks[lines % breaks.size()];
        if (lineLength && column == lineLength - lineBreak.size()) {
            text += lineBreak;
            ++lines;
            column = static_cast<std::size_t>(-1);
        } else {
            text += words[(text.size() * 7 + column) % words.size()];
        }
    }
    text.resize(units);
    return text;
}

struct Size {
    const char* name;
    std::size_t units;
    std::size_t lineLength;
    std::u16string_view lineBreak = u"\r\n";
};

constexpr int kRounds = 7;

struct Sample {
    double milliseconds = 0;
    double floorMilliseconds = 0;
    double ratio = 0;
    double lowestRatio = 0;
    double highestRatio = 0;
    double extraMegabytes = -1; // below 0: not measured
};

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline double MillisecondsOf(auto&& run)
{
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Runs `timed(command)` and `timed(floor)` in turns for kRounds rounds,
// alternating which goes first so that neither always finds the other's
// leftovers; `timed` returns the milliseconds and the extra megabytes.
template <typename Timed, typename Command, typename Floor>
Sample Rounds(Timed timed, Command command, Floor floor)
{
    std::vector<double> commandMs;
    std::vector<double> floorMs;
    std::vector<double> ratios;
    double peakExtra = -1;
    for (int round = 0; round < kRounds; ++round) {
        std::pair<double, double> ran;
        double floorTime = 0;
        if (round % 2 == 0) {
            ran = timed(command);
            floorTime = timed(floor).first;
        } else {
            floorTime = timed(floor).first;
            ran = timed(command);
        }
        commandMs.push_back(ran.first);
        floorMs.push_back(floorTime);
        ratios.push_back(ran.first / floorTime);
        peakExtra = std::max(peakExtra, ran.second);
    }
    return {Median(commandMs), Median(floorMs), Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
            *std::max_element(ratios.begin(), ratios.end()), peakExtra};
}

inline void PrintHeader()
{
    std::printf("\nMedians of %d rounds, command and floor taking turns; spread: lowest and highest ratio.\n",
                kRounds);
    std::printf("%-6s %-13s %9s %9s %7s %13s %22s\n", "", "text", "ms", "floor ms", "ratio", "spread",
                "peak extra MB");
}

inline void PrintRow(const char* command, const Size& size, const Sample& run)
{
    std::printf("%-6s %-13s %9.0f %9.0f %7.2f %6.2f–%-6.2f ", command, size.name, run.milliseconds,
                run.floorMilliseconds, run.ratio, run.lowestRatio, run.highestRatio);
    if (run.extraMegabytes < 0)
        std::printf("%22s\n", "not measured");
    else
        std::printf("%9.0f (%4.2fx text)\n", run.extraMegabytes,
                    run.extraMegabytes / (static_cast<double>(size.units) * 2 / 1048576.0));
    std::fflush(stdout);
}

// `samples` is keyed "command/size".
template <typename Sizes>
void PrintTable(const std::map<std::string, Sample>& samples, const Sizes& sizes)
{
    PrintHeader();
    for (const char* command : {"paste", "fold", "copy"}) {
        for (const Size& size : sizes) {
            const auto found = samples.find(std::string(command) + "/" + size.name);
            if (found != samples.end())
                PrintRow(command, size, found->second);
        }
    }
}

// The CPU a window at rest takes: shown, holding a text, focus in the text
// area, the event loop running and nobody touching it.
struct AtRest {
    double settleCpuMs = 0; // in the first kSettleMs after the text was set
    double cpuMs = 0;       // in the kRestMs that follow
};

constexpr int kSettleMs = 5000;
constexpr int kRestMs = 5000;

template <typename Sizes>
void PrintAtRest(const std::map<std::string, AtRest>& rests, const Sizes& sizes)
{
    if (rests.empty())
        return;
    std::printf("\nAt rest, focus in the text area: CPU of the process in the %d s after the text was set,"
                " then in the %d s that follow.\n", kSettleMs / 1000, kRestMs / 1000);
    std::printf("%-13s %14s %14s %14s\n", "text", "settle ms", "at rest ms", "share of core");
    for (const Size& size : sizes) {
        const auto found = rests.find(size.name);
        if (found != rests.end())
            std::printf("%-13s %14.0f %14.0f %13.1f%%\n", size.name, found->second.settleCpuMs,
                        found->second.cpuMs, 100.0 * found->second.cpuMs / kRestMs);
    }
}

} // namespace bench
