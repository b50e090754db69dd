#include "protocol/PollWorker.h"

#include <atomic>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace orvanta::protocol {
namespace {

using namespace std::chrono_literals;

// "Highest priority" is a nice value of the normal class, also for root, who could have a
// real-time class that starves the machine.
TEST(PollWorkerTest, HighestPriorityStaysInTheNormalSchedulingClass) {
    const int niceBefore = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    std::atomic<int> policy{-1};
    std::atomic<int> nice{100};
    std::atomic<bool> stepped{false};
    PollWorker worker;
    worker.SetInterval(1ms);
    worker.Start([&] {
        policy = ::sched_getscheduler(0);
        nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
        stepped = true;
    });
    worker.Resume();
    for (int i = 0; i < 5000 && !stepped; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    worker.Stop();
    ASSERT_TRUE(stepped);
    EXPECT_EQ(policy, SCHED_OTHER);
    EXPECT_LE(nice, niceBefore);
}

} // namespace
} // namespace orvanta::protocol
