#pragma once

#include "config/ConfigValues.h"
#include "res/DialogTemplate.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace orvanta::window {

// "Publish over MQTT...": the broker URL, the device's name (empty: the port's, shown
// greyed), the password (never stored) and the switch. OK refuses a URL that does not parse
// and says why in the dialog. The widgets' object names are "url", "device", "password",
// "publish" and "error". GUI thread only.
class PublishDialog : public QDialog {
public:
    struct Values {
        config::PublishSettings settings;
        std::string password;
    };

    PublishDialog(const Values& values, const std::string& defaultDevice, res::Language language,
                  QWidget* parent);

    Values Result() const;
    // Closes only with a URL that parses, or with none while publishing is off.
    void accept() override;

private:
    bool m_english;
    QLineEdit* m_url;
    QLineEdit* m_device;
    QLineEdit* m_password;
    QCheckBox* m_publish;
    QLabel* m_error;
};

} // namespace orvanta::window
