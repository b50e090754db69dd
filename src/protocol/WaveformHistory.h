#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace orvanta::protocol {

// History groups, numbered like the chart items they feed.
enum class HistoryGroup : int {
    Euler = 0,
    AngularRate = 1,
    Acceleration = 2,
    MagneticField = 3,
    Velocity = 4
};

// The latest 200 samples of each three-axis item. Each channel is a doubled
// window of 400 values, so the 200 values from the cursor are always
// contiguous and appending never shifts samples. Main thread only.
class WaveformHistory {
public:
    static constexpr int kGroupCount = 5;
    static constexpr int kChannelCount = 3;
    static constexpr std::size_t kWindow = 200;

    WaveformHistory() { Reset(); }

    // Zero-fills every group and puts the cursors at element 0.
    void Reset();

    void AppendTriple(HistoryGroup group, double first, double second, double third);

    // The 200 values of a channel, oldest first.
    std::span<const double, kWindow> Window(HistoryGroup group, int channel) const;
    double Newest(HistoryGroup group, int channel) const {
        return Window(group, channel)[kWindow - 1];
    }

    // Elements of the channel arrays the cursors point at (0..199).
    std::size_t Cursor(HistoryGroup group) const { return groups_[Index(group)].cursor; }

private:
    struct Group {
        std::array<std::array<double, 2 * kWindow>, kChannelCount> channels;
        std::size_t cursor;
    };

    static std::size_t Index(HistoryGroup group);

    std::array<Group, kGroupCount> groups_;
};

} // namespace orvanta::protocol
