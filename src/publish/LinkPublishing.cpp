#include "publish/LinkPublishing.h"

#include "host/HostTexts.h"
#include "serial/DeviceIdentity.h"

namespace orvanta::publish {

LinkPublishing::LinkPublishing(host::Host& host, host::HostUi& ui, Options options)
    : m_host(host), m_ui(ui), m_options(std::move(options)), m_config(m_options.configPath),
      m_settings(config::ReadPublishSettings(m_config)), m_password(std::move(m_options.password)) {
}

LinkPublishing::~LinkPublishing() {
    Stop();
}

void LinkPublishing::Apply(const config::PublishSettings& settings, std::string password) {
    if (config::WritePublishSettings(m_config, settings) != config::ProfileStatus::Ok) {
        const bool english = m_host.State().LanguageFlag == 1;
        const std::string path = m_config.Path().string();
        m_ui.ShowMessage(host::kMessageCaption,
                         english ? "The publishing settings could not be stored in " + path +
                                       "; they hold for this run."
                                 : "发布设置无法保存到 " + path + "，仅本次运行有效。",
                         host::MessageIcon::Exclamation);
    }
    const bool changed = settings != m_settings || password != m_password;
    m_settings = settings;
    m_password = std::move(password);
    if (changed || !m_settings.publish) {
        Stop();
    }
    Start();
}

void LinkPublishing::LinkChanged(std::string_view path) {
    if (path.empty()) {
        m_openPath.clear();
        Stop();
        return;
    }
    // A device that came back under another node keeps its publisher and its name.
    if (m_publisher) {
        return;
    }
    m_openPath = std::string(path);
    Start();
}

std::string LinkPublishing::DefaultDevice() const {
    if (m_openPath.empty()) {
        return {};
    }
    return serial::ShortPortName(
        serial::IdentifyDevice(m_openPath, m_options.sysfsRoot, m_options.deviceDir));
}

void LinkPublishing::Start() {
    if (m_publisher || m_openPath.empty() || !m_settings.publish) {
        return;
    }
    const BrokerUrlParse parsed = ParseBrokerUrl(m_settings.url, m_host.State().LanguageFlag);
    if (!parsed.url) { // an edited file; the dialog lets no such URL through
        m_ui.ShowMessage(host::kMessageCaption, "MQTT: " + parsed.error,
                         host::MessageIcon::Exclamation);
        return;
    }
    PublisherOptions options;
    options.url = *parsed.url;
    options.password = m_password;
    options.languageFlag = m_host.State().LanguageFlag;
    m_publisher = std::make_unique<SessionPublisher>(m_host, m_ui, std::move(options),
                                                     m_settings.device.empty() ? DefaultDevice()
                                                                               : m_settings.device);
    std::string error;
    if (!m_publisher->Start(error)) {
        m_publisher.reset();
        m_ui.ShowMessage(host::kMessageCaption, "MQTT: " + error, host::MessageIcon::Exclamation);
    }
}

void LinkPublishing::Stop() {
    if (m_publisher) {
        m_publisher->Stop();
        m_publisher.reset();
    }
}

} // namespace orvanta::publish
