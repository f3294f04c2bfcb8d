#include "device/ui/NoticeDialogs.h"

#include <QKeyEvent>
#include <QPainter>

#include <algorithm>

#include "skin/ImageButton.h"
#include "skin/StaticControls.h"
#include "text/Language.h"

namespace tarvik {

namespace {

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

constexpr Colour kMessageGrey = Rgb(180, 180, 180);

std::unique_ptr<CImageButton> CloseButton(CDlgBase* dlg, const Rect& r) {
    auto b = std::make_unique<CImageButton>(dlg, CDlgBase::kIdClose, r, QString(), 1);
    b->LoadNormalImage(SkinName("skins\\exit_nr.png"));
    b->LoadHoverImage(SkinName("skins\\exit_ov.png"));
    return b;
}

std::unique_ptr<CImageButton> TextButton(CDlgBase* dlg, int id, const Rect& r, const QString& text) {
    auto b = std::make_unique<CImageButton>(dlg, id, r, text, 1);
    b->LoadNormalImage(SkinName("skins\\button2_nr.png"));
    b->LoadHoverImage(SkinName("skins\\button2_ov.png"));
    return b;
}

} // namespace

// ---- CAttentionDlg ---------------------------------------------------------------------

CAttentionDlg::CAttentionDlg(const QString&, const QString& message, QWidget* parent)
    : CDlgBase(parent), message_(message) {
    // One line fits the 20 pixels of the message; more lines grow the dialog.
    const int needed = std::min(MessageHeightNeeded(), Scaled(kMaxMessageHeight));
    grownBy_ = std::max(0, needed - MessageRect().Height());
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight) + grownBy_);
    SetFrameFile(SkinName("skins\\Frame_warning.bmp"), kDesignWidth, kDesignHeight, 30);
    SetFrameGrownBy(grownBy_);
    UseStandardCloseIds();
    UseStandardConfirmId();
}

Rect CAttentionDlg::MessageRect() const {
    // 10 pixels from each side: a wrapped line does not run into the frame.
    const Rect r = ScaledRect(10, 40, 309, 60);
    return Rect{r.left, r.top, r.right, r.bottom + grownBy_};
}

int CAttentionDlg::MessageHeightNeeded() const {
    return WrappedTextHeight(MakeInterfaceFont(), MessageRect().Width(), message_);
}

void CAttentionDlg::CreateControls(const Rect&) {
    AddControl(0, CloseButton(this, ScaledRect(300, 4, 315, 19)));
    const Rect ok = ScaledRect(240, 70, 309, 90);
    AddControl(0, TextButton(this, kIdConfirm,
                             Rect{ok.left, ok.top + grownBy_, ok.right, ok.bottom + grownBy_}, L(4)));
    AddControl(0, std::make_unique<CStaticText>(this, kIdHeading, ScaledRect(21, 11, 175, 31), QString(),
                                                Rgb(82, 144, 254), kDtLeft));
    AddControl(0, std::make_unique<CStaticText>(this, kIdMessage, MessageRect(), message_, kMessageGrey,
                                                kDtCenter | kDtWordBreak));
}

// ---- CFirmwareResetDlg -------------------------------------------------------------------

CFirmwareResetDlg::CFirmwareResetDlg(QWidget* parent) : CDlgBase(parent) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    SetFrameFile(SkinName("skins\\Frame_common.bmp"), kDesignWidth, kDesignHeight);
    UseStandardCloseIds();
    UseStandardConfirmId();
}

void CFirmwareResetDlg::CreateControls(const Rect&) {
    AddControl(0, CloseButton(this, ScaledRect(405, 4, 420, 19)));
    AddControl(0, TextButton(this, kIdConfirm, ScaledRect(260, 110, 329, 130), L(4)));
    AddControl(0, TextButton(this, kIdCancel, ScaledRect(350, 110, 419, 130), L(5)));
    AddControl(0, std::make_unique<CStaticText>(this, kIdMessage, ScaledRect(10, 60, 419, 108), L(140),
                                                kMessageGrey, kDtCenter | kDtWordBreak));
}

void CFirmwareResetDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        SendMessage(kIdConfirm, static_cast<WParam>(kIdConfirm), kNotifyClick);
        return;
    case Qt::Key_Escape:
        event->accept(); // swallowed
        return;
    default:
        CDlgBase::keyPressEvent(event);
    }
}

// ---- CProgressBarDlg ---------------------------------------------------------------------

CProgressBarDlg::CProgressBarDlg(const QString& text, const QString&, QWidget* parent)
    : CDlgBase(parent), text_(text) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
}

bool CProgressBarDlg::OnInitDialog() {
    if (background_.IsNull()) LoadSkinBitmap(SkinFile(SkinName("skins\\Frame_progress_nr.bmp")), background_);
    if (bar_.IsNull()) LoadSkinBitmap(SkinFile(SkinName("skins\\Frame_progress_ov.bmp")), bar_);
    CDlgBase::OnInitDialog();
    // The animation runs on the window's own timer: each step repaints the band.
    progress_ = 0;
    started_ = true;
    StepWhileBehind();
    return true;
}

void CProgressBarDlg::FollowProgress(int percent) {
    // The first value replaces the run to 100 % the dialog makes by itself.
    const int p = std::clamp(percent, 0, 100);
    limit_ = following_ ? std::max(limit_, p) : p;
    following_ = true;
    if (started_) StepWhileBehind();
}

void CProgressBarDlg::StepWhileBehind() {
    if (progress_ < limit_ && !IsTimerArmed(kTimerStep) && !IsTimerArmed(kTimerEnd))
        SetTimer(kTimerStep, kStepMs);
}

void CProgressBarDlg::CreateControls(const Rect&) {
    auto text = std::make_unique<CStaticText>(this, kIdText, ScaledRect(10, 3, 164, 23), text_,
                                              Rgb(190, 190, 190), kDtLeft);
    text->SetFont(Scaled(18), QString::fromStdU16String(Language().Font().face));
    AddControl(0, std::move(text));
}

int CProgressBarDlg::BandWidth() const {
    return static_cast<int>(progress_ * kDesignWidth / 100 * UiScale());
}

void CProgressBarDlg::DrawUnderControls(QPainter& dc, const Rect&) {
    if (!background_.IsNull())
        StretchBitmap(dc, background_.image, QRect(0, 0, Scaled(kDesignWidth), Scaled(kDesignHeight)),
                      QRect(0, 0, kDesignWidth, kDesignHeight));
    const int band = BandWidth();
    if (!bar_.IsNull() && band > 0) {
        const int sourceWidth = progress_ * kDesignWidth / 100;
        StretchBitmap(dc, bar_.image, QRect(0, Scaled(66), band, Scaled(12)), QRect(0, 66, sourceWidth, 12));
    }
}

void CProgressBarDlg::OnTimer(int id) {
    if (id == kTimerStep) {
        if (progress_ < limit_) progress_ = std::min(limit_, progress_ + kStepPercent);
        InvalidateRect(Rect{0, Scaled(66), width(), Scaled(78)});
        if (progress_ >= 100) {
            KillTimer(kTimerStep);
            SetTimer(kTimerEnd, kEndDelayMs);
        } else if (progress_ >= limit_) {
            // Caught up with the work: wait for more progress.
            KillTimer(kTimerStep);
        }
    } else if (id == kTimerEnd) {
        KillTimer(kTimerEnd);
        background_ = SkinBitmap();
        bar_ = SkinBitmap();
        done(QDialog::Accepted);
    }
}

void CProgressBarDlg::keyPressEvent(QKeyEvent* event) {
    // The dialog ends by itself; keys do not end it early.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    CDlgBase::keyPressEvent(event);
}

} // namespace tarvik
