// CFireKeyDlg: the rapid-fire item of the button function menu asks for the
// two numbers of a rapid-fire action. OK hands the name and the action
// (30, first, second) to the owner as message 1063, lParam = the ButtonChoice.
#pragma once

#include <QPointer>

#include <cstdint>

#include "skin/DlgBase.h"
#include "text/Notices.h"

class QLineEdit;

namespace tarvik {

class CFireKeyDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 429;
    static constexpr int kDesignHeight = 140;
    static constexpr int kResultMessage = 1063;
    static constexpr int kIdText = 2012;
    static constexpr int kIdEdit = 2017;
    static constexpr int kTimerCheck = 1;
    static constexpr int kCheckMs = 100;
    // Language strings of the notices.

    // `owner` (the main window) receives the result; it also parents the dialog.
    explicit CFireKeyDlg(CDlgBase* owner);
    ~CFireKeyDlg() override;

    QLineEdit* FirstField() const { return first_.data(); }
    // The notice shown now, if any.
    CDlgBase* OpenNotice() const;
    QLineEdit* SecondField() const { return second_.data(); }

    // A field's number: its leading decimal digits, 0 when there are none; a
    // number too large for 32 bits reads as 0xFFFFFFFF.
    static std::uint32_t LeadingNumber(const QString& text);

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void OnTimer(int id) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // Ending the dialog also ends an open notice and the range check.
    void done(int result) override;

private:
    // The range rule of every tick: a first number of 256 or more, or a second
    // above 255, becomes "255" with its notice. True when a field was corrected.
    bool CorrectFields();
    // Shows the notice dialog with language string `text` (one at a time).
    // False when this dialog was destroyed while the notice was open.
    bool ShowNotice(Notice notice);
    void Confirm();
    QLineEdit* MakeField(const Rect& r, const QString& text);

    CDlgBase* owner_;
    QPointer<QLineEdit> first_, second_;
    QPointer<CDlgBase> notice_;
};

} // namespace tarvik
