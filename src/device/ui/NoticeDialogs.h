// The device side's three small skinned dialogs: the one-line notice
// CAttentionDlg, the factory-reset confirmation CFirmwareResetDlg and the
// self-closing progress dialog CProgressBarDlg.
#pragma once

#include "skin/DlgBase.h"
#include "skin/SkinImage.h"

namespace tarvik {

// A notice: an empty heading line and the message below it, with OK and close.
class CAttentionDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 319;
    static constexpr int kDesignHeight = 102;
    static constexpr int kIdHeading = 2012;
    static constexpr int kIdMessage = 2013;

    // The first text is not shown.
    CAttentionDlg(const QString& firstText, const QString& message, QWidget* parent = nullptr);

    const QString& Message() const { return message_; }

protected:
    void CreateControls(const Rect& client) override;
    void DrawWindow(QPainter& dc, const Rect& client) override;

private:
    QString message_;
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
    void DrawWindow(QPainter& dc, const Rect& client) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// Shown after the mouse was written: the bar fills from 0 to 100 % in steps of
// 2 every 10 ms, then the dialog ends itself with the OK result. It has no buttons.
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
    // Width of the drawn bar band for the current progress.
    int BandWidth() const;

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void DrawWindow(QPainter& dc, const Rect& client) override;
    void OnTimer(int id) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString text_;
    int progress_ = 0;
    SkinBitmap background_, bar_;
};

} // namespace tarvik
