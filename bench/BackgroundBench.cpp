// The main window's background at a new window size, as a resize needs it: the kept
// 1834 x 1011 picture stretched to the size, against the picture drawn at that size.
#include "res/Artwork.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

using namespace orvanta::res;

const QSize kSizes[] = {{1030, 650}, {2060, 1300}};

void BM_StretchKeptPicture(benchmark::State& state) {
    const QSize size = kSizes[state.range(0)];
    const QImage kept = LoadBitmap(bitmap_id::kBackgroundEnglish);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            kept.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    state.SetLabel(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
}
BENCHMARK(BM_StretchKeptPicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DrawAtWindowSize(benchmark::State& state) {
    const QSize size = kSizes[state.range(0)];
    for (auto _ : state) {
        benchmark::DoNotOptimize(LoadBackgroundPicture(bitmap_id::kBackgroundEnglish, size));
    }
    state.SetLabel(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
}
BENCHMARK(BM_DrawAtWindowSize)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Drawing needs the application's fonts, not a display.
    if (std::getenv("DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    QGuiApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
