#pragma once

#include "support/TempDir.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

// The real Mosquitto broker for tests: a configuration written into a temporary folder,
// `mosquitto -c FILE` listening on 127.0.0.1 on a port that was free, stopped with SIGTERM.
// It can be stopped and started again on the same port, as a restarted broker is.
namespace orvanta::testing {

// Files for a TLS listener: the CA that signed the broker's certificate, for the client.
struct BrokerTls {
    std::filesystem::path caFile, certFile, keyFile;
};

// A port nobody listens on now (the kernel's choice for an ephemeral bind).
inline int FreeLocalPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

inline bool AcceptsConnections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

class MosquittoBroker {
public:
    explicit MosquittoBroker(const BrokerTls* tls = nullptr) : m_port(FreeLocalPort()) {
        std::string config = "listener " + std::to_string(m_port) +
                             " 127.0.0.1\n"
                             "allow_anonymous true\npersistence false\n"
                             "log_dest file " +
                             (m_folder.path() / "broker.log").string() + "\n";
        if (::geteuid() == 0) {
            config += "user root\n"; // root would otherwise become "mosquitto", which may not
                                     // read this folder
        }
        if (tls != nullptr) {
            config += "cafile " + tls->caFile.string() + "\ncertfile " + tls->certFile.string() +
                      "\nkeyfile " + tls->keyFile.string() + "\n";
        }
        m_config = m_folder.path() / "mosquitto.conf";
        WriteFile(m_config, config);
    }
    ~MosquittoBroker() { Stop(); }
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Starts the broker and waits until it listens; false when it did not within 10 s.
    bool Start() {
        if (m_pid > 0) {
            return true;
        }
        const std::string config = m_config.string();
        char* argv[] = {const_cast<char*>("mosquitto"), const_cast<char*>("-c"),
                        const_cast<char*>(config.c_str()), nullptr};
        // Its complaint about running as root comes before its log is open.
        const std::string output = (m_folder.path() / "broker.out").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        // Debian puts the broker in /usr/sbin, which a user's PATH often lacks.
        constexpr const char* kInstalled = "/usr/sbin/mosquitto";
        const int spawned =
            ::access(kInstalled, X_OK) == 0
                ? ::posix_spawn(&m_pid, kInstalled, &actions, nullptr, argv, environ)
                : ::posix_spawnp(&m_pid, "mosquitto", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            m_pid = -1;
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (AcceptsConnections(m_port)) {
                return true;
            }
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1; // it ended: the port was taken meanwhile, or the configuration
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void Stop() {
        if (m_pid <= 0) {
            return;
        }
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

    int Port() const { return m_port; }
    std::string Url(const std::string& prefix, bool tls = false) const {
        return std::string(tls ? "mqtts" : "mqtt") + "://127.0.0.1:" + std::to_string(m_port) +
               "/" + prefix;
    }
    std::string Log() const { return ReadFile(m_folder.path() / "broker.log"); }

private:
    TempDir m_folder;
    int m_port;
    std::filesystem::path m_config;
    pid_t m_pid = -1;
};

} // namespace orvanta::testing
