#include "publish/Publisher.h"

#include "publish/ValuesMessage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <poll.h>
#include <utility>

namespace orvanta::publish {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kIdleWaitMs = 1000; // keep-alive and reconnect checks happen at least this often
// While messages come, they are sent in batches this far apart: a wake-up per frame would
// cost the publisher, and the caller, more than the sending.
constexpr int kBatchMs = 20;

std::string ErrorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) {
        return std::strerror(errno);
    }
    return mosquitto_strerror(rc);
}

std::string ConnackText(int rc) {
    return mosquitto_connack_string(rc);
}

} // namespace

Publisher::Publisher(PublisherOptions options) : m_options(std::move(options)) {
    mosquitto_lib_init();
}

Publisher::~Publisher() {
    Stop(std::chrono::milliseconds(0));
    if (m_client != nullptr) {
        mosquitto_destroy(m_client);
    }
    mosquitto_lib_cleanup();
}

bool Publisher::Start(std::string& error) {
    if (m_thread.joinable()) {
        return true;
    }
    if (!m_wake.valid() && !m_wake.Create()) {
        error = std::strerror(errno);
        return false;
    }
    if (m_client != nullptr) {
        mosquitto_destroy(m_client);
    }
    m_client = mosquitto_new(nullptr, true, this);
    if (m_client == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    const auto check = [&error](int rc, const char* what) {
        if (rc != MOSQ_ERR_SUCCESS) {
            error = std::string(what) + ": " + ErrorText(rc);
            return false;
        }
        return true;
    };
    const BrokerUrl& url = m_options.url;
    if (!url.user.empty() &&
        !check(mosquitto_username_pw_set(m_client, url.user.c_str(),
                                         m_options.password.empty() ? nullptr
                                                                    : m_options.password.c_str()),
               "user")) {
        return false;
    }
    if (url.tls) {
        if (!m_options.caFile.empty()) {
            if (!check(mosquitto_tls_set(m_client, m_options.caFile.c_str(), nullptr, nullptr,
                                         nullptr, nullptr),
                       m_options.caFile.c_str())) {
                return false;
            }
        } else if (!check(mosquitto_int_option(m_client, MOSQ_OPT_TLS_USE_OS_CERTS, 1), "TLS")) {
            return false;
        }
    }
    if (!m_options.willTopic.empty()) {
        const std::string will = OfflineWillJson();
        if (!check(mosquitto_will_set(m_client, m_options.willTopic.c_str(),
                                      static_cast<int>(will.size()), will.data(), 1, true),
                   "will")) {
            return false;
        }
    }
    mosquitto_connect_callback_set(m_client, &Publisher::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &Publisher::OnDisconnect);
    mosquitto_publish_callback_set(m_client, &Publisher::OnPublish);
    m_stopping = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void Publisher::Stop(std::chrono::milliseconds flushTime) {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_flushDeadline = std::chrono::steady_clock::now() + flushTime;
    }
    Wake();
    m_thread.join();
}

void Publisher::Wake() {
    if (m_wake.valid()) {
        m_wake.Signal();
    }
}

bool Publisher::Publish(std::string_view topic, std::string payload) {
    const std::size_t size = topic.size() + payload.size();
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.size() >= m_options.queueMessages ||
            m_queuedBytes + size > m_options.queueBytes) {
            ++m_dropped;
            if (!m_inDropRun) {
                m_inDropRun = true;
                const std::string broker = m_options.url.Endpoint();
                m_messages.push_back(
                    m_options.languageFlag == 1
                        ? "MQTT: the broker " + broker +
                              " does not take the messages as fast as they come; messages are "
                              "dropped until it catches up."
                        : "MQTT：代理服务器 " + broker +
                              " 接收消息跟不上，在其赶上之前消息将被丢弃。");
            }
            return false;
        }
        m_inDropRun = false;
        m_queuedBytes += size;
        m_queue.push_back({std::string(topic), std::move(payload)});
    }
    if (m_idle.exchange(false)) {
        Wake();
    }
    return true;
}

void Publisher::Retain(std::string_view topic, std::string payload) {
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_retained.find(topic);
        if (found != m_retained.end()) {
            found->second = std::move(payload);
        } else {
            m_retained.emplace(std::string(topic), std::move(payload));
        }
        if (std::find(m_retainedDirty.begin(), m_retainedDirty.end(), topic) ==
            m_retainedDirty.end()) {
            m_retainedDirty.emplace_back(topic);
        }
    }
    if (m_idle.exchange(false)) {
        Wake();
    }
}

std::vector<std::string> Publisher::TakeMessages() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_messages, {});
}

void Publisher::Tell(const std::string& english, const std::string& chinese) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(m_options.languageFlag == 1 ? english : chinese);
}

void Publisher::OnConnect(mosquitto*, void* self, int rc) {
    auto& publisher = *static_cast<Publisher*>(self);
    const std::string broker = publisher.m_options.url.Endpoint();
    if (rc != 0) {
        // Refused (a wrong password, say): the loop sees the disconnect and tries again.
        if (!publisher.m_lostTold) {
            publisher.m_lostTold = true;
            publisher.Tell("MQTT: the broker " + broker + " refused the connection: " +
                               ConnackText(rc) + ". Publishing keeps trying.",
                           "MQTT：代理服务器 " + broker + " 拒绝连接：" + ConnackText(rc) +
                               "。将继续尝试发布。");
        }
        return;
    }
    publisher.m_connected = true;
    ++publisher.m_connections;
    publisher.m_inLibrary = 0;
    {
        std::lock_guard lock(publisher.m_mutex);
        publisher.m_retainedDirty.clear();
        for (const auto& entry : publisher.m_retained) {
            publisher.m_retainedDirty.push_back(entry.first);
        }
    }
    if (publisher.m_lostTold || !publisher.m_everConnected) {
        const bool again = publisher.m_everConnected;
        publisher.Tell(again ? "MQTT: connected again to " + broker + "."
                             : "MQTT: connected to " + broker + ".",
                       again ? "MQTT：已重新连接到 " + broker + "。"
                             : "MQTT：已连接到 " + broker + "。");
    }
    publisher.m_everConnected = true;
    publisher.m_lostTold = false;
}

void Publisher::OnDisconnect(mosquitto*, void* self, int) {
    static_cast<Publisher*>(self)->m_connected = false;
}

void Publisher::OnPublish(mosquitto*, void* self, int) {
    auto& publisher = *static_cast<Publisher*>(self);
    if (publisher.m_inLibrary > 0) {
        --publisher.m_inLibrary;
    }
    ++publisher.m_sent;
}

void Publisher::SendWaiting() {
    const int qos = m_options.qos;
    // Retained ones first: a viewer decodes the raw blocks by the notes.
    std::vector<Message> batch;
    {
        std::lock_guard lock(m_mutex);
        for (const std::string& topic : m_retainedDirty) {
            batch.push_back({topic, m_retained.find(topic)->second});
        }
        m_retainedDirty.clear();
    }
    for (const Message& message : batch) {
        mosquitto_publish(m_client, nullptr, message.topic.c_str(),
                          static_cast<int>(message.payload.size()), message.payload.data(), 1,
                          true);
    }
    while (m_connected && m_inLibrary < m_options.libraryBacklog) {
        Message message;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) {
                return;
            }
            message = std::move(m_queue.front());
            m_queue.pop_front();
            m_queuedBytes -= message.topic.size() + message.payload.size();
        }
        const int rc = mosquitto_publish(m_client, nullptr, message.topic.c_str(),
                                         static_cast<int>(message.payload.size()),
                                         message.payload.data(), qos, false);
        if (rc == MOSQ_ERR_SUCCESS) {
            ++m_inLibrary;
        } else {
            ++m_dropped; // too large for the broker, or the connection just went
        }
    }
}

void Publisher::Run() {
    using Clock = std::chrono::steady_clock;
    const BrokerUrl& url = m_options.url;
    std::chrono::milliseconds backoff = m_options.backoffMin;
    Clock::time_point nextAttempt = Clock::now();
    bool socketUp = false;
    bool disconnecting = false;
    bool unreachableTold = false;
    for (;;) {
        bool stopping = false;
        Clock::time_point deadline;
        {
            std::lock_guard lock(m_mutex);
            stopping = m_stopping;
            deadline = m_flushDeadline;
        }
        const Clock::time_point now = Clock::now();
        if (stopping) {
            bool drained = false;
            {
                std::lock_guard lock(m_mutex);
                drained = m_queue.empty() && m_retainedDirty.empty() && m_inLibrary == 0;
            }
            if (!socketUp || (!m_connected && !disconnecting) || now >= deadline) {
                break;
            }
            if (drained && !disconnecting) {
                disconnecting = true;
                mosquitto_disconnect(m_client);
            }
        }
        if (!socketUp && !stopping && now >= nextAttempt) {
            const int rc =
                mosquitto_connect_async(m_client, url.host.c_str(), url.port, kKeepAliveSeconds);
            if (rc == MOSQ_ERR_SUCCESS) {
                socketUp = true;
            } else {
                if (!m_everConnected && !unreachableTold) {
                    unreachableTold = true;
                    Tell("MQTT: cannot reach the broker " + url.Endpoint() + " (" + ErrorText(rc) +
                             "); publishing keeps trying, recording goes on.",
                         "MQTT：无法连接代理服务器 " + url.Endpoint() + "（" + ErrorText(rc) +
                             "）；将继续尝试发布，记录照常进行。");
                }
                nextAttempt = now + backoff;
                backoff = std::min(backoff * 2, m_options.backoffMax);
            }
        }
        if (socketUp && m_connected && !disconnecting) {
            SendWaiting();
        }

        pollfd fds[2] = {{m_wake.fd(), POLLIN, 0}, {-1, 0, 0}};
        int count = 1;
        const int socket = socketUp ? mosquitto_socket(m_client) : -1;
        if (socket >= 0) {
            fds[1] = {socket,
                      static_cast<short>(POLLIN | (mosquitto_want_write(m_client) ? POLLOUT : 0)),
                      0};
            count = 2;
        }
        int waitMs = kIdleWaitMs;
        if (!socketUp && !stopping) {
            waitMs = static_cast<int>(std::clamp<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt - Clock::now())
                    .count(),
                0, kIdleWaitMs));
        } else if (stopping) {
            waitMs = kBatchMs;
        } else {
            // Idle first, then look: a message queued after the look finds the flag and wakes.
            m_idle = true;
            bool waiting = false;
            {
                std::lock_guard lock(m_mutex);
                waiting = !m_queue.empty() || !m_retainedDirty.empty();
            }
            if (waiting && m_connected) {
                m_idle = false;
                waitMs = kBatchMs;
            }
        }
        const int ready = ::poll(fds, static_cast<nfds_t>(count), waitMs);
        if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
            m_wake.Reset();
        }
        if (!socketUp) {
            continue;
        }
        const int rc = mosquitto_loop(m_client, 0, 1);
        if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(m_client) < 0) {
            socketUp = false;
            m_connected = false;
            if (disconnecting) {
                break;
            }
            if (m_everConnected && !m_lostTold) {
                m_lostTold = true;
                Tell("MQTT: the connection to " + url.Endpoint() + " was lost (" + ErrorText(rc) +
                         "); reconnecting.",
                     "MQTT：与 " + url.Endpoint() + " 的连接已断开（" + ErrorText(rc) +
                         "）；正在重新连接。");
            } else if (!m_everConnected && !unreachableTold) {
                unreachableTold = true;
                Tell("MQTT: cannot reach the broker " + url.Endpoint() + " (" + ErrorText(rc) +
                         "); publishing keeps trying, recording goes on.",
                     "MQTT：无法连接代理服务器 " + url.Endpoint() + "（" + ErrorText(rc) +
                         "）；将继续尝试发布，记录照常进行。");
            }
            nextAttempt = Clock::now() + backoff;
            backoff = std::min(backoff * 2, m_options.backoffMax);
        } else if (m_connected) {
            backoff = m_options.backoffMin;
        }
    }
    if (socketUp) {
        mosquitto_disconnect(m_client);
        mosquitto_loop(m_client, 0, 1);
    }
    m_connected = false;
}

} // namespace orvanta::publish
