#include "publish/SessionPublisher.h"

#include "host/HostTexts.h"
#include "publish/RawRecord.h"
#include "publish/ValuesMessage.h"
#include "serial/DeviceIdentity.h"

#include <charconv>
#include <chrono>
#include <filesystem>

namespace orvanta::publish {

SessionPublisher::SessionPublisher(host::Host& host, host::HostUi& ui, PublisherOptions options,
                                   std::string_view device)
    : m_host(host), m_ui(ui), m_topics(TopicsFor(options.url.prefix, SafeTopicLevel(device))) {
    options.willTopic = m_topics.status;
    m_client = std::make_unique<Publisher>(std::move(options));
}

SessionPublisher::~SessionPublisher() {
    Stop();
}

bool SessionPublisher::Start(std::string& error) {
    if (m_running) {
        return true;
    }
    if (!m_client->Start(error)) {
        return false;
    }
    m_running = true;
    m_notes = m_host.Recording().StateNote();
    // As a capture starts: the raw topic alone rebuilds the session.
    const std::string note = recording::FormatCaptureNote(m_notes);
    m_client->Publish(m_topics.raw,
                      BuildRawRecord(recording::CaptureDirection::Note,
                                     reinterpret_cast<const std::uint8_t*>(note.data()),
                                     note.size(),
                                     std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::system_clock::now().time_since_epoch())
                                         .count()));
    m_client->Retain(m_topics.notes, note);
    m_client->Retain(m_topics.status, StatusJson(true));
    m_host.SetSessionObserver(this);
    return true;
}

void SessionPublisher::Stop() {
    if (!m_running) {
        return;
    }
    m_running = false;
    m_host.SetSessionObserver(nullptr);
    m_client->Retain(m_topics.status, StatusJson(false));
    m_client->Stop();
    ShowMessages();
}

std::string SessionPublisher::StatusJson(bool online) const {
    const host::AppState& state = m_host.State();
    std::uint32_t rate = 0;
    std::from_chars(state.RateText.data(), state.RateText.data() + state.RateText.size(), rate);
    return BuildStatusJson({online && state.PortOpen, state.ModelName, state.Link.port, rate,
                            m_host.Receiver().Miscount(), m_client->Dropped()});
}

void SessionPublisher::MirrorRecord(recording::CaptureDirection direction,
                                    const std::uint8_t* bytes, std::size_t length,
                                    std::int64_t timeNs) {
    m_client->Publish(m_topics.raw, BuildRawRecord(direction, bytes, length, timeNs));
    if (direction == recording::CaptureDirection::Note) {
        MergeNote(m_notes, recording::ParseCaptureNote(
                               std::string_view(reinterpret_cast<const char*>(bytes), length)));
        m_client->Retain(m_topics.notes, recording::FormatCaptureNote(m_notes));
    }
}

void SessionPublisher::DataFrameDecoded(const protocol::FrameReceiver::DataFrame& frame,
                                        const protocol::ArrivalTime& arrival) {
    const host::AppState& state = m_host.State();
    m_client->Publish(
        m_topics.values,
        BuildValuesJson({frame.mask, frame.payload, state.ModelIndex.load(), state.ModelName,
                         state.record.GravityValue, arrival.realtimeNs}));
}

void SessionPublisher::RateTick() {
    m_client->Retain(m_topics.status, StatusJson(true));
    ShowMessages();
}

void SessionPublisher::ShowMessages() {
    for (const std::string& text : m_client->TakeMessages()) {
        m_ui.ShowMessage(host::kMessageCaption, text, host::MessageIcon::Exclamation);
    }
}

} // namespace orvanta::publish
