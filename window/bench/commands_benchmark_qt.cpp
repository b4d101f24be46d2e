// The paste, fold and copy commands through real widgets (offscreen) on large
// texts, each against its floor: the text widget's own cost to take and give
// back the same text with the cheapest calls it offers and the same event
// processing. Also the peak memory of the fold above the widget holding the
// text, and the cost of the caret operations on a text of 600,000 lines.

#include "form1.h"
#include "qt/widgets_qt.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>

using namespace platform;

namespace {

// Lines of 78 characters and CR LF, Polish letters among them.
std::u16string Lines(std::size_t units, std::size_t lineLength)
{
    const std::u16string words = u"Zażółć gęślą jaźń, pchnąć w tę łódź jeża lub ośm skrzyń fig; ";
    std::u16string text;
    text.reserve(units);
    for (std::size_t column = 0; text.size() < units; ++column) {
        if (lineLength && column == lineLength - 2) {
            text += u"\r\n";
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

struct Sample {
    double seconds = 0;
    double extraMegabytes = 0;
};

std::map<std::string, Sample> samples;

struct Size {
    const char* name;
    std::size_t units;
    std::size_t lineLength;
};

const Size kSizes[] = {
    {"1M", 1'000'000, 80}, {"10M", 10'000'000, 80}, {"50M", 50'000'000, 80}, {"1M_one_line", 1'000'000, 0},
};

Form1& Form()
{
    static Form1 form;
    return form;
}

void SetClipboardText(const std::u16string& text)
{
    QGuiApplication::clipboard()->setText(ToQString(text));
}

// Runs `command` once per iteration on a text area holding the size's text.
template <typename Command>
void Measure(benchmark::State& state, const char* what, Command command)
{
    const Size& size = kSizes[state.range(0)];
    const std::u16string text = Lines(size.units, size.lineLength);
    Form1& form = Form();
    SetClipboardText(text);
    double peakExtra = 0;
    for (auto _ : state) {
        state.PauseTiming();
        WriteText(form.Text1, text);
        PlaceCaret(form.Text1, static_cast<std::int32_t>(text.size() / 2));
        QCoreApplication::processEvents();
        const long holding = StatusKilobytes("VmRSS:");
        ResetPeakMemory();
        state.ResumeTiming();

        command(form);

        state.PauseTiming();
        peakExtra = std::max(peakExtra, (StatusKilobytes("VmHWM:") - holding) / 1024.0);
        state.ResumeTiming();
    }
    state.SetLabel(size.name);
    state.counters["peak_extra_MB"] = peakExtra;
    state.counters["text_MB"] = size.units * 2 / 1048576.0;
}

void BM_Paste(benchmark::State& state)
{
    Measure(state, "paste", [](Form1& form) { form.PasteCommand(); });
}

void BM_PasteFloor(benchmark::State& state)
{
    Measure(state, "paste floor", [](Form1& form) {
        form.Text1.setPlainText(QString());
        form.Text1.setPlainText(QGuiApplication::clipboard()->mimeData()->text());
    });
}

void BM_Fold(benchmark::State& state)
{
    Measure(state, "fold", [](Form1& form) { form.FoldCommand(); });
}

void BM_FoldFloor(benchmark::State& state)
{
    Measure(state, "fold floor", [](Form1& form) {
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
    Measure(state, "copy", [](Form1& form) { form.CopyCommand(); });
}

void BM_CopyFloor(benchmark::State& state)
{
    Measure(state, "copy floor", [](Form1& form) {
        QGuiApplication::clipboard()->setText(form.Text1.document()->toRawText());
    });
}

void BM_CaretPos(benchmark::State& state)
{
    Form1& form = Form();
    static const std::u16string text = Lines(600'000 * 80, 80);
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
    static const std::u16string text = Lines(600'000 * 80, 80);
    WriteText(form.Text1, text);
    std::mt19937 random(4);
    for (auto _ : state)
        PlaceCaret(form.Text1, static_cast<std::int32_t>(random() % text.size()));
}

// Near the caret, so that the view need not scroll: the offset mapping alone.
void BM_PlaceCaretNearby(benchmark::State& state)
{
    Form1& form = Form();
    static const std::u16string text = Lines(600'000 * 80, 80);
    WriteText(form.Text1, text);
    std::mt19937 random(5);
    const std::size_t middle = text.size() / 2;
    for (auto _ : state)
        PlaceCaret(form.Text1, static_cast<std::int32_t>(middle + random() % 400));
}

void Sizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->DenseRange(0, 3)->Iterations(2)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_PasteFloor)->Apply(Sizes);
BENCHMARK(BM_Paste)->Apply(Sizes);
BENCHMARK(BM_FoldFloor)->Apply(Sizes);
BENCHMARK(BM_Fold)->Apply(Sizes);
BENCHMARK(BM_CopyFloor)->Apply(Sizes);
BENCHMARK(BM_Copy)->Apply(Sizes);
BENCHMARK(BM_CaretPos)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceCaret)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceCaretNearby)->Iterations(2000)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then each command against its floor.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            Sample& sample = samples[run.run_name.function_name + "/" + run.report_label];
            sample.seconds = run.GetAdjustedRealTime();
            const auto extra = run.counters.find("peak_extra_MB");
            sample.extraMegabytes = extra == run.counters.end() ? 0 : double(extra->second);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-8s %-12s %10s %10s %7s %16s\n", "command", "text", "ms", "floor ms", "ratio",
                    "peak extra MB");
        for (const char* command : {"Paste", "Fold", "Copy"}) {
            for (const Size& size : kSizes) {
                const Sample& run = samples[std::string("BM_") + command + "/" + size.name];
                const Sample& floor = samples[std::string("BM_") + command + "Floor/" + size.name];
                std::printf("%-8s %-12s %10.0f %10.0f %7.2f %9.0f (%4.2fx text)\n", command, size.name,
                            run.seconds, floor.seconds, run.seconds / floor.seconds, run.extraMegabytes,
                            run.extraMegabytes / (size.units * 2 / 1048576.0));
            }
        }
        const double fold10 = samples["BM_Fold/10M"].seconds;
        const double fold50 = samples["BM_Fold/50M"].seconds;
        std::printf("\nFold growth: 50M takes %.2fx the time of 10M (linear: 5x)\n", fold50 / fold10);
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
