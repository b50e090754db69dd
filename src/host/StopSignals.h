#pragma once

namespace orvanta::host {

// While an object lives, SIGINT, SIGTERM, SIGHUP and SIGQUIT ask the program to end through its
// normal close handling (recording written out, port settings restored) instead of killing it; a
// SIGHUP ignored when the object is made (nohup) stays ignored. The
// handler only sets a flag and, when given a file descriptor, writes to it (an eventfd an
// event loop watches). One object at a time; constructed and destroyed on the main thread;
// Requested may be called from any thread.
class StopSignals {
public:
    explicit StopSignals(int wakeFd = -1);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    static bool Requested();
};

} // namespace orvanta::host
