// Throughput of FoldText on 32 million code units, against the floor for any
// function that returns a new text (allocate and copy) and against the folding
// rule read literally (each unit tested against the 18 rows).

#include "fold_by_rows.h"
#include "fold_text.h"

#include <benchmark/benchmark.h>

#include <cstdio>
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

void Run(benchmark::State& state, std::u16string (*function)(std::u16string_view))
{
    const std::u16string& source = Text(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::u16string result = function(source);
        benchmark::DoNotOptimize(result.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size() * sizeof(char16_t)));
    state.SetLabel(kKinds[state.range(0)]);
}

void BM_CopyFloor(benchmark::State& state)
{
    Run(state, [](std::u16string_view source) { return std::u16string(source); });
}
void BM_FoldText(benchmark::State& state) { Run(state, FoldText); }
void BM_FoldByRows(benchmark::State& state) { Run(state, FoldByRows); }

BENCHMARK(BM_CopyFloor)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FoldText)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FoldByRows)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Prints the usual table, then each function's throughput as a share of the floor's.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name;
            seconds_[{name, run.report_label}] = run.GetAdjustedRealTime();
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nThroughput as a share of the copy floor (1.00 = as fast as copying), %zu M units:\n",
                    kUnits >> 20);
        std::printf("%-14s %10s %10s %10s\n", "function", "prose", "ascii", "letters");
        for (const char* function : {"BM_FoldText", "BM_FoldByRows"}) {
            std::printf("%-14s", function + 3);
            for (const char* kind : kKinds)
                std::printf(" %10.2f", seconds_[{"BM_CopyFloor", kind}] / seconds_[{function, kind}]);
            std::printf("\n");
        }
    }

private:
    std::map<std::pair<std::string, std::string>, double> seconds_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
