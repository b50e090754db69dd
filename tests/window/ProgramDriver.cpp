// Preloaded (LD_PRELOAD) into the shipped program by the window tests: once the window shows
// data it reports the texts shown in the 3D panel, starts a recording as a user does, lets it
// run, saves a picture of the window (ORVANTA_ARTIFACTS/ORVANTA_DRIVER_PICTURE) and closes
// the window, or with ORVANTA_DRIVER_LEAVE_OPEN leaves it open and recording. It reports on
// stderr, each line starting with "driver: ".
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <cstdio>
#include <cstdlib>

namespace {

void Say(const QString& text) {
    std::fprintf(stderr, "driver: %s\n", qPrintable(text));
}

QWidget* MainWindow() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->findChild<QAbstractButton*>("c1117")) {
            return window;
        }
    }
    return nullptr;
}

class Driver : public QObject {
public:
    Driver() : QObject(qApp) {
        m_clock.start();
        m_timer = startTimer(100);
    }

protected:
    void timerEvent(QTimerEvent*) override {
        QWidget* window = MainWindow();
        if (window == nullptr) {
            GiveUpAfter(20000, "no window");
            return;
        }
        const auto* rate = window->findChild<QLabel*>("c1107");
        if (m_recordingSince < 0) {
            if (rate == nullptr || !rate->text().endsWith("HZ") || rate->text() == "0HZ") {
                GiveUpAfter(20000, "no data");
                return;
            }
            ReportThreeDPanel(*window);
            QTest::mouseClick(window->findChild<QAbstractButton*>("c1117"), Qt::LeftButton);
            Say("recording");
            m_recordingSince = m_clock.elapsed();
        } else if (m_clock.elapsed() - m_recordingSince > 2000) {
            SavePicture(*window);
            if (std::getenv("ORVANTA_DRIVER_LEAVE_OPEN") != nullptr) {
                Say("recorded");
                killTimer(m_timer);
                return;
            }
            Say("closing");
            killTimer(m_timer);
            window->close();
            deleteLater();
        }
    }

private:
    void GiveUpAfter(qint64 ms, const char* why) {
        if (m_clock.elapsed() > ms) {
            Say(why);
            std::exit(3);
        }
    }
    static void ReportThreeDPanel(QWidget& window) {
        const QWidget* frame = window.findChild<QWidget*>("c1145");
        if (frame == nullptr) {
            return;
        }
        for (const QLabel* label : window.findChildren<QLabel*>()) {
            const QRect at(label->mapTo(&window, QPoint(0, 0)), label->size());
            if (label->isVisible() && !label->text().isEmpty() && frame->geometry().contains(at)) {
                Say("3D panel: " + label->text());
            }
        }
    }
    static void SavePicture(QWidget& window) {
        const char* dir = std::getenv("ORVANTA_ARTIFACTS");
        const char* name = std::getenv("ORVANTA_DRIVER_PICTURE");
        if (dir != nullptr && name != nullptr) {
            window.grab().save(QString::fromUtf8(dir) + "/" + QString::fromUtf8(name));
        }
    }

    QElapsedTimer m_clock;
    int m_timer = 0;
    qint64 m_recordingSince = -1;
};

void StartDriving() {
    new Driver;
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(StartDriving)
