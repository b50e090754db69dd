#pragma once

#include <cstdint>
#include <string>

namespace orvanta::devsim {

// The simulator's end of a pseudo-terminal pair: the master, plus a slave descriptor held
// open so the master never sees a hang-up while no host has the slave open. The optional
// link path is a symbolic link to the slave, replaced atomically and removed on Close.
// Owned by one thread.
class PtyDevice {
public:
    PtyDevice() = default;
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    // Opens a new pair in raw mode at baud; error holds a message on failure.
    bool Open(std::uint32_t baud, const std::string& linkPath, std::string& error);
    // Closes the master: the slave path vanishes and every host descriptor on it hangs up.
    void Close();

    bool isOpen() const { return m_master >= 0; }
    int master() const { return m_master; }
    const std::string& slavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_heldSlave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};

} // namespace orvanta::devsim
