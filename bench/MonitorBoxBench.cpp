// Half a second of hex echo at 200 frames per second (a VK200-210 data frame of 44 bytes is
// a 138-character line) appended to the monitor box, shown at its size in the window, while
// the box already holds 0, 30000 or 50000 characters: the cost of an append does not grow
// with the text already there, since the box lays out only the lines added.
#include "window/PanelBindings.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

namespace {

using namespace orvanta::window;

std::string EchoLines(int frames) {
    std::string line = "Rx: ";
    for (int i = 0; i < 44; ++i) {
        line += "a5 ";
    }
    line += "\r\n";
    std::string text;
    for (int i = 0; i < frames; ++i) {
        text += line;
    }
    return text;
}

void BM_AppendHalfSecondOfEcho(benchmark::State& state) {
    const std::string echo = EchoLines(100);
    const std::string held(static_cast<std::size_t>(state.range(0)), 'b');
    QPlainTextEdit box;
    box.resize(189, 184);
    box.show();
    for (auto _ : state) {
        state.PauseTiming();
        ReplaceMonitorText(box, EchoLines(static_cast<int>(held.size()) / 138));
        QApplication::processEvents();
        state.ResumeTiming();
        AppendMonitorText(box, echo);
        QApplication::processEvents(); // the repaint of the box
    }
    state.counters["characters"] = static_cast<double>(echo.size());
}
BENCHMARK(BM_AppendHalfSecondOfEcho)->Arg(0)->Arg(30000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (std::getenv("DISPLAY") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
