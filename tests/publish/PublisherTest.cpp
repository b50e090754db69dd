#include "publish/Publisher.h"

#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "support/RunUntil.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace orvanta::publish {
namespace {

using namespace std::chrono_literals;
using testing::MosquittoBroker;
using testing::MqttSubscriber;
using testing::WaitUntil;

PublisherOptions OptionsFor(const std::string& url) {
    PublisherOptions options;
    options.url = *ParseBrokerUrl(url).url;
    options.willTopic = options.url.prefix + "/status";
    options.backoffMin = 100ms;
    options.backoffMax = 400ms;
    return options;
}

// Messages until the count is reached or a few seconds passed.
std::vector<std::string> CollectMessages(Publisher& publisher, std::size_t count) {
    std::vector<std::string> all;
    WaitUntil(
        [&] {
            for (std::string& text : publisher.TakeMessages()) {
                all.push_back(std::move(text));
            }
            return all.size() >= count;
        },
        10s, 10ms);
    std::this_thread::sleep_for(200ms); // and nothing more
    for (std::string& text : publisher.TakeMessages()) {
        all.push_back(std::move(text));
    }
    return all;
}

TEST(PublisherTest, DeliversInOrderKeepsRetainedAndSurvivesABrokerRestart) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start());
    MqttSubscriber subscriber(broker.Port(), "p/#");
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Subscribed(); }, 5s));

    Publisher publisher(OptionsFor(broker.Url("p")));
    std::string error;
    ASSERT_TRUE(publisher.Start(error)) << error;
    ASSERT_TRUE(WaitUntil([&] { return publisher.Connected(); }, 5s));
    publisher.Retain("p/notes", "model=VK100\n");
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(publisher.Publish("p/values", std::to_string(i)));
    }
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Count("p/values") == 2000; }, 10s))
        << subscriber.Count("p/values");
    const auto values = subscriber.Payloads("p/values");
    for (int i = 0; i < 2000; ++i) {
        ASSERT_EQ(values[static_cast<std::size_t>(i)], std::to_string(i));
    }
    EXPECT_EQ(CollectMessages(publisher, 1).size(), 1u); // connected

    // Down for 3 s: what is published meanwhile waits, and goes out after the restart, as do
    // the retained notes the restarted broker has forgotten.
    broker.Stop();
    for (int i = 0; i < 300; ++i) {
        publisher.Publish("p/values", "during");
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(WaitUntil([&] { return publisher.Connections() == 2; }, 10s));
    const auto messages = CollectMessages(publisher, 2);
    EXPECT_EQ(messages.size(), 2u); // lost, connected again
    MqttSubscriber late(broker.Port(), "p/#");
    ASSERT_TRUE(WaitUntil([&] { return late.Count("p/notes") == 1; }, 5s));
    EXPECT_TRUE(late.Messages().front().retained);
    EXPECT_EQ(publisher.Dropped(), 0u);
    EXPECT_GT(publisher.Sent(), 2000u);
}

TEST(PublisherTest, AnUnreachableBrokerIsSaidOnceAndOnlyTheQueueWaits) {
    MosquittoBroker broker; // not started yet: nobody listens on its port
    PublisherOptions options = OptionsFor(broker.Url("q"));
    options.queueMessages = 10;
    Publisher publisher(options);
    std::string error;
    ASSERT_TRUE(publisher.Start(error)) << error;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        publisher.Publish("q/values", std::to_string(i));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s); // the caller never waits
    EXPECT_EQ(publisher.Dropped(), 90u);
    std::this_thread::sleep_for(1s);                     // several attempts meanwhile
    EXPECT_EQ(CollectMessages(publisher, 2).size(), 2u); // dropping, unreachable: once each

    ASSERT_TRUE(broker.Start());
    MqttSubscriber subscriber(broker.Port(), "q/#");
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Subscribed(); }, 5s));
    ASSERT_TRUE(WaitUntil([&] { return publisher.Connected(); }, 5s));
    EXPECT_EQ(CollectMessages(publisher, 1).size(), 1u); // connected
    publisher.Publish("q/values", "after");
    ASSERT_TRUE(WaitUntil([&] { return subscriber.Count("q/values") >= 1; }, 5s));
}

TEST(PublisherTest, TlsWithTheGivenCertificateAuthority) {
    testing::TempDir folder;
    const auto file = [&folder](const char* name) { return (folder.path() / name).string(); };
    testing::WriteFile(folder.path() / "san.ext", "subjectAltName=IP:127.0.0.1\n");
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string commands =
        "(openssl req -x509" + ec + " -keyout " + file("ca.key") + " -out " + file("ca.crt") +
        " -days 2 -subj /CN=OrvantaTestCA && openssl req" + ec + " -keyout " + file("server.key") +
        " -out " + file("server.csr") + " -subj /CN=127.0.0.1 && openssl x509 -req -in " +
        file("server.csr") + " -CA " + file("ca.crt") + " -CAkey " + file("ca.key") +
        " -CAcreateserial -out " + file("server.crt") + " -days 2 -extfile " + file("san.ext") +
        ") >/dev/null 2>&1";
    ASSERT_EQ(std::system(commands.c_str()), 0);
    const testing::BrokerTls tls{file("ca.crt"), file("server.crt"), file("server.key")};
    MosquittoBroker broker(&tls);
    ASSERT_TRUE(broker.Start()) << broker.Log();

    PublisherOptions options = OptionsFor(broker.Url("s", true));
    options.caFile = file("ca.crt");
    Publisher publisher(options);
    std::string error;
    ASSERT_TRUE(publisher.Start(error)) << error;
    ASSERT_TRUE(WaitUntil([&] { return publisher.Connected(); }, 5s)) << broker.Log();

    // The system's store does not know the test's authority: no connection.
    Publisher stranger(OptionsFor(broker.Url("s", true)));
    ASSERT_TRUE(stranger.Start(error)) << error;
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(stranger.Connected());
}

} // namespace
} // namespace orvanta::publish
