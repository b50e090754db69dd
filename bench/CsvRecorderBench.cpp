#include "recording/CsvRecorder.h"

#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

using namespace orvanta::recording;

ItemTexts TypicalItems() {
    ItemTexts items;
    for (auto& text : items) {
        text = "+123.456";
    }
    return items;
}

class QuietMessages final : public RecorderMessages {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
};

// The cost a data frame adds on the receive path while recording (VK100, 34 fields).
void BM_AppendRowWhileRecording(benchmark::State& state) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "orvanta-bench-XXXXXX").string();
    const std::filesystem::path dir = ::mkdtemp(pattern.data());
    SystemLocalClock clock;
    SystemSleeper sleeper;
    QuietMessages messages;
    {
        CsvRecorder recorder(clock, sleeper, messages);
        recorder.SetDataDirectory(dir);
        recorder.SetModelName("VK100");
        recorder.SetCsvHeader("Time\n");
        recorder.Start();
        const ItemTexts items = TypicalItems();
        for (auto _ : state) {
            recorder.AppendRow(items, 0);
        }
        state.SetItemsProcessed(state.iterations());
    }
    std::filesystem::remove_all(dir);
}
// A fixed count keeps the rows held in memory (and the file written at the end) small.
BENCHMARK(BM_AppendRowWhileRecording)->Iterations(100000);

void BM_BuildRow(benchmark::State& state) {
    const ItemTexts items = TypicalItems();
    const LocalTime time{2024, 1, 2, 3, 4, 5, 6};
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildRow(items, 0, time));
    }
}
BENCHMARK(BM_BuildRow);

} // namespace
