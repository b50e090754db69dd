#include "serial/FailureRun.h"

namespace orvanta::serial {

FailureRun::Verdict FailureRun::OnFailure(Clock::time_point now) {
    Verdict verdict;
    if (!m_started || now - m_last > kRunGap) {
        m_started = now;
        verdict.report = true;
    }
    m_last = now;
    verdict.broken = now - *m_started >= kBrokenAfter;
    return verdict;
}

} // namespace orvanta::serial
