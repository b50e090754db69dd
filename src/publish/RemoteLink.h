#pragma once

#include "host/RemoteSource.h"
#include "publish/BrokerUrl.h"
#include "publish/DeviceTopics.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace orvanta::host {
struct HostOptions;
}

namespace orvanta::publish {

struct RemoteLinkOptions {
    BrokerUrl url; // the prefix before the device
    std::string device;
    std::string password; // never from a file or the command line
    std::string caFile;   // TLS: empty for the system's certificate store
    int languageFlag = 1; // 0 Chinese, 1 English: the language of the messages
};

// A remote device as what another Orvanta publishes for it: a subscriber to its "notes",
// "status" and "raw" topics. Device blocks go to the owner as received blocks stamped with
// the time the publisher read them; sent frames and notes go to the listener as a replay's
// do; the retained notes, which a joining subscriber gets first, put the publisher's
// settings in force before the first block. "offline" (or a lost broker) is the device's
// loss, "online" on a working connection its return. Messages that are not whole records
// are counted and skipped; the first of each run of them is reported.
//
// Threads: as a SerialLink's; libmosquitto's own thread runs the client and calls the
// owner, the listener and the reporter. BadMessages may be read from any thread.
class RemoteLink final : public host::RemoteSource {
public:
    RemoteLink(RemoteLinkOptions options, recording::ReplayListener& listener,
               serial::SerialErrorReporter& reporter);
    ~RemoteLink() override; // CloseLink()
    RemoteLink(const RemoteLink&) = delete;
    RemoteLink& operator=(const RemoteLink&) = delete;

    // Connects to the broker, subscribes and takes the retained notes (devicePath names the
    // device for the owner; baud and parity mean nothing here); false, with OpenError, when
    // the client cannot be set up or the broker cannot be reached or refuses.
    bool OpenLink(serial::SerialPortOwner* owner, const std::string& devicePath, std::uint32_t baud,
                  char parity) override;
    // Hands the retained notes to the listener's OnReplayStarting (none: not called), then
    // starts the client's thread.
    bool StartMonitor() override;
    // Commands do not go over the network: always false.
    bool QueueSend(const std::uint8_t* bytes, std::size_t length) override;
    // Ends the client's thread, running the owner's pending delivery while it waits.
    void CloseLink() override;
    serial::PortState State() const override { return m_state.load(); }
    std::string DevicePath() const override { return m_path; }
    bool TalksToDevice() const override { return false; }
    std::string OpenError() const override { return m_openError; }

    std::uint64_t BadMessages() const { return m_badMessages.load(); }

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnSubscribe(mosquitto*, void* self, int mid, int count, const int* granted);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
    void HandleMessage(const mosquitto_message& message);
    void HandleRaw(const std::uint8_t* payload, std::size_t length);
    void BadMessage(const std::string& topic);
    // The device is there when the broker is and the publisher has not said "offline".
    void UpdatePresence();
    std::string Say(const std::string& english, const std::string& chinese) const;

    const RemoteLinkOptions m_options;
    const DeviceTopics m_topics;
    recording::ReplayListener& m_listener;
    serial::SerialErrorReporter& m_reporter;
    serial::SerialPortOwner* m_owner = nullptr;
    mosquitto* m_client = nullptr;
    std::string m_path;
    std::string m_openError;
    bool m_looping = false;
    std::atomic<serial::PortState> m_state{serial::PortState::Closed};
    // Set before the thread is ended: callbacks then hand nothing on. m_inCallback counts
    // the callbacks under way, which may wait for the owner's thread.
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_inCallback{0};
    std::atomic<std::uint64_t> m_badMessages{0};

    // The owner's thread during OpenLink, then the client thread only.
    bool m_opening = false;
    bool m_subscribed = false;
    std::string m_refusal; // the broker's answer when it refused the connection
    recording::CaptureNote m_startNote;
    bool m_brokerUp = true;
    bool m_deviceOnline = true;
    bool m_present = true;
    bool m_refusalTold = false;
    bool m_inBadRun = false;
    std::vector<std::uint8_t> m_block;
};

// What the host is given to watch the remote device of options.
host::RemoteSourceFactory RemoteLinkFactory(RemoteLinkOptions options);

// Makes the host watch device under url instead of a port, the port list showing shownName;
// the password comes from the environment.
void WatchRemoteDevice(host::HostOptions& host, const BrokerUrl& url, const std::string& device,
                       const std::string& shownName, const std::string& caFile, int languageFlag);

} // namespace orvanta::publish
