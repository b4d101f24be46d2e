// Throughput of FoldText on 32 million code units, against the floor for any
// function that returns a new text (allocate and copy) and against the folding
// rule read literally (each unit tested against the 18 rows); of FoldBytes
// on the same texts in UTF-8 and in Windows-1250, and of the watch for text
// of a code page (TextWatch) on the UTF-8, against memcpy of the same bytes
// into the same buffer; each on each path the processor offers. Each runs 7
// times; the tables give medians and the spread of the ratio, repetition by
// repetition, in CPU time: on a shared machine the wall clock also counts the
// other programs' turns.

#include "code_page.h"
#include "fold_bytes.h"
#include "fold_by_rows.h"
#include "fold_path.h"
#include "fold_text.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kUnits = 32u << 20;

std::u16string Prose()
{
    // Common Polish words; about 7% of their letters are among the 18.
    static const std::vector<std::u16string> words = {
        u"w", u"i", u"na", u"nie", u"się", u"że", u"do", u"jest", u"to", u"jak", u"ale", u"po",
        u"od", u"za", u"tak", u"przez", u"był", u"może", u"już", u"tylko", u"dla", u"czy",
        u"bardzo", u"który", u"jednak", u"gdy", u"także", u"miasto", u"rzeka", u"dzień",
        u"Polska", u"słowo", u"książka", u"człowiek", u"praca", u"dobrze", u"wszystko",
        u"teraz", u"potem", u"zawsze", u"Kraków", u"Łódź", u"ZAŻÓŁĆ", u"ten", u"jego",
        u"mieć", u"woda", u"szkoła", u"droga", u"ostatni", u"nowy", u"między", u"kiedy",
    };
    std::mt19937 random(1);
    std::u16string text;
    text.reserve(kUnits + 128);
    std::size_t lineStart = 0;
    std::size_t lineLength = 60 + random() % 41;
    while (text.size() < kUnits) {
        text += words[random() % words.size()];
        if (text.size() - lineStart >= lineLength) {
            text += u"\r\n";
            lineStart = text.size();
            lineLength = 60 + random() % 41;
        } else {
            text += random() % 12 == 0 ? u", " : u" ";
        }
    }
    text.resize(kUnits);
    return text;
}

std::u16string Ascii()
{
    std::u16string text = Prose();
    for (char16_t& unit : text)
        unit = unit < 0x80 ? unit : u'x';
    return text;
}

std::u16string OnlyLetters()
{
    std::u16string text(kUnits, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = FoldTable[i % FoldTable.size()].letter;
    return text;
}

const std::u16string& Text(int kind)
{
    static const std::u16string texts[] = {Prose(), Ascii(), OnlyLetters()};
    return texts[kind];
}

const char* const kKinds[] = {"prose", "ascii", "letters"};

// The texts hold no surrogates.
std::string Utf8(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        if (unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (unit < 0x800) {
            bytes += static_cast<char>(0xC0 | unit >> 6);
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | unit >> 12);
            bytes += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return bytes;
}

const std::string& Bytes(int kind)
{
    static const std::string texts[] = {Utf8(Text(0)), Utf8(Text(1)), Utf8(Text(2))};
    return texts[kind];
}

// The texts in Windows-1250, which has every letter they hold.
std::string Windows1250(std::u16string_view text)
{
    unsigned char byteOf[0x10000] = {};
    for (unsigned byte = 0; byte < 256; ++byte)
        byteOf[CodePageCharacter(ByteEncoding::Windows1250, static_cast<unsigned char>(byte))] = static_cast<unsigned char>(byte);
    std::string bytes;
    for (char16_t unit : text)
        bytes += static_cast<char>(byteOf[unit]);
    return bytes;
}

const std::string& CodePageBytes(int kind)
{
    static const std::string texts[] = {Windows1250(Text(0)), Windows1250(Text(1)), Windows1250(Text(2))};
    return texts[kind];
}

void Run(benchmark::State& state, std::u16string (*function)(std::u16string_view))
{
    const std::u16string& source = Text(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::u16string result = function(source);
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(static_cast<std::size_t>(state.iterations()) * source.size() * sizeof(char16_t)));
    state.SetLabel(kKinds[state.range(0)]);
}

// Both write into the same buffer, allocated once: the copy a filter makes anyway.
void RunBytes(benchmark::State& state, void (*function)(const std::string&, unsigned char*),
              const std::string& (*texts)(int) = Bytes)
{
    const std::string& source = texts(static_cast<int>(state.range(0)));
    static std::vector<unsigned char> out;
    out.assign(source.size(), 0);
    for (auto _ : state) {
        function(source, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(static_cast<std::size_t>(state.iterations()) * source.size()));
    state.SetLabel(kKinds[state.range(0)]);
}

void BM_MemcpyFloor(benchmark::State& state)
{
    RunBytes(state, [](const std::string& source, unsigned char* out) {
        std::memcpy(out, source.data(), source.size());
    });
}

void BM_MemcpyCodePageFloor(benchmark::State& state)
{
    RunBytes(state, [](const std::string& source, unsigned char* out) {
        std::memcpy(out, source.data(), source.size());
    }, CodePageBytes);
}

void FoldBytesOf(const std::string& source, unsigned char* out)
{
    FoldBytes({}, reinterpret_cast<const unsigned char*>(source.data()), source.size(), out, true);
}

void FoldCodePageOf(const std::string& source, unsigned char* out)
{
    FoldBytes({ByteEncoding::Windows1250}, reinterpret_cast<const unsigned char*>(source.data()), source.size(), out, true);
}

// The watch as kresovar-fold keeps it, piece by piece of 256 KiB.
void WatchOf(const std::string& source, unsigned char*)
{
    TextWatch legacy;
    const auto bytes = reinterpret_cast<const unsigned char*>(source.data());
    for (std::size_t at = 0; at < source.size(); at += 256 * 1024)
        legacy.Take(bytes + at, std::min<std::size_t>(256 * 1024, source.size() - at));
    benchmark::DoNotOptimize(legacy.Finish());
}

void BM_CopyFloor(benchmark::State& state)
{
    Run(state, [](std::u16string_view source) { return std::u16string(source); });
}
void BM_FoldByRows(benchmark::State& state) { Run(state, FoldByRows); }

constexpr int kRepetitions = 7;

void Kinds(benchmark::internal::Benchmark* benchmark)
{
    benchmark->DenseRange(0, 2)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond);
}

// FoldText and FoldBytes on each path this processor offers, in turn.
std::vector<std::string> OnEachPath(const char* name, std::function<void(benchmark::State&)> run)
{
    std::vector<std::string> names;
    for (FoldPath path : FoldPaths()) {
        names.push_back(std::string(name) + "_" + FoldPathName(path));
        benchmark::RegisterBenchmark(names.back().c_str(), [path, run](benchmark::State& state) {
            UseFoldPath(path);
            run(state);
        })->Apply(Kinds);
    }
    return names;
}

BENCHMARK(BM_CopyFloor)->Apply(Kinds);
const std::vector<std::string> kFoldText = OnEachPath("BM_FoldText", [](auto& state) { Run(state, FoldText); });
BENCHMARK(BM_FoldByRows)->Apply(Kinds);
BENCHMARK(BM_MemcpyFloor)->Apply(Kinds);
const std::vector<std::string> kFoldBytes = OnEachPath("BM_FoldBytes", [](auto& state) { RunBytes(state, FoldBytesOf); });
const std::vector<std::string> kWatch = OnEachPath("BM_Watch", [](auto& state) { RunBytes(state, WatchOf); });
BENCHMARK(BM_MemcpyCodePageFloor)->Apply(Kinds);
const std::vector<std::string> kFoldCodePage = OnEachPath("BM_FoldCodePage", [](auto& state) {
    RunBytes(state, FoldCodePageOf, CodePageBytes);
});

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Prints the aggregates, then each function's throughput as a share of its floor's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // A reporter of one's own is not told of --benchmark_color; plain text suits a log.
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> aggregates;
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate)
                aggregates.push_back(run);
            else
                seconds_[{run.run_name.function_name, run.report_label}].push_back(run.GetAdjustedCPUTime());
        }
        ConsoleReporter::ReportRuns(aggregates);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nThroughput as a share of the floor (1 = as fast as copying), median of %d"
                    " repetitions in CPU time (lowest–highest):\n", kRepetitions);
        std::vector<std::string> foldText = kFoldText;
        foldText.push_back("BM_FoldByRows");
        Table("allocate and copy, " + std::to_string(kUnits >> 20) + " M UTF-16 units", "BM_CopyFloor", foldText);
        Table("memcpy, the same texts in UTF-8 (" + std::to_string(Bytes(0).size() >> 20) + "/" +
                  std::to_string(Bytes(1).size() >> 20) + "/" + std::to_string(Bytes(2).size() >> 20) + " MiB)",
              "BM_MemcpyFloor", kFoldBytes);
        Table("memcpy, the same texts in UTF-8, watched for a code page", "BM_MemcpyFloor", kWatch);
        Table("memcpy, the same texts in Windows-1250 (" + std::to_string(CodePageBytes(0).size() >> 20) + "/" +
                  std::to_string(CodePageBytes(1).size() >> 20) + "/" + std::to_string(CodePageBytes(2).size() >> 20) + " MiB)",
              "BM_MemcpyCodePageFloor", kFoldCodePage);
    }

private:
    void Table(const std::string& floorName, const char* floor, const std::vector<std::string>& functions)
    {
        std::printf("\nfloor: %s\n%-22s %18s %18s %18s\n", floorName.c_str(), "function", "prose", "ascii",
                    "letters");
        for (const std::string& function : functions) {
            std::printf("%-22s", function.c_str() + 3);
            for (const char* kind : kKinds) {
                const std::vector<double>& floorSeconds = seconds_[{floor, kind}];
                const std::vector<double>& seconds = seconds_[{function, kind}];
                std::vector<double> ratios;
                for (std::size_t i = 0; i < std::min(floorSeconds.size(), seconds.size()); ++i)
                    ratios.push_back(floorSeconds[i] / seconds[i]);
                if (ratios.empty()) {
                    std::printf(" %18s", "-");
                    continue;
                }
                char cell[64];
                std::snprintf(cell, sizeof cell, "%.2f (%.2f–%.2f)", Median(floorSeconds) / Median(seconds),
                              *std::min_element(ratios.begin(), ratios.end()),
                              *std::max_element(ratios.begin(), ratios.end()));
                std::printf(" %18s", cell);
            }
            std::printf("\n");
        }
    }

    std::map<std::pair<std::string, std::string>, std::vector<double>> seconds_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
