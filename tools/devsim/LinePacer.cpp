#include "devsim/LinePacer.h"

#include <algorithm>

namespace orvanta::devsim {

LinePacer::LinePacer(std::uint32_t baud) : m_baud(std::max<std::uint32_t>(baud, 1)) {}

void LinePacer::SetBaud(std::uint32_t baud) {
    m_baud = std::max<std::uint32_t>(baud, 1);
}

std::size_t LinePacer::ChunkLimit() const {
    // Rounded up, so slow lines are not written a byte at a time.
    return std::max<std::size_t>(1, (m_baud / 10 + 499) / 500);
}

std::size_t LinePacer::Allowance(Clock::time_point now, std::size_t want) const {
    if (now < m_lineFreeAt) {
        return 0;
    }
    return std::min(want, ChunkLimit());
}

void LinePacer::Commit(Clock::time_point now, std::size_t count) {
    if (count == 0) {
        return;
    }
    m_lineFreeAt = std::max(now, m_lineFreeAt) + Duration(count);
}

std::chrono::nanoseconds LinePacer::Duration(std::size_t count) const {
    const std::uint64_t bitNanos = static_cast<std::uint64_t>(count) * 10ULL * 1000000000ULL;
    return std::chrono::nanoseconds((bitNanos + m_baud - 1) / m_baud);
}

} // namespace orvanta::devsim
