#pragma once

#include "config/ConfigFile.h"
#include "config/ConfigValues.h"
#include "host/Host.h"
#include "publish/SessionPublisher.h"

#include <memory>
#include <string>
#include <string_view>

namespace orvanta::publish {

// The window's publishing: on while the user's switch says so, it publishes the session
// from the link's opening (a port, or a capture that plays) to its closing. The settings
// live in the configuration file; the password only here, for the run.
//
// Threads: the host's main thread.
class LinkPublishing {
public:
    struct Options {
        std::filesystem::path configPath;
        std::string sysfsRoot = "/sys"; // where the port's short name is looked up
        std::string deviceDir = "/dev";
        std::string password; // from the environment, or empty
    };

    // Reads the settings; nothing starts before the link opens.
    LinkPublishing(host::Host& host, host::HostUi& ui, Options options);
    ~LinkPublishing(); // stops publishing before the host goes

    const config::PublishSettings& Settings() const { return m_settings; }
    const std::string& Password() const { return m_password; }
    // Stores the settings (never the password) and starts, restarts or stops publishing
    // to follow them.
    void Apply(const config::PublishSettings& settings, std::string password);

    // The link opened on path, or closed (empty).
    void LinkChanged(std::string_view path);

    // The name the device gets when none is given: the open port's short name; empty while
    // no port is open.
    std::string DefaultDevice() const;
    // Null while not publishing.
    const SessionPublisher* Publishing() const { return m_publisher.get(); }

private:
    void Start();
    void Stop();

    host::Host& m_host;
    host::HostUi& m_ui;
    Options m_options;
    config::ConfigFile m_config;
    config::PublishSettings m_settings;
    std::string m_password;
    std::string m_openPath; // empty: the link is closed
    std::unique_ptr<SessionPublisher> m_publisher;
};

} // namespace orvanta::publish
