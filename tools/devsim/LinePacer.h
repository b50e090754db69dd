#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace orvanta::devsim {

// Keeps the output to what a serial line carries: ten bit times per byte (start, eight data
// bits, stop), so never more than baud / 10 bytes per second. A pty would take everything at
// once. Bytes go out in small chunks, each only after the line has finished the previous
// one. Pure arithmetic over the times it is given; one thread at a time.
class LinePacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit LinePacer(std::uint32_t baud);

    void SetBaud(std::uint32_t baud);
    std::uint32_t baud() const { return m_baud; }
    // The largest chunk: about two milliseconds of line time, at least one byte.
    std::size_t ChunkLimit() const;

    // How many of want bytes may be written at now (0 while the line is still busy).
    std::size_t Allowance(Clock::time_point now, std::size_t want) const;
    // Records that count bytes were written at now.
    void Commit(Clock::time_point now, std::size_t count);
    // When the line has finished everything committed so far.
    Clock::time_point LineFreeAt() const { return m_lineFreeAt; }
    // Forgets the line's history (a new pty).
    void Reset() { m_lineFreeAt = {}; }

    // Line time of count bytes, rounded up so the pace is never faster than the rate.
    std::chrono::nanoseconds Duration(std::size_t count) const;

private:
    std::uint32_t m_baud;
    Clock::time_point m_lineFreeAt{};
};

} // namespace orvanta::devsim
