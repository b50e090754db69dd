#include "serial/FailureRun.h"

#include <gtest/gtest.h>
#include <vector>

namespace orvanta::serial {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// Failures retried every 100 ms over given spans, successes in between: which failures are
// reported, and when the port is given up.
TEST(FailureRunTest, OneReportPerRunAndBrokenAfterTwoSecondsOfFailures) {
    struct Span {
        milliseconds from, to; // failures every 100 ms; from == to and success: one success
        bool success = false;
    };
    struct Case {
        const char* what;
        std::vector<Span> spans;
        std::vector<milliseconds> reported;
        milliseconds brokenAt; // 0: never
    };
    const Case cases[] = {
        {"two seconds of retries", {{0ms, 2100ms}}, {0ms}, 2000ms},
        {"a success ends the run",
         {{0ms, 1500ms}, {1550ms, 1550ms, true}, {1600ms, 3600ms}},
         {0ms, 1600ms},
         3600ms},
        {"failures a second apart are runs of their own",
         {{0ms, 0ms}, {1100ms, 1100ms}, {2200ms, 2200ms}},
         {0ms, 1100ms, 2200ms},
         0ms},
    };
    for (const auto& c : cases) {
        FailureRun run;
        const auto start = FailureRun::Clock::now();
        std::vector<milliseconds> reported;
        milliseconds brokenAt{0};
        for (const auto& span : c.spans) {
            if (span.success) {
                run.OnSuccess();
                continue;
            }
            for (milliseconds at = span.from; at <= span.to; at += 100ms) {
                const FailureRun::Verdict verdict = run.OnFailure(start + at);
                if (verdict.report) {
                    reported.push_back(at);
                }
                if (verdict.broken && brokenAt == 0ms) {
                    brokenAt = at;
                }
            }
        }
        EXPECT_EQ(reported, c.reported) << c.what;
        EXPECT_EQ(brokenAt, c.brokenAt) << c.what;
    }
}

} // namespace
} // namespace orvanta::serial
