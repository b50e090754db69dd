#include "publish/RemoteLink.h"

#include "host/Host.h"
#include "publish/MqttClientSetup.h"
#include "publish/RawRecord.h"
#include "publish/ValuesMessage.h"

#include <chrono>
#include <ctime>
#include <memory>
#include <mosquitto.h>
#include <span>
#include <string_view>
#include <thread>

namespace orvanta::publish {

namespace {

constexpr int kKeepAliveSeconds = 10; // a broker that vanishes is noticed within ~15 s
constexpr unsigned kReconnectMinSeconds = 1;
constexpr unsigned kReconnectMaxSeconds = 4;
// How long the open waits for the subscriptions, then for the retained notes after them.
constexpr auto kSubscribeWait = std::chrono::seconds(5);
constexpr auto kRetainedWait = std::chrono::milliseconds(300);

std::int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

host::RemoteSourceFactory RemoteLinkFactory(RemoteLinkOptions options) {
    return [options = std::move(options)](recording::ReplayListener& listener,
                                          serial::SerialErrorReporter& reporter) {
        return std::make_unique<RemoteLink>(options, listener, reporter);
    };
}

RemoteLink::RemoteLink(RemoteLinkOptions options, recording::ReplayListener& listener,
                       serial::SerialErrorReporter& reporter)
    : m_options(std::move(options)),
      m_topics(TopicsFor(m_options.url.prefix, SafeTopicLevel(m_options.device))),
      m_listener(listener), m_reporter(reporter) {
    mosquitto_lib_init();
}

RemoteLink::~RemoteLink() {
    CloseLink();
    mosquitto_lib_cleanup();
}

std::string RemoteLink::Say(const std::string& english, const std::string& chinese) const {
    return m_options.languageFlag == 1 ? english : chinese;
}

bool RemoteLink::OpenLink(serial::SerialPortOwner* owner, const std::string& devicePath,
                          std::uint32_t, char) {
    CloseLink();
    m_openError.clear();
    const std::string broker = m_options.url.Endpoint();
    m_client = mosquitto_new(nullptr, true, this);
    std::string error;
    if (m_client == nullptr ||
        !SetUpClient(m_client, m_options.url, m_options.password, m_options.caFile, error)) {
        m_openError =
            Say("MQTT: the client cannot be set up: " + error, "MQTT：无法建立客户端：" + error);
        CloseLink();
        return false;
    }
    mosquitto_connect_callback_set(m_client, &RemoteLink::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &RemoteLink::OnDisconnect);
    mosquitto_message_callback_set(m_client, &RemoteLink::OnMessage);
    mosquitto_subscribe_callback_set(m_client, &RemoteLink::OnSubscribe);
    mosquitto_reconnect_delay_set(m_client, kReconnectMinSeconds, kReconnectMaxSeconds, true);
    const int rc = mosquitto_connect(m_client, m_options.url.host.c_str(), m_options.url.port,
                                     kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        m_openError = Say("MQTT: cannot reach the broker " + broker + " (" + MqttErrorText(rc) +
                              ") to watch " + devicePath + ".",
                          "MQTT：无法连接代理服务器 " + broker + "（" + MqttErrorText(rc) +
                              "），无法查看 " + devicePath + "。");
        CloseLink();
        return false;
    }
    m_owner = owner;
    m_path = devicePath;
    m_brokerUp = m_deviceOnline = m_present = true;
    m_refusalTold = m_inBadRun = false;
    // The retained notes, as a capture's first note, are put in force before the first block:
    // wait for the subscriptions and what the broker keeps for them.
    m_opening = true;
    m_stopping = false; // a link closed before is open again: its callbacks count
    m_subscribed = false;
    m_startNote.clear();
    auto deadline = std::chrono::steady_clock::now() + kSubscribeWait;
    bool subscribed = false;
    m_refusal.clear();
    while (std::chrono::steady_clock::now() < deadline && m_startNote.empty() &&
           m_refusal.empty()) {
        const int looped = mosquitto_loop(m_client, 50, 1);
        if (looped != MOSQ_ERR_SUCCESS && looped != MOSQ_ERR_NO_CONN) {
            break;
        }
        if (m_subscribed && !subscribed) {
            subscribed = true;
            deadline = std::chrono::steady_clock::now() + kRetainedWait;
        }
    }
    m_opening = false;
    if (!m_refusal.empty()) {
        m_openError =
            Say("MQTT: the broker " + broker + " refused the connection: " + m_refusal + ".",
                "MQTT：代理服务器 " + broker + " 拒绝连接：" + m_refusal + "。");
        CloseLink();
        return false;
    }
    if (!subscribed) {
        m_openError = Say("MQTT: the broker " + broker + " did not take the subscription to " +
                              m_topics.raw + ".",
                          "MQTT：代理服务器 " + broker + " 未接受对 " + m_topics.raw + " 的订阅。");
        CloseLink();
        return false;
    }
    m_state = serial::PortState::Open;
    return true;
}

bool RemoteLink::StartMonitor() {
    if (m_client == nullptr || m_looping) {
        return false;
    }
    m_stopping = false;
    if (!m_startNote.empty()) {
        m_listener.OnReplayStarting(m_startNote);
    }
    UpdatePresence(); // the retained status may have said offline
    if (mosquitto_loop_start(m_client) != MOSQ_ERR_SUCCESS) {
        return false;
    }
    m_looping = true;
    m_state = serial::PortState::Monitoring;
    return true;
}

bool RemoteLink::QueueSend(const std::uint8_t*, std::size_t) {
    return false;
}

void RemoteLink::CloseLink() {
    if (m_client == nullptr) {
        return;
    }
    m_stopping = true;
    // A callback may be waiting for a delivery only the owner's thread can run.
    while (m_inCallback.load() > 0) {
        m_owner->DispatchPendingDelivery();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    mosquitto_disconnect(m_client);
    if (m_looping) {
        mosquitto_loop_stop(m_client, false);
        m_looping = false;
    }
    mosquitto_destroy(m_client);
    m_client = nullptr;
    m_state = serial::PortState::Closed;
}

void RemoteLink::OnConnect(mosquitto* client, void* self, int rc) {
    auto& link = *static_cast<RemoteLink*>(self);
    ++link.m_inCallback;
    if (rc != 0 && link.m_opening) {
        link.m_refusal = mosquitto_connack_string(rc);
    } else if (rc != 0) {
        // Refused (a wrong password, say): the library tries again, the device stays lost.
        if (!link.m_refusalTold && !link.m_stopping) {
            link.m_refusalTold = true;
            const std::string broker = link.m_options.url.Endpoint();
            link.m_reporter.Report(
                "Message", link.Say("MQTT: the broker " + broker + " refused the connection: " +
                                        mosquitto_connack_string(rc) + ".",
                                    "MQTT：代理服务器 " + broker + " 拒绝连接：" +
                                        mosquitto_connack_string(rc) + "。"));
        }
    } else {
        link.m_refusalTold = false;
        // Notes first: their retained message arrives before the first raw block.
        char* topics[] = {const_cast<char*>(link.m_topics.notes.c_str()),
                          const_cast<char*>(link.m_topics.status.c_str()),
                          const_cast<char*>(link.m_topics.raw.c_str())};
        mosquitto_subscribe_multiple(client, nullptr, 3, topics, 1, 0, nullptr);
        link.m_brokerUp = true;
        link.UpdatePresence();
    }
    --link.m_inCallback;
}

void RemoteLink::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
    static_cast<RemoteLink*>(self)->m_subscribed = true;
}

void RemoteLink::OnDisconnect(mosquitto*, void* self, int) {
    auto& link = *static_cast<RemoteLink*>(self);
    ++link.m_inCallback;
    link.m_brokerUp = false;
    link.UpdatePresence();
    --link.m_inCallback;
}

void RemoteLink::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto& link = *static_cast<RemoteLink*>(self);
    ++link.m_inCallback;
    if (!link.m_stopping && message != nullptr && message->topic != nullptr) {
        link.HandleMessage(*message);
    }
    --link.m_inCallback;
}

void RemoteLink::HandleMessage(const mosquitto_message& message) {
    const std::string_view topic(message.topic);
    const auto* payload = static_cast<const std::uint8_t*>(message.payload);
    const auto length = static_cast<std::size_t>(message.payloadlen > 0 ? message.payloadlen : 0);
    if (topic == m_topics.raw) {
        if (!m_opening) { // blocks before the watch starts are not shown
            HandleRaw(payload, length);
        }
    } else if (topic == m_topics.notes) {
        // Only the retained copy a new subscription gets: later notes come in the raw
        // topic, in their place among the blocks.
        if (message.retain && length > 0 && m_opening) {
            m_startNote = recording::ParseCaptureNote(
                std::string_view(reinterpret_cast<const char*>(payload), length));
        } else if (message.retain && length > 0) {
            m_listener.OnCapturedNote(recording::ParseCaptureNote(
                std::string_view(reinterpret_cast<const char*>(payload), length)));
        }
    } else if (topic == m_topics.status) {
        const auto online =
            StatusSaysOnline(std::string_view(reinterpret_cast<const char*>(payload), length));
        if (!online) {
            BadMessage(m_topics.status);
            return;
        }
        m_deviceOnline = *online;
        UpdatePresence();
    }
}

void RemoteLink::HandleRaw(const std::uint8_t* payload, std::size_t length) {
    const auto record = ParseRawRecord(std::span(payload, length));
    if (!record) {
        BadMessage(m_topics.raw);
        return;
    }
    m_inBadRun = false;
    switch (record->direction) {
    case recording::CaptureDirection::DeviceToHost: {
        if (record->bytes.empty()) {
            return;
        }
        // The port's blocks carry a zero byte behind the last one.
        m_block.assign(record->bytes.begin(), record->bytes.end());
        m_block.push_back(0);
        m_owner->OnSerialBytes(
            m_block.data(),
            serial::SerialBlockInfo{m_path, static_cast<std::uint32_t>(record->bytes.size()),
                                    record->timeNs, MonotonicNs()});
        break;
    }
    case recording::CaptureDirection::HostToDevice:
        m_listener.OnCapturedSend(record->bytes.data(), record->bytes.size());
        break;
    case recording::CaptureDirection::Note:
        m_listener.OnCapturedNote(recording::ParseCaptureNote(std::string_view(
            reinterpret_cast<const char*>(record->bytes.data()), record->bytes.size())));
        break;
    }
}

void RemoteLink::BadMessage(const std::string& topic) {
    ++m_badMessages;
    if (m_inBadRun) {
        return;
    }
    m_inBadRun = true;
    m_reporter.Report("Message",
                      Say("MQTT: a damaged message on " + topic +
                              " was skipped; damaged ones after it are skipped too.",
                          "MQTT：已跳过 " + topic + " 上的一条损坏消息；之后的损坏消息也将跳过。"));
}

void RemoteLink::UpdatePresence() {
    const bool present = m_brokerUp && m_deviceOnline;
    if (present == m_present || m_stopping || m_opening) {
        return;
    }
    m_present = present;
    if (present) {
        m_owner->OnDeviceBack(m_path);
    } else {
        m_owner->OnDeviceLost(m_path);
    }
}

void WatchRemoteDevice(host::HostOptions& host, const BrokerUrl& url, const std::string& device,
                       const std::string& shownName, const std::string& caFile, int languageFlag) {
    RemoteLinkOptions remote;
    remote.url = url;
    remote.device = device;
    remote.password = PasswordFromEnvironment();
    remote.caFile = caFile;
    remote.languageFlag = languageFlag;
    host.remoteSource = RemoteLinkFactory(std::move(remote));
    host.remoteName = shownName;
}

} // namespace orvanta::publish
