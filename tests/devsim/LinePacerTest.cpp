#include "devsim/LinePacer.h"

#include <gtest/gtest.h>

namespace orvanta::devsim {
namespace {

using namespace std::chrono_literals;
using Clock = LinePacer::Clock;

// Writes as eagerly as the pacer lets a writer that wakes every `step`, for `span`.
std::size_t WriteEagerly(LinePacer& pacer, Clock::time_point start, Clock::duration span,
                         Clock::duration step, std::size_t& maxOverLine) {
    std::size_t total = 0;
    maxOverLine = 0;
    for (auto now = start; now < start + span; now += step) {
        const std::size_t n = pacer.Allowance(now, 1000000);
        pacer.Commit(now, n);
        total += n;
        // Bytes out by now against what the line could have carried since the start.
        const double carried =
            std::chrono::duration<double>(now - start).count() * pacer.baud() / 10;
        if (total > carried) {
            maxOverLine =
                std::max<std::size_t>(maxOverLine, total - static_cast<std::size_t>(carried));
        }
    }
    return total;
}

TEST(LinePacerTest, NeverFasterThanTheLineAndNotMuchSlower) {
    for (std::uint32_t baud : {9600u, 115200u, 256000u}) {
        for (Clock::duration step :
             {Clock::duration(1us), Clock::duration(100us), Clock::duration(3ms)}) {
            LinePacer pacer(baud);
            std::size_t over = 0;
            const std::size_t total = WriteEagerly(pacer, Clock::time_point{} + 1s, 1s, step, over);
            EXPECT_LE(over, pacer.ChunkLimit()) << baud; // at most the chunk just written
            EXPECT_LE(total, baud / 10 + pacer.ChunkLimit()) << baud;
            if (step <= 100us) { // a writer that wakes on time keeps the line busy
                EXPECT_GE(total, baud / 10 * 9 / 10) << baud << " step " << step.count();
            }
        }
    }
}

TEST(LinePacerTest, ABaudChangeAppliesToTheNextBytes) {
    LinePacer pacer(9600);
    const auto t0 = Clock::time_point{} + 1s;
    pacer.Commit(t0, 10);
    EXPECT_EQ(pacer.LineFreeAt(), t0 + 10416667ns); // 100 bit times at 9600, rounded up
    pacer.SetBaud(256000);
    EXPECT_EQ(pacer.Allowance(pacer.LineFreeAt() - 1ns, 5), 0u);
    EXPECT_EQ(pacer.Allowance(pacer.LineFreeAt(), 5), 5u);
    const auto before = pacer.LineFreeAt();
    pacer.Commit(before, 256);
    EXPECT_EQ(pacer.LineFreeAt(), before + 10ms);
}

TEST(LinePacerTest, AnIdleLineStartsAfresh) {
    LinePacer pacer(115200);
    const auto t0 = Clock::time_point{} + 1s;
    pacer.Commit(t0, 23);
    pacer.Commit(t0 + 10s, 23);
    EXPECT_EQ(pacer.LineFreeAt(), t0 + 10s + pacer.Duration(23));
}

} // namespace
} // namespace orvanta::devsim
