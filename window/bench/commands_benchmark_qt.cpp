// The paste, fold and copy commands through real widgets (offscreen) on large
// texts, each against its floor: the text widget's own cost to take and give
// back the same text with the cheapest calls it offers and the same event
// processing. Command and floor take turns, round after round; each figure is
// the median of the rounds, printed with their spread. Also the peak memory
// of the fold above the widget holding the text, and the cost of the caret
// operations on a text of 600,000 lines.

#include "form1.h"
#include "qt/widgets_qt.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <tuple>
#include <vector>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

using namespace platform;

namespace {

// Lines of about 80 units, Polish letters among them, ended by the given
// line breaks in turn.
std::u16string Lines(std::size_t units, std::size_t lineLength, std::vector<std::u16string_view> breaks = {u"\r\n"})
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

long StatusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    }
    return 0;
}

// Linux lets a process reset its peak resident size.
void ResetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

constexpr int kRounds = 7;

struct Sample {
    double milliseconds = 0;
    double floorMilliseconds = 0;
    double ratio = 0;
    double lowestRatio = 0;
    double highestRatio = 0;
    double extraMegabytes = 0;
};

std::map<std::string, Sample> samples;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Size {
    const char* name;
    std::size_t units;
    std::size_t lineLength;
    std::u16string_view lineBreak;
};

const Size kSizes[] = {
    {"1M", 1'000'000, 80, u"\r\n"},    {"10M", 10'000'000, 80, u"\r\n"},    {"50M", 50'000'000, 80, u"\r\n"},
    {"1M_lf", 1'000'000, 80, u"\n"},    {"10M_lf", 10'000'000, 80, u"\n"},    {"50M_lf", 50'000'000, 80, u"\n"},
    {"1M_one_line", 1'000'000, 0, u""},
};
constexpr int kSizeCount = static_cast<int>(std::size(kSizes));

Form1& Form()
{
    static Form1 form;
    return form;
}

void SetClipboardText(const std::u16string& text)
{
    QGuiApplication::clipboard()->setText(ToQString(text));
}

// Times `command` and `floor` in turns, each on a text area freshly holding
// the size's text, and keeps the medians and the spread of their ratio.
template <typename Command, typename Floor>
void Compare(benchmark::State& state, const char* name, Command command, Floor floor)
{
    const Size& size = kSizes[state.range(0)];
    const std::u16string text = Lines(size.units, size.lineLength, {size.lineBreak});
    Form1& form = Form();
    SetClipboardText(text);
    std::vector<double> commandMs;
    std::vector<double> floorMs;
    std::vector<double> ratios;
    double peakExtra = 0;
    const auto timed = [&](auto&& run) {
        WriteText(form.Text1, text);
        PlaceCaret(form.Text1, static_cast<std::int32_t>(text.size() / 2));
        QCoreApplication::processEvents();
        const long holding = StatusKilobytes("VmRSS:");
        ResetPeakMemory();
        const auto start = std::chrono::steady_clock::now();
        run(form);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        return std::pair{ms, (StatusKilobytes("VmHWM:") - holding) / 1024.0};
    };
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            // Alternating which goes first, so that neither always finds the other's leftovers.
            double ms = 0;
            double extra = 0;
            double floorTime = 0;
            if (round % 2 == 0) {
                std::tie(ms, extra) = timed(command);
                floorTime = timed(floor).first;
            } else {
                floorTime = timed(floor).first;
                std::tie(ms, extra) = timed(command);
            }
            commandMs.push_back(ms);
            floorMs.push_back(floorTime);
            ratios.push_back(ms / floorTime);
            peakExtra = std::max(peakExtra, extra);
        }
    }
    samples[std::string(name) + "/" + size.name] = {Median(commandMs), Median(floorMs), Median(ratios),
                                                    *std::min_element(ratios.begin(), ratios.end()),
                                                    *std::max_element(ratios.begin(), ratios.end()), peakExtra};
    state.SetLabel(size.name);
}

void BM_Paste(benchmark::State& state)
{
    Compare(state, "paste", [](Form1& form) { form.PasteCommand(); }, [](Form1& form) {
        form.Text1.setPlainText(QString());
        form.Text1.setPlainText(QGuiApplication::clipboard()->mimeData()->text());
    });
}

void BM_Fold(benchmark::State& state)
{
    Compare(state, "fold", [](Form1& form) { form.FoldCommand(); }, [](Form1& form) {
        QString text = form.Text1.document()->toRawText();
        form.Text1.setPlainText(QString());
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        form.Text1.setPlainText(text);
        QCoreApplication::processEvents();
    });
}

void BM_Copy(benchmark::State& state)
{
    Compare(state, "copy", [](Form1& form) { form.CopyCommand(); }, [](Form1& form) {
        QGuiApplication::clipboard()->setText(form.Text1.document()->toRawText());
    });
}

// 600,000 lines, with CR LF breaks or with every kind of break in turn.
const std::u16string& CaretText(benchmark::State& state)
{
    static const std::u16string crLf = Lines(600'000 * 80, 80);
    static const std::u16string mixed = Lines(600'000 * 80, 80, {u"\r\n", u"\n", u"\r", u"\n", u"\u2029"});
    state.SetLabel(state.range(0) ? "mixed breaks" : "CR LF");
    return state.range(0) ? mixed : crLf;
}

void BM_CaretPos(benchmark::State& state)
{
    Form1& form = Form();
    const std::u16string& text = CaretText(state);
    WriteText(form.Text1, text);
    std::mt19937 random(3);
    for (auto _ : state) {
        state.PauseTiming();
        PlaceCaret(form.Text1, static_cast<std::int32_t>(random() % text.size()));
        state.ResumeTiming();
        benchmark::DoNotOptimize(CaretPos(form.Text1));
    }
}

void BM_PlaceCaret(benchmark::State& state)
{
    Form1& form = Form();
    const std::u16string& text = CaretText(state);
    WriteText(form.Text1, text);
    std::mt19937 random(4);
    for (auto _ : state)
        PlaceCaret(form.Text1, static_cast<std::int32_t>(random() % text.size()));
}

// Near the caret, so that the view need not scroll: the offset mapping alone.
void BM_PlaceCaretNearby(benchmark::State& state)
{
    Form1& form = Form();
    const std::u16string& text = CaretText(state);
    WriteText(form.Text1, text);
    std::mt19937 random(5);
    const std::size_t middle = text.size() / 2;
    for (auto _ : state)
        PlaceCaret(form.Text1, static_cast<std::int32_t>(middle + random() % 400));
}

void Sizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->DenseRange(0, kSizeCount - 1)->Iterations(1)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Paste)->Apply(Sizes);
BENCHMARK(BM_Fold)->Apply(Sizes);
BENCHMARK(BM_Copy)->Apply(Sizes);
BENCHMARK(BM_CaretPos)->DenseRange(0, 1)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceCaret)->DenseRange(0, 1)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceCaretNearby)->DenseRange(0, 1)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then each command against its floor.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nMedians of %d rounds, command and floor taking turns; spread: lowest and highest ratio.\n",
                    kRounds);
        std::printf("%-6s %-12s %9s %9s %7s %13s %22s\n", "", "text", "ms", "floor ms", "ratio", "spread",
                    "peak extra MB");
        for (const char* command : {"paste", "fold", "copy"}) {
            for (const Size& size : kSizes) {
                const Sample& run = samples[std::string(command) + "/" + size.name];
                std::printf("%-6s %-12s %9.0f %9.0f %7.2f %6.2f–%-6.2f %9.0f (%4.2fx text)\n", command, size.name,
                            run.milliseconds, run.floorMilliseconds, run.ratio, run.lowestRatio, run.highestRatio,
                            run.extraMegabytes, run.extraMegabytes / (size.units * 2 / 1048576.0));
            }
        }
        std::printf("\nFold growth: 50M takes %.2fx the time of 10M (linear: 5x)\n",
                    samples["fold/50M"].milliseconds / samples["fold/10M"].milliseconds);
    }
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
