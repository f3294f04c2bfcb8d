#include "macro/ui/FireKeyDlg.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "device/ui/NoticeDialogs.h"
#include "macro/ButtonFunctions.h"
#include "macro/ui/DialogParts.h"
#include "skin/EditBox.h"
#include "skin/ImageButton.h"
#include "skin/OpenDialogList.h"
#include "skin/StaticControls.h"
#include "text/Language.h"

namespace tarvik {

namespace {

bool IsEnterOrEscape(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

} // namespace

CFireKeyDlg::CFireKeyDlg(CDlgBase* owner) : CDlgBase(owner), owner_(owner) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    SetFrameFile(SkinName("skins\\Frame_common.bmp"), kDesignWidth, kDesignHeight);
    UseStandardCloseIds();
    Messages().Add(kIdConfirm, [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) Confirm();
        return 0;
    });
}

CFireKeyDlg::~CFireKeyDlg() {
    LeaveOpenDialog(this);
}

std::uint32_t CFireKeyDlg::LeadingNumber(const QString& text) {
    std::uint64_t n = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
        n = std::min<std::uint64_t>(n * 10 + static_cast<std::uint64_t>(c.unicode() - u'0'), 0xFFFFFFFFu);
    }
    return static_cast<std::uint32_t>(n);
}

bool CFireKeyDlg::OnInitDialog() {
    CDlgBase::OnInitDialog();
    EnterOpenDialog(this);
    SetTimer(kTimerCheck, kCheckMs);
    return true;
}

QLineEdit* CFireKeyDlg::MakeField(const Rect& r, const QString& text) {
    QLineEdit* edit = MakeEditBox(this, r, text);
    edit->setObjectName(QStringLiteral("edit%1").arg(kIdEdit));
    edit->installEventFilter(this);
    edit->show();
    return edit;
}

void CFireKeyDlg::CreateControls(const Rect&) {
    const QString face = QString::fromStdU16String(Language().Font().face);
    auto title = std::make_unique<CStaticText>(this, kIdText, ScaledRect(20, 3, 230, 27), LangText(170),
                                               Rgb(255, 255, 255), kDtLeft);
    title->SetFont(Scaled(18), face);
    AddControl(0, std::move(title));
    AddControl(0,
               MakeImageButton(this, kIdClose, ScaledRect(405, 4, 420, 19), QString(),
                               QStringLiteral("skins\\exit_nr.png"), QStringLiteral("skins\\exit_ov.png")));
    AddControl(0, MakeImageButton(this, kIdConfirm, ScaledRect(350, 110, 419, 130), LangText(4),
                                  QStringLiteral("skins\\button2_nr.png"),
                                  QStringLiteral("skins\\button2_ov.png")));
    // Cancel sits left of OK on the button row: at (240, 70) it would cover the
    // second field's edge and the explanation below the fields.
    AddControl(0, MakeImageButton(this, kIdCancel, ScaledRect(260, 110, 329, 130), LangText(5),
                                  QStringLiteral("skins\\button2_nr.png"),
                                  QStringLiteral("skins\\button2_ov.png")));
    AddControl(0, std::make_unique<CStaticText>(this, kIdText, ScaledRect(70, 30, 280, 48), LangText(171),
                                                kTextNormal, kDtLeft | kDtSingleLine));
    AddControl(0, std::make_unique<CStaticText>(this, kIdText, ScaledRect(250, 30, 460, 48), LangText(172),
                                                kTextNormal, kDtLeft | kDtSingleLine));
    AddControl(0, std::make_unique<CStaticText>(this, kIdText, ScaledRect(70, 75, 420, 111), LangText(173),
                                                kTextNormal, kDtLeft | kDtWordBreak));
    first_ = MakeField(ScaledRect(70, 50, 168, 72), QStringLiteral("50"));
    second_ = MakeField(ScaledRect(250, 50, 348, 72), QStringLiteral("0"));
    first_->setFocus();
}

void CFireKeyDlg::OnTimer(int id) {
    if (id == kTimerCheck) CorrectFields();
}

bool CFireKeyDlg::CorrectFields() {
    // A tick while a notice is open waits: the notice is modal and ticks keep coming.
    if (notice_ || !first_ || !second_) return false;
    bool corrected = false;
    if (LeadingNumber(first_->text()) >= 256) {
        first_->setText(QStringLiteral("255"));
        corrected = true;
        if (!ShowNotice(Notice::FireRateTooLow)) return true;
    }
    if (second_ && LeadingNumber(second_->text()) > 255) {
        second_->setText(QStringLiteral("255"));
        corrected = true;
        if (!ShowNotice(Notice::FireCountTooHigh)) return true;
    }
    return corrected;
}

bool CFireKeyDlg::ShowNotice(Notice notice) {
    if (notice_ || !isVisible()) return true;
    QPointer<CFireKeyDlg> self(this);
    notice_ = new CAttentionDlg(LangText(kAttentionTitleString), LangText(NoticeString(notice)), this);
    notice_->exec();
    // The notice is this dialog's child: if the dialog went while the notice
    // was open, the notice went with it.
    if (!self) return false;
    delete notice_.data();
    return true;
}

CDlgBase* CFireKeyDlg::OpenNotice() const {
    return notice_.data();
}

void CFireKeyDlg::done(int result) {
    // A close request while a notice is open ends both.
    if (notice_) notice_->reject();
    KillTimer(kTimerCheck);
    CDlgBase::done(result);
}

void CFireKeyDlg::Confirm() {
    if (!first_ || !second_) return;
    // A value the tick has not corrected yet is corrected now, and the user
    // sees it before anything is stored.
    if (CorrectFields() || !first_ || !second_) return;
    const FireKeyResult r = FireKeyChoice(LeadingNumber(first_->text()), LeadingNumber(second_->text()));
    if (r.notice != Notice::None) {
        ShowNotice(r.notice); // the dialog stays open
        return;
    }
    if (r.choice && owner_) owner_->SendMessage(kResultMessage, 0, reinterpret_cast<LParam>(&*r.choice));
    ReleaseControlImages();
    done(QDialog::Accepted);
}

void CFireKeyDlg::keyPressEvent(QKeyEvent* event) {
    if (IsEnterOrEscape(event->key())) {
        event->accept(); // swallowed
        return;
    }
    CDlgBase::keyPressEvent(event);
}

bool CFireKeyDlg::eventFilter(QObject* watched, QEvent* event) {
    const bool field = watched == first_.data() || watched == second_.data();
    if (field && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsEnterOrEscape(key->key())) return true;
        // A typed character other than a digit is still entered; the notice
        // follows once the field has it.
        const QString text = key->text();
        if (!text.isEmpty() && text.front().isPrint() &&
            (text.front() < QLatin1Char('0') || text.front() > QLatin1Char('9'))) {
            QMetaObject::invokeMethod(
                this, [this] { ShowNotice(Notice::DigitsOnly); }, Qt::QueuedConnection);
        }
    }
    return CDlgBase::eventFilter(watched, event);
}

} // namespace tarvik
