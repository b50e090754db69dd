// Publishing from the window: the context menu's dialog refuses a bad URL in place, turns
// publishing on against a real broker while the port is open, follows Close and Open, and
// stores its settings without the password.
#include "WindowTestSupport.h"
#include "publish/LinkPublishing.h"
#include "support/MosquittoBroker.h"
#include "support/MqttSubscriber.h"
#include "window/PublishDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontInfo>
#include <QMenu>
#include <QPushButton>

namespace orvanta::window::testing {
namespace {

using orvanta::testing::MosquittoBroker;
using orvanta::testing::MqttSubscriber;

class WindowPublish : public WindowFixture {
protected:
    struct Entries {
        QString url, device, password;
        bool publish;
    };
    // Fills the dialog as a user does and presses OK.
    static void Fill(PublishDialog& dialog, const Entries& entries) {
        const auto edit = [&dialog](const char* name) {
            return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
        };
        edit("url")->setText(entries.url);
        edit("device")->setText(entries.device);
        edit("password")->setText(entries.password);
        dialog.findChild<QCheckBox*>(QStringLiteral("publish"))->setChecked(entries.publish);
    }
    static void PressOk(PublishDialog& dialog) {
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }
    const publish::SessionPublisher* Publishing() { return window_->publishing().Publishing(); }
};

TEST_P(WindowPublish, TheDialogTurnsPublishingOnWhileThePortIsOpen) {
    MosquittoBroker broker;
    ASSERT_TRUE(broker.Start());
    MqttSubscriber subscriber(broker.Port(), "lab/#");
    ASSERT_TRUE(RunUntil([&] { return subscriber.Subscribed(); }));
    const QString url = QString::fromStdString(broker.Url("lab"));
    const std::string password = "pw-never-in-a-file";

    for (const int language : {1, 0}) {
        window_.reset();
        simulator_.reset(); // before the next one makes its link
        Open(language, /*autoDivider=*/10);
        {
            QMenu menu;
            window_->FillContextMenu(menu);
            EXPECT_EQ(menu.actions().size(), 5) << "two switches, publishing, separator, about";
        }
        EXPECT_EQ(Publishing(), nullptr) << "off until switched on";

        // A URL that does not parse keeps the dialog open with the reason in it.
        PublishDialog* dialog = window_->OpenPublishDialog();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        Fill(*dialog, {QStringLiteral("http://127.0.0.1/lab"), {}, Utf8(password), true});
        PressOk(*dialog);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("error"))->isVisible());
        EXPECT_EQ(Publishing(), nullptr);
        // The window's face and size, not the toolkit's default.
        const QFontInfo dialogFont(dialog->findChild<QLabel*>(QStringLiteral("error"))->font());
        const QFontInfo windowFont(Main(host::main_id::kOpenButton)->font());
        EXPECT_EQ(dialogFont.family(), windowFont.family());
        EXPECT_EQ(dialogFont.pointSize(), windowFont.pointSize());
        RunFor(100ms);
        SaveArtifact(*dialog, language == 1 ? "publish-dialog-en.png" : "publish-dialog-zh.png");

        // Then a good one: publishing starts under the port's short name.
        Fill(*dialog, {url, {}, Utf8(password), true});
        PressOk(*dialog);
        ASSERT_TRUE(RunUntil([&] { return Publishing() != nullptr; }));
        const std::string device = window_->publishing().DefaultDevice();
        EXPECT_FALSE(device.empty());
        const std::string values = Publishing()->Topics().values;
        EXPECT_EQ(values, "lab/" + device + "/values");
        ASSERT_TRUE(RunUntil([&] { return subscriber.Count(values) >= 5; }));
        EXPECT_NE(subscriber.Payloads(values).back().find("\"roll_deg\""), std::string::npos);

        const std::string ini = orvanta::testing::ReadFile(Root() / "config" / "Config.ini");
        EXPECT_NE(ini.find("MQTT_URL=" + url.toStdString() + "\n"), std::string::npos) << ini;
        EXPECT_NE(ini.find("MQTT_PUBLISH=1\n"), std::string::npos);
        EXPECT_EQ(ini.find(password), std::string::npos) << "the password is never stored";

        // Close ends it, Open starts it again with the stored settings.
        Click(Main(host::main_id::kOpenButton));
        EXPECT_EQ(Publishing(), nullptr);
        const std::size_t before = subscriber.Count(values);
        Click(Main(host::main_id::kOpenButton));
        ASSERT_NE(Publishing(), nullptr);
        EXPECT_TRUE(RunUntil([&] { return subscriber.Count(values) >= before + 5; }));

        // A given name, then off: the dialog opens with what is in force.
        dialog = window_->OpenPublishDialog();
        EXPECT_EQ(dialog->Result().settings.url, url.toStdString());
        EXPECT_EQ(dialog->Result().password, password);
        Fill(*dialog, {url, QStringLiteral("imu/left"), Utf8(password), true});
        PressOk(*dialog);
        ASSERT_NE(Publishing(), nullptr);
        EXPECT_EQ(Publishing()->Topics().values, "lab/imu_left/values");
        dialog = window_->OpenPublishDialog();
        Fill(*dialog, {url, QStringLiteral("imu/left"), Utf8(password), false});
        PressOk(*dialog);
        EXPECT_EQ(Publishing(), nullptr);
        EXPECT_EQ(window_->publishing().Settings(),
                  (config::PublishSettings{url.toStdString(), "imu/left", false}));
    }
}

INSTANTIATE_TEST_SUITE_P(VK100, WindowPublish, ::testing::Values(kModels[0]), ModelCaseName);

} // namespace
} // namespace orvanta::window::testing
