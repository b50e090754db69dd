#include "protocol/WaveformHistory.h"

#include <algorithm>

namespace orvanta::protocol {

std::size_t WaveformHistory::Index(HistoryGroup group) {
    const int index = static_cast<int>(group);
    return static_cast<std::size_t>(std::clamp(index, 0, kGroupCount - 1));
}

void WaveformHistory::Reset() {
    for (Group& group : groups_) {
        for (auto& channel : group.channels) {
            channel.fill(0.0);
        }
        group.cursor = 0;
    }
}

void WaveformHistory::AppendTriple(HistoryGroup which, double first, double second, double third) {
    Group& group = groups_[Index(which)];
    const double values[kChannelCount] = {first, second, third};
    for (int c = 0; c < kChannelCount; ++c) {
        group.channels[c][group.cursor + kWindow] = values[c];
    }
    ++group.cursor;
    if (group.cursor == kWindow) {
        for (auto& channel : group.channels) {
            std::copy(channel.begin() + kWindow, channel.end(), channel.begin());
        }
        group.cursor = 0;
    }
}

std::span<const double, WaveformHistory::kWindow> WaveformHistory::Window(HistoryGroup which,
                                                                          int channel) const {
    const Group& group = groups_[Index(which)];
    const auto& values =
        group.channels[static_cast<std::size_t>(std::clamp(channel, 0, kChannelCount - 1))];
    return std::span<const double, kWindow>(values.data() + group.cursor, kWindow);
}

} // namespace orvanta::protocol
