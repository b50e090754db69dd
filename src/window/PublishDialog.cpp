#include "window/PublishDialog.h"

#include "publish/BrokerUrl.h"
#include "window/DialogControls.h"
#include "window/QtText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvanta::window {

namespace {

// Wide enough for a URL with a user, a port and two levels of prefix.
constexpr int kFieldChars = 44;

QLineEdit* Field(QWidget* parent, const char* name, const std::string& text) {
    auto* edit = new QLineEdit(Utf8(text), parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * kFieldChars);
    return edit;
}

} // namespace

PublishDialog::PublishDialog(const Values& values, const std::string& defaultDevice,
                             res::Language language, QWidget* parent)
    : QDialog(parent), m_english(language == res::Language::English) {
    const auto text = [this](const char* english, const char* chinese) {
        return QString::fromUtf8(m_english ? english : chinese);
    };
    setWindowTitle(text("Publish over MQTT", "通过 MQTT 发布"));

    m_url = Field(this, "url", values.settings.url);
    m_url->setPlaceholderText(QStringLiteral("mqtt://[user@]host[:port]/prefix"));
    m_device = Field(this, "device", values.settings.device);
    m_device->setPlaceholderText(Utf8(defaultDevice));
    m_password = Field(this, "password", values.password);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(text("none", "无"));
    m_publish = new QCheckBox(
        text("Publish while the port is open or a capture plays", "端口打开或回放时发布"), this);
    m_publish->setObjectName(QStringLiteral("publish"));
    m_publish->setChecked(values.settings.publish);
    auto* note = new QLabel(text("The password is not stored; ORVANTA_MQTT_PASSWORD fills it in.",
                                 "密码不会保存；可由 ORVANTA_MQTT_PASSWORD 预先填入。"),
                            this);
    note->setWordWrap(true);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("error"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_error->hide();

    auto* form = new QFormLayout;
    form->addRow(text("Broker URL:", "代理地址："), m_url);
    form->addRow(text("Device name:", "设备名称："), m_device);
    form->addRow(text("Password:", "密码："), m_password);
    form->addRow(QString(), m_publish);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(text("OK", "确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(text("Cancel", "取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PublishDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The window's own face and size, on each widget as the window's controls carry it: a
    // dialog under the skin's style sheet would otherwise take the toolkit's default.
    const QFont font = DialogFont(res::FindDialog(res::dialog_id::kMain, language)->font);
    setFont(font);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->setFont(font);
    }
}

PublishDialog::Values PublishDialog::Result() const {
    return {{m_url->text().trimmed().toStdString(), m_device->text().trimmed().toStdString(),
             m_publish->isChecked()},
            m_password->text().toStdString()};
}

void PublishDialog::accept() {
    const Values values = Result();
    if (!values.settings.url.empty() || values.settings.publish) {
        const publish::BrokerUrlParse parsed =
            publish::ParseBrokerUrl(values.settings.url, m_english ? 1 : 0);
        if (!parsed.url) {
            m_error->setText(
                QString::fromUtf8(m_english ? "The broker URL is not usable: " : "代理地址无效：") +
                Utf8(parsed.error));
            m_error->show();
            m_url->setFocus();
            return;
        }
    }
    QDialog::accept();
}

} // namespace orvanta::window
