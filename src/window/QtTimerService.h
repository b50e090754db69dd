#pragma once

#include "host/HostUi.h"

#include <QBasicTimer>
#include <QObject>
#include <QTimerEvent>
#include <functional>
#include <map>

namespace orvanta::window {

// The main window's timers, keyed by their fixed ids, on the Qt event loop. GUI thread
// only.
class QtTimerService : public QObject, public host::TimerService {
public:
    explicit QtTimerService(std::function<void(int)> onTimer) : m_onTimer(std::move(onTimer)) {}

    void StartTimer(int id, int milliseconds) override { m_timers[id].start(milliseconds, this); }
    void KillTimer(int id) override {
        const auto it = m_timers.find(id);
        if (it != m_timers.end()) {
            it->second.stop();
        }
    }
    bool Running(int id) const {
        const auto it = m_timers.find(id);
        return it != m_timers.end() && it->second.isActive();
    }

protected:
    void timerEvent(QTimerEvent* event) override {
        for (auto& [id, timer] : m_timers) {
            if (timer.timerId() == event->timerId()) {
                m_onTimer(id);
                return;
            }
        }
    }

private:
    std::function<void(int)> m_onTimer;
    std::map<int, QBasicTimer> m_timers;
};

} // namespace orvanta::window
