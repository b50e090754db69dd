#pragma once

#include "protocol/MeasurementRecord.h"
#include "window/AnchorLayout.h"
#include "window/DataPageText.h"
#include "window/DialogControls.h"
#include "window/WidgetAnchorSystem.h"

#include <QColor>
#include <QWidget>
#include <functional>

namespace orvanta::window {

// What the page's buttons and radios do; the main window binds them to the host.
struct DataPageActions {
    std::function<void()> itemSet;          // 1079
    std::function<void()> calibrationSet;   // 1085
    std::function<void()> declinationOk;    // 1086
    std::function<void()> declinationRadio; // 1104, 1113
};

// The live data page (dialog 133): the newest decoded values as text with their units, the
// page's output-item boxes, calibration and declination controls. Its block of controls stays
// centred horizontally and fixed at the top. GUI thread only, like the record it reads.
// Formerly `CDataShowDlg`.
class DataPage : public QWidget, private LabelTarget {
public:
    static constexpr int kPageTimerPeriodMs = 700;
    static inline const QColor kValueColor{0, 0, 230};
    static inline const QColor kPageColor{255, 255, 255};
    static inline const QColor kDeclinationBoxColor{182, 182, 182};

    // english picks the template variant. record must outlive the page. With a room given,
    // the page's font is made as small as the page needs to fit into it.
    DataPage(const protocol::MeasurementRecord& record, bool english, QWidget* parent = nullptr,
             QSize room = {});
    ~DataPage() override;

    void SetActions(DataPageActions actions) { m_actions = std::move(actions); }

    // The page's control with a dialog identifier, or null.
    QWidget* Control(int id) const;
    int ControlIdOf(const QWidget* widget) const;

    // Copies every value label's text from the record; only changed labels are touched.
    void RefreshDataPage();

    // The page timer (identifier 0): refreshes the page while it runs.
    void StartPageTimer();
    void KillPageTimer();
    bool PageTimerRunning() const { return m_timerId != 0; }

    const AnchorLayout& Layout() const { return m_layout; }
    // The template size in pixels, which the controls were placed for.
    QSize TemplateSize() const { return m_dialog.TemplateSize(); }

protected:
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // LabelTarget
    std::string LabelText(int id) const override;
    void SetLabelText(int id, std::string_view text) override;

    void ApplyColours();
    void BindActions();

    const protocol::MeasurementRecord& m_record;
    DialogControls m_dialog;
    WidgetAnchorSystem m_windows;
    AnchorLayout m_layout;
    DataPageActions m_actions;
    int m_timerId = 0;
};

} // namespace orvanta::window
