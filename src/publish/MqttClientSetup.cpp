#include "publish/MqttClientSetup.h"

#include <cerrno>
#include <cstring>
#include <mosquitto.h>

namespace orvanta::publish {

std::string MqttErrorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) {
        return std::strerror(errno);
    }
    return mosquitto_strerror(rc);
}

bool SetUpClient(mosquitto* client, const BrokerUrl& url, const std::string& password,
                 const std::string& caFile, std::string& error) {
    const auto check = [&error](int rc, const std::string& what) {
        if (rc != MOSQ_ERR_SUCCESS) {
            error = what + ": " + MqttErrorText(rc);
            return false;
        }
        return true;
    };
    if (!url.user.empty() &&
        !check(mosquitto_username_pw_set(client, url.user.c_str(),
                                         password.empty() ? nullptr : password.c_str()),
               "user")) {
        return false;
    }
    if (!url.tls) {
        return true;
    }
    if (!caFile.empty()) {
        return check(mosquitto_tls_set(client, caFile.c_str(), nullptr, nullptr, nullptr, nullptr),
                     caFile);
    }
    return check(mosquitto_int_option(client, MOSQ_OPT_TLS_USE_OS_CERTS, 1), "TLS");
}

} // namespace orvanta::publish
