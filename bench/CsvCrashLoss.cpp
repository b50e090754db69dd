// Rows a recording loses when the program is killed (SIGKILL) at 200 rows per second.
// csv_crash_loss [TRIALS] (default 10): each trial forks a child that records with
// CsvRecorder and counts the rows it appended in shared memory; the parent kills it after
// 2 to 3 s and counts the whole rows in the file. Prints the loss per trial, and the
// largest and mean loss in rows and in seconds.
#include "recording/CsvRecorder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace orvanta::recording;
using namespace std::chrono_literals;

constexpr int kRowsPerSecond = 200;

class QuietMessages final : public RecorderMessages {
public:
    void ShowMessage(const std::string&, const std::string&) override {}
};

[[noreturn]] void Record(const std::filesystem::path& dir, std::atomic<std::uint64_t>* appended) {
    SystemLocalClock clock;
    SystemSleeper sleeper;
    QuietMessages messages;
    CsvRecorder recorder(clock, sleeper, messages);
    recorder.SetDataDirectory(dir);
    recorder.SetModelName("VK100");
    recorder.SetCsvHeader("Roll,Pitch,Yaw,Time\n");
    if (!recorder.Start()) {
        std::_Exit(2);
    }
    ItemTexts items;
    for (auto& text : items) {
        text = "+123.456";
    }
    auto next = std::chrono::steady_clock::now();
    for (std::uint64_t i = 0;; ++i) {
        items[0] = std::to_string(i);
        recorder.AppendRow(items, 0);
        appended->store(i + 1);
        next += std::chrono::microseconds(1000000 / kRowsPerSecond);
        std::this_thread::sleep_until(next);
    }
}

struct Counted {
    std::uint64_t rows = 0;
    bool endsWhole = false;
    bool inOrder = true;
};

Counted CountRows(const std::filesystem::path& dir) {
    Counted counted;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        counted.endsWhole = text.empty() || text.back() == '\n';
        std::size_t at = text.find('\n') + 1; // after the header
        while (at < text.size()) {
            const std::size_t end = text.find('\n', at);
            if (end == std::string::npos) {
                break; // a torn last row does not count
            }
            const std::string first = text.substr(at, text.find(',', at) - at);
            counted.inOrder = counted.inOrder && first == std::to_string(counted.rows);
            ++counted.rows;
            at = end + 1;
        }
    }
    return counted;
}

} // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    auto* appended = static_cast<std::atomic<std::uint64_t>*>(
        ::mmap(nullptr, sizeof(std::atomic<std::uint64_t>), PROT_READ | PROT_WRITE,
               MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (appended == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }
    std::uint64_t worst = 0, total = 0;
    bool whole = true, ordered = true;
    for (int trial = 0; trial < trials; ++trial) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "orvanta-crash-XXXXXX").string();
        const std::filesystem::path dir = ::mkdtemp(pattern.data());
        new (appended) std::atomic<std::uint64_t>(0);
        const pid_t child = ::fork();
        if (child == 0) {
            Record(dir, appended);
        }
        // 2 to 3 s, so the kill falls anywhere in the writer's period.
        std::this_thread::sleep_for(2000ms + std::chrono::milliseconds(trial * 1013 / trials));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::uint64_t rows = appended->load();
        const Counted counted = CountRows(dir);
        const std::uint64_t lost = rows - std::min(rows, counted.rows);
        std::printf(
            "trial %2d: appended %5llu, in the file %5llu, lost %3llu (%.3f s)%s\n", trial + 1,
            static_cast<unsigned long long>(rows), static_cast<unsigned long long>(counted.rows),
            static_cast<unsigned long long>(lost), static_cast<double>(lost) / kRowsPerSecond,
            counted.endsWhole ? "" : ", the file ends inside a row");
        worst = std::max(worst, lost);
        total += lost;
        whole = whole && counted.endsWhole;
        ordered = ordered && counted.inOrder;
        std::filesystem::remove_all(dir);
    }
    std::printf("%d rows/s, %d kills: lost at most %llu rows (%.3f s), on average %.1f rows "
                "(%.3f s); files end on a whole row: %s; rows in order, once: %s\n",
                kRowsPerSecond, trials, static_cast<unsigned long long>(worst),
                static_cast<double>(worst) / kRowsPerSecond, static_cast<double>(total) / trials,
                static_cast<double>(total) / trials / kRowsPerSecond, whole ? "yes" : "NO",
                ordered ? "yes" : "NO");
    return whole && ordered ? 0 : 1;
}
