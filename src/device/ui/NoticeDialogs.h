// The device side's three small skinned dialogs: the one-line notice
// CAttentionDlg, the factory-reset confirmation CFirmwareResetDlg and the
// self-closing progress dialog CProgressBarDlg.
#pragma once

#include "skin/DlgBase.h"
#include "skin/SkinImage.h"

namespace tarvik {

// A notice: an empty heading line and the message below it, with OK and close.
// The message wraps; a message of more than one line grows the dialog (and
// moves OK down) until it fits, up to kMaxMessageHeight design pixels.
class CAttentionDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 319;
    static constexpr int kDesignHeight = 102;
    static constexpr int kIdHeading = 2012;
    static constexpr int kIdMessage = 2013;
    static constexpr int kMaxMessageHeight = 240;

    // The first text is not shown.
    CAttentionDlg(const QString& firstText, const QString& message, QWidget* parent = nullptr);

    const QString& Message() const { return message_; }
    // Pixels the dialog grew by for its message (0 for one line).
    int GrownBy() const { return grownBy_; }
    // Where the message is drawn, and the height its wrapped lines need.
    Rect MessageRect() const;
    int MessageHeightNeeded() const;

protected:
    void CreateControls(const Rect& client) override;

private:
    QString message_;
    int grownBy_ = 0;
};

// The factory-reset confirmation: OK (or Enter) accepts; close and cancel
// reject; Escape does nothing.
class CFirmwareResetDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 429;
    static constexpr int kDesignHeight = 140;
    static constexpr int kIdMessage = 3001;

    explicit CFirmwareResetDlg(QWidget* parent = nullptr);

protected:
    void CreateControls(const Rect& client) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Shown while the mouse is written: the bar fills in steps of 2 % every 10 ms
// and the dialog ends itself with the OK result once it is full. By itself the
// bar runs to 100 %; told the real progress (FollowProgress), it never passes
// that, so it fills as the work does and ends when the work is done. It has no
// buttons.
class CProgressBarDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 429;
    static constexpr int kDesignHeight = 140;
    static constexpr int kIdText = 2012;
    static constexpr int kStepPercent = 2;
    static constexpr int kStepMs = 10;
    static constexpr int kEndDelayMs = 20;
    static constexpr int kTimerStep = 1;
    static constexpr int kTimerEnd = 2;

    // The second text is not used.
    CProgressBarDlg(const QString& text, const QString& secondText = QString(), QWidget* parent = nullptr);

    int Progress() const { return progress_; }
    // The work is `percent` done (0..100): the bar runs up to it and no further.
    // Later values below an earlier one are ignored; the bar never runs back.
    void FollowProgress(int percent);
    int ProgressLimit() const { return limit_; }
    // Width of the drawn bar band for the current progress.
    int BandWidth() const;

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void DrawUnderControls(QPainter& dc, const Rect& client) override;
    void OnTimer(int id) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void StepWhileBehind();

    QString text_;
    int progress_ = 0;
    int limit_ = 100;
    bool following_ = false;
    bool started_ = false;
    SkinBitmap background_, bar_;
};

} // namespace tarvik
