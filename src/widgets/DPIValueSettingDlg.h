// CDPIValueSettingDlg: chooses the DPI step of one DPI level with a slider, the
// arrow keys or a typed DPI value, and hands the chosen step index back to the
// level display that opened it.
#pragma once

#include <QPointer>

#include <cstdint>
#include <span>

#include "skin/DlgBase.h"

#include <QLineEdit>

namespace tarvik {

class CDPIValueShowControl;
class CSliderControl;

class CDPIValueSettingDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 429;
    static constexpr int kDesignHeight = 140;
    static constexpr int kIdEdit = 2017;
    static constexpr int kIdSliderBar = 2020;
    static constexpr int kIdSlider = 2021;
    static constexpr int kIdText = 2012;

    // shown: the level display whose value (a step index) is edited; steps: the
    // DPI step table (DPI / 50 per index) of which the first stepCount entries are valid.
    CDPIValueSettingDlg(CDPIValueShowControl* shown, int stepCount, std::span<const std::uint32_t> steps,
                        QWidget* parent = nullptr);
    ~CDPIValueSettingDlg() override;

    // The step a typed DPI value selects: the first step whose DPI is at least
    // the value, or the last step.
    int StepIndexOf(const QString& text) const;
    // Reads the edit box, selects the step its value names and shows it everywhere.
    void ApplyTypedValue();

    int Index() const { return index_; }
    int StepCount() const { return stepCount_; }
    // "%d" of step i's DPI.
    QString DpiText(int i) const;
    QLineEdit* EditBox() const { return edit_.data(); }
    CSliderControl* Slider() const { return slider_; }

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The dialog's key rules; true when the key was taken.
    bool HandleKey(int key);
    void ShowIndex(int k);
    void Confirm();

    CDPIValueShowControl* shown_;
    int stepCount_;
    std::span<const std::uint32_t> steps_;
    int index_ = 0;
    QPointer<QLineEdit> edit_;
    CSliderControl* slider_ = nullptr;
};

} // namespace tarvik
