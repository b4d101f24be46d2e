// The paste, fold and copy commands through real widgets (offscreen) on large
// texts, each against its floor: the text widget's own cost to take and give
// back the same text with the cheapest calls it offers and the same event
// processing, in processor time. Command and floor take turns, round after
// round; each figure is the median of the rounds, printed with their spread.
// Also the peak memory of the fold above the widget holding the text, the
// cost of the caret operations on a text of 600,000 lines, the CPU the window
// takes at rest holding one long line, and the resident memory after ten
// commands.

#include "command_rounds.h"
#include "form1.h"
#include "qt/widgets_qt.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QEventLoop>
#include <QTextDocument>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <vector>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include <sys/times.h>
#include <time.h>
#include <unistd.h>

using namespace platform;

namespace {

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

using bench::Lines;
using bench::Sample;
using bench::Size;

std::map<std::string, Sample> samples;

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

// The processor time `run` takes, all of it in this thread (the clipboard
// is the process's own): other work on the machine changes it little.
double CpuMillisecondsOf(auto&& run)
{
    const auto now = [] {
        timespec time{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
        return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) / 1e6;
    };
    const double start = now();
    run();
    return now() - start;
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
    const auto timed = [&](auto&& run) {
        WriteText(form.Text1, text);
        PlaceCaret(form.Text1, static_cast<std::int32_t>(text.size() / 2));
        QCoreApplication::processEvents();
        const long holding = StatusKilobytes("VmRSS:");
        ResetPeakMemory();
        const double ms = CpuMillisecondsOf([&] { run(form); });
        return std::pair{ms, static_cast<double>(StatusKilobytes("VmHWM:") - holding) / 1024.0};
    };
    for (auto _ : state)
        samples[std::string(name) + "/" + size.name] = bench::Rounds(timed, command, floor);
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

std::map<std::string, bench::AtRest> rests;

const Size kRestSizes[] = {{"1M", 1'000'000, 80}, {"1M_one_line", 1'000'000, 0}, {"10M_one_line", 10'000'000, 0}};

double CpuMilliseconds()
{
    tms now{};
    times(&now);
    return static_cast<double>(now.tms_utime + now.tms_stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The CPU the event loop takes in `ms`.
double CpuOfEventLoop(int ms)
{
    const double start = CpuMilliseconds();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return CpuMilliseconds() - start;
}

// The window shown with the text, as a paste leaves it: caret at the end.
void BM_AtRest(benchmark::State& state)
{
    const Size& size = kRestSizes[state.range(0)];
    Form1& form = Form();
    QWidget& window = static_cast<QWidget&>(form.window());
    window.show();
    // The caret blinks only in the active window; offscreen, a window shown
    // again is not made active by itself.
    QApplication::setActiveWindow(&window);
    const std::u16string text = Lines(size.units, size.lineLength);
    for (auto _ : state) {
        WriteText(form.Text1, text);
        PlaceCaret(form.Text1, static_cast<std::int32_t>(text.size()));
        TakeFocus(form.Text1);
        QCoreApplication::processEvents();
        if (!form.Text1.hasFocus())
            state.SkipWithError("the text area did not take the focus");
        bench::AtRest& rest = rests[size.name];
        rest.settleCpuMs = CpuOfEventLoop(bench::kSettleMs);
        rest.cpuMs = CpuOfEventLoop(bench::kRestMs);
    }
    WriteText(form.Text1, u"");
    window.hide();
    state.SetLabel(size.name);
}

// Resident memory after each of ten commands on one 50 M text, paste and
// fold in turn: what the text area keeps to undo them must not grow with
// their number.
constexpr int kMemoryCommands = 10;
std::vector<long> residentAfter;

void BM_MemoryAfterCommands(benchmark::State& state)
{
    const std::u16string text = Lines(50'000'000, 80);
    Form1& form = Form();
    SetClipboardText(text);
    for (auto _ : state) {
        residentAfter.clear();
        for (int command = 0; command < kMemoryCommands; ++command) {
            if (command % 2 == 0)
                form.PasteCommand();
            else
                form.FoldCommand();
            QCoreApplication::processEvents();
            residentAfter.push_back(StatusKilobytes("VmRSS:"));
        }
    }
    WriteText(form.Text1, u"");
}

void PrintMemoryAfterCommands()
{
    if (residentAfter.size() != kMemoryCommands)
        return;
    std::printf("\nResident memory after each of %d commands on one 50M text, paste and fold in turn (MB):\n",
                kMemoryCommands);
    for (long kilobytes : residentAfter)
        std::printf(" %ld", kilobytes / 1024);
    std::printf("\nAfter 10 commands: %.2fx the resident memory after 2 (bound: 1.10)\n",
                static_cast<double>(residentAfter.back()) / static_cast<double>(residentAfter[1]));
}

void Sizes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->DenseRange(0, kSizeCount - 1)->Iterations(1)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Paste)->Apply(Sizes);
BENCHMARK(BM_Fold)->Apply(Sizes);
BENCHMARK(BM_Copy)->Apply(Sizes);
BENCHMARK(BM_CaretPos)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceCaret)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlaceCaretNearby)->Iterations(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AtRest)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryAfterCommands)->Iterations(1)->Unit(benchmark::kMillisecond);

// Prints the usual table, then each command against its floor.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // A reporter of one's own is not told of --benchmark_color; plain text suits a log.
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        bench::PrintTable(samples, kSizes);
        if (samples.count("fold/50M") && samples.count("fold/10M"))
            std::printf("\nFold growth: 50M takes %.2fx the time of 10M (linear: 5x)\n",
                        samples["fold/50M"].milliseconds / samples["fold/10M"].milliseconds);
        bench::PrintAtRest(rests, kRestSizes);
        PrintMemoryAfterCommands();
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
