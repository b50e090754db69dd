#pragma once

#include "host/Host.h"
#include "host/SessionObserver.h"
#include "publish/DeviceTopics.h"
#include "publish/Publisher.h"

#include <memory>
#include <string>
#include <string_view>

namespace orvanta::publish {

// Publishes what the host runs: each decoded frame on "values", each capture record on
// "raw", the notes in force retained on "notes", and the link's state retained on "status"
// once a second. The client's messages are shown through the host's UI at the rate tick.
//
// Threads: the owner's (the host's main) thread; the client runs on its own.
class SessionPublisher final : public host::SessionObserver {
public:
    // device: the name given by the user or serial::ShortPortName's; made safe here.
    SessionPublisher(host::Host& host, host::HostUi& ui, PublisherOptions options,
                     std::string_view device);
    ~SessionPublisher(); // Stop()
    SessionPublisher(const SessionPublisher&) = delete;
    SessionPublisher& operator=(const SessionPublisher&) = delete;

    // Starts the client and follows the host from now on; false, with error, when the client
    // cannot be set up.
    bool Start(std::string& error);
    // Says "offline", sends what is queued (briefly), stops following the host.
    void Stop();
    bool Running() const { return m_running; }

    const DeviceTopics& Topics() const { return m_topics; }
    const Publisher& Client() const { return *m_client; }

    // SessionObserver
    void MirrorRecord(recording::CaptureDirection direction, const std::uint8_t* bytes,
                      std::size_t length, std::int64_t timeNs) override;
    void DataFrameDecoded(const protocol::FrameReceiver::DataFrame& frame,
                          const protocol::ArrivalTime& arrival) override;
    void RateTick() override;

private:
    std::string StatusJson(bool online) const;
    void ShowMessages();

    host::Host& m_host;
    host::HostUi& m_ui;
    DeviceTopics m_topics;
    std::unique_ptr<Publisher> m_client;
    recording::CaptureNote m_notes; // in force
    bool m_running = false;
};

} // namespace orvanta::publish
