#pragma once

#include "publish/BrokerUrl.h"

#include <string>

struct mosquitto;

namespace orvanta::publish {

// The login and TLS a broker URL asks for, set on a new client: the password (from the
// environment, never a file) when the URL names a user; for mqtts, the system's certificate
// store or caFile. False, with error, when the library refuses one (a CA file it cannot
// read). Call on the thread that owns the client, before it connects.
bool SetUpClient(mosquitto* client, const BrokerUrl& url, const std::string& password,
                 const std::string& caFile, std::string& error);

// A libmosquitto result as text.
std::string MqttErrorText(int rc);

} // namespace orvanta::publish
