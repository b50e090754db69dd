#include "publish/BrokerUrl.h"

#include <charconv>
#include <cstdlib>

namespace orvanta::publish {

std::string BrokerUrl::Endpoint() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

BrokerUrlParse ParseBrokerUrl(std::string_view text, int languageFlag) {
    const auto fail = [languageFlag](const char* english, const char* chinese) {
        return BrokerUrlParse{std::nullopt, languageFlag == 1 ? english : chinese};
    };
    BrokerUrl url;
    constexpr std::string_view kPlain = "mqtt://", kSecure = "mqtts://";
    if (text.starts_with(kPlain)) {
        text.remove_prefix(kPlain.size());
    } else if (text.starts_with(kSecure)) {
        text.remove_prefix(kSecure.size());
        url.tls = true;
        url.port = kMqttsPort;
    } else {
        return fail("the broker URL must start with mqtt:// or mqtts://",
                    "代理地址须以 mqtt:// 或 mqtts:// 开头");
    }
    const std::size_t slash = text.find('/');
    std::string_view authority = text.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? "" : text.substr(slash + 1);

    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view user = authority.substr(0, at);
        if (user.find(':') != std::string_view::npos) {
            return fail("the broker URL must not hold a password: give it in "
                        "ORVANTA_MQTT_PASSWORD",
                        "代理地址中不能含密码：请用 ORVANTA_MQTT_PASSWORD 提供");
        }
        if (user.empty()) {
            return fail("the broker URL names an empty user", "代理地址中的用户名为空");
        }
        url.user = std::string(user);
        authority.remove_prefix(at + 1);
    }
    std::string_view portText;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            return fail("the broker URL's IPv6 address lacks its \"]\"",
                        "代理地址的 IPv6 地址缺少 \"]\"");
        }
        url.host = std::string(authority.substr(1, close - 1));
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            return fail("the broker URL has text after its IPv6 address",
                        "代理地址的 IPv6 地址后有多余文字");
        }
        portText = rest.empty() ? rest : rest.substr(1);
        if (rest == ":") {
            return fail("the broker URL's port is empty", "代理地址的端口为空");
        }
    } else {
        const std::size_t colon = authority.find(':');
        url.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = authority.substr(colon + 1);
            if (portText.empty()) {
                return fail("the broker URL's port is empty", "代理地址的端口为空");
            }
        }
    }
    if (url.host.empty()) {
        return fail("the broker URL names no host", "代理地址未给出主机");
    }
    if (!portText.empty()) {
        int port = 0;
        const auto [end, ec] =
            std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (ec != std::errc() || end != portText.data() + portText.size() || port < 1 ||
            port > 65535) {
            return fail("the broker URL's port must be a number from 1 to 65535",
                        "代理地址的端口须为 1 到 65535 之间的数");
        }
        url.port = port;
    }
    while (path.ends_with('/')) {
        path.remove_suffix(1);
    }
    if (path.find_first_of("+#") != std::string_view::npos) {
        return fail("the topic prefix must not hold \"+\" or \"#\"",
                    "主题前缀不能含 \"+\" 或 \"#\"");
    }
    if (path.find("//") != std::string_view::npos) {
        return fail("the topic prefix has an empty level", "主题前缀中有空的层级");
    }
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return fail("the topic prefix holds a control character", "主题前缀含控制字符");
        }
    }
    url.prefix = std::string(path);
    return {url, {}};
}

RemoteUrlParse ParseRemoteUrl(std::string_view text, int languageFlag) {
    BrokerUrlParse parsed = ParseBrokerUrl(text, languageFlag);
    if (!parsed.url) {
        return {std::nullopt, {}, std::move(parsed.error)};
    }
    BrokerUrl url = *parsed.url;
    const std::size_t last = url.prefix.rfind('/');
    std::string device = last == std::string::npos ? url.prefix : url.prefix.substr(last + 1);
    if (device.empty()) {
        return {std::nullopt,
                {},
                languageFlag == 1 ? "the remote URL must end with the device: "
                                    "mqtt://host/prefix/device"
                                  : "远程地址须以设备名结尾：mqtt://host/prefix/device"};
    }
    url.prefix = last == std::string::npos ? std::string() : url.prefix.substr(0, last);
    return {url, std::move(device), {}};
}

std::string PasswordFromEnvironment() {
    const char* password = std::getenv("ORVANTA_MQTT_PASSWORD");
    return password != nullptr ? password : "";
}

} // namespace orvanta::publish
