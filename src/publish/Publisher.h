#pragma once

#include "publish/BrokerUrl.h"
#include "serial/EventFd.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct mosquitto;

namespace orvanta::publish {

struct PublisherOptions {
    BrokerUrl url;
    std::string password; // never from a file or the command line
    std::string caFile;   // TLS: empty for the system's certificate store
    int qos = 0;
    std::string willTopic; // gets OfflineWillJson() retained when the client vanishes
    int languageFlag = 1;  // 0 Chinese, 1 English: the language of the messages
    // What waits for the broker; beyond it new messages are dropped.
    std::size_t queueMessages = 8192;
    std::size_t queueBytes = 8u << 20;
    // Messages handed to the client library and not yet written; the rest waits here.
    std::size_t libraryBacklog = 256;
    std::chrono::milliseconds backoffMin{500};
    std::chrono::milliseconds backoffMax{8000};
};

// An MQTT client on its own thread: whoever publishes only queues, so a slow, unreachable or
// restarted broker never holds up the caller. The queue is bounded; what does not fit is
// dropped and counted, and each run of drops is said once. The client connects, and after a
// loss reconnects, with a doubling back-off, and says when it is connected (again); a broker
// that cannot be reached at the start is said once. Retained messages are kept apart, the
// latest per topic, and sent again on every connect, so a broker that restarted has them.
//
// Threads: Start, Stop and the destructor belong to the owner's thread; Publish, Retain,
// TakeMessages and the counters may be called from any thread; libmosquitto runs only on
// the publisher's thread.
class Publisher {
public:
    explicit Publisher(PublisherOptions options);
    ~Publisher(); // Stop()
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Sets the client up and starts its thread; false, with error, when the client cannot be
    // set up (a CA file that cannot be read, no memory). An unreachable broker is not an
    // error here: it is said through TakeMessages and tried again.
    bool Start(std::string& error);
    // Sends what is queued for up to flushTime while connected, then disconnects cleanly
    // (the will is not sent) and ends the thread.
    void Stop(std::chrono::milliseconds flushTime = std::chrono::milliseconds(1000));

    // Queues a message; false when it was dropped.
    bool Publish(std::string_view topic, std::string payload);
    // The topic's retained message from now on; never dropped.
    void Retain(std::string_view topic, std::string payload);

    // Texts for the user (connected, lost, dropping), oldest first, since the last take.
    std::vector<std::string> TakeMessages();

    bool Connected() const { return m_connected.load(); }
    std::uint64_t Dropped() const { return m_dropped.load(); }
    std::uint64_t Sent() const { return m_sent.load(); }
    // Connections made so far (the first one included).
    std::uint64_t Connections() const { return m_connections.load(); }

private:
    struct Message {
        std::string topic;
        std::string payload;
    };

    void Run();
    void SendWaiting();
    void Tell(const std::string& english, const std::string& chinese);
    void Wake();

    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);

    const PublisherOptions m_options;
    mosquitto* m_client = nullptr;
    serial::EventFd m_wake;
    std::thread m_thread;

    std::mutex m_mutex; // guards m_queue, m_queuedBytes, m_retained, m_stopping, m_inDropRun,
                        // m_messages
    std::deque<Message> m_queue;
    std::size_t m_queuedBytes = 0;
    std::map<std::string, std::string, std::less<>> m_retained;
    std::vector<std::string> m_retainedDirty;
    bool m_stopping = false;
    bool m_inDropRun = false;
    std::vector<std::string> m_messages;
    std::chrono::steady_clock::time_point m_flushDeadline;

    // Publisher thread only.
    std::size_t m_inLibrary = 0;
    bool m_everConnected = false;
    bool m_lostTold = false;

    // The thread waits long and is to be woken by the next message.
    std::atomic<bool> m_idle{false};
    std::atomic<bool> m_connected{false};
    std::atomic<std::uint64_t> m_dropped{0};
    std::atomic<std::uint64_t> m_sent{0};
    std::atomic<std::uint64_t> m_connections{0};
};

} // namespace orvanta::publish
