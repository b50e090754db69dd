#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mosquitto.h>
#include <mutex>
#include <string>
#include <vector>

// A subscriber on its own libmosquitto thread that keeps every message it gets, by topic,
// for tests and benchmarks to count and read.
namespace orvanta::testing {

struct ReceivedMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

class MqttSubscriber {
public:
    // Subscribes to pattern at 127.0.0.1:port; tls with the CA file when caFile is given.
    MqttSubscriber(int port, std::string pattern, int qos = 0) : m_pattern(std::move(pattern)) {
        mosquitto_lib_init();
        m_client = mosquitto_new(nullptr, true, this);
        m_qos = qos;
        mosquitto_connect_callback_set(m_client, [](mosquitto* client, void* self, int rc) {
            auto& me = *static_cast<MqttSubscriber*>(self);
            if (rc == 0) {
                mosquitto_subscribe(client, nullptr, me.m_pattern.c_str(), me.m_qos);
            }
        });
        mosquitto_subscribe_callback_set(
            m_client, [](mosquitto*, void* self, int, int, const int*) {
                static_cast<MqttSubscriber*>(self)->m_subscribed = true;
            });
        mosquitto_message_callback_set(
            m_client, [](mosquitto*, void* self, const mosquitto_message* message) {
                auto& me = *static_cast<MqttSubscriber*>(self);
                std::lock_guard lock(me.m_mutex);
                me.m_messages.push_back({message->topic,
                                         std::string(static_cast<const char*>(message->payload),
                                                     static_cast<std::size_t>(message->payloadlen)),
                                         message->retain});
            });
        mosquitto_reconnect_delay_set(m_client, 1, 1, false);
        m_connectResult = mosquitto_connect(m_client, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_client);
    }
    ~MqttSubscriber() {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
        mosquitto_lib_cleanup();
    }
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    bool Subscribed() const { return m_subscribed.load(); }
    int ConnectResult() const { return m_connectResult; }

    std::vector<ReceivedMessage> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<std::string> Payloads(const std::string& topic) const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> payloads;
        for (const ReceivedMessage& message : m_messages) {
            if (message.topic == topic) {
                payloads.push_back(message.payload);
            }
        }
        return payloads;
    }
    std::size_t Count(const std::string& topic) const { return Payloads(topic).size(); }

private:
    std::string m_pattern;
    int m_qos = 0;
    mosquitto* m_client = nullptr;
    int m_connectResult = 0;
    std::atomic<bool> m_subscribed{false};
    mutable std::mutex m_mutex;
    std::vector<ReceivedMessage> m_messages;
};

} // namespace orvanta::testing
