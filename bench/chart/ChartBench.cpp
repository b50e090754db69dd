// One chart tick: RebuildSeries of three 200-point series plus the full render
// at the display area's size, on Qt's offscreen platform.
#include "chart/ChartPage.h"
#include "chart/ChartPageHost.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>

namespace orvanta::chart {
namespace {

class BenchHost : public ChartPageHost {
public:
    void ShowDataPage(bool) override {}
    void StartDataPageTimer() override {}
    void KillDataPageTimer() override {}
    bool MainWindowReady() const override { return false; }
    int LanguageFlag() const override { return 1; }
    void ShowMessage(const QString&, const QString&) override {}
    QString PictureFolder() const override { return {}; }
};

void BM_RebuildAndRender(benchmark::State& state) {
    protocol::WaveformHistory history;
    BenchHost host;
    ChartPage page(history, host);
    page.resize(1000, 330);
    page.Chart().resize(1000, 330);
    page.Chart().Legend().UndockLegend(700, 5);
    int sample = 0;
    for (int i = 0; i < 200; ++i, ++sample) {
        history.AppendTriple(protocol::HistoryGroup::Euler, 30 * std::sin(sample / 18.0),
                             20 * std::cos(sample / 11.0), 12 * std::sin(sample / 6.0));
    }
    const int rendersBefore = page.Chart().RenderCount();
    for (auto _ : state) {
        // The waveforms move between ticks, as they do while frames arrive.
        history.AppendTriple(protocol::HistoryGroup::Euler, 30 * std::sin(sample / 18.0),
                             20 * std::cos(sample / 11.0), 12 * std::sin(sample / 6.0));
        ++sample;
        page.RebuildSeries();
        benchmark::DoNotOptimize(page.Chart().OffscreenImage().constBits());
    }
    state.counters["renders_per_tick"] =
        static_cast<double>(page.Chart().RenderCount() - rendersBefore) /
        static_cast<double>(state.iterations());
}
BENCHMARK(BM_RebuildAndRender)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
} // namespace orvanta::chart

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
