#pragma once

#include "devsim/PtyDevice.h"

#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

// A pseudo-terminal for tests that play the device on the master while the code under test
// opens the slave's path: the simulator's own pair (raw, slave held open), with the bytes
// read and written by hand.
namespace orvanta::testing {

class PtyPair {
public:
    PtyPair() {
        std::string error;
        (void)m_device.Open(115200, "", error);
    }

    bool ok() const { return m_device.isOpen(); }
    int master() const { return m_device.master(); }
    // The slave's path (/dev/pts/N).
    const std::string& path() const { return m_device.slavePath(); }
    // Everything written to the slave so far.
    std::string Drain() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master(), buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            m_received.append(buffer, static_cast<std::size_t>(n));
        }
        return m_received;
    }
    void Write(const std::vector<std::uint8_t>& bytes) {
        (void)!::write(master(), bytes.data(), bytes.size());
    }

private:
    devsim::PtyDevice m_device;
    std::string m_received;
};

} // namespace orvanta::testing
