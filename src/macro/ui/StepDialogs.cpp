#include "macro/ui/StepDialogs.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "macro/KeyCodes.h"
#include "macro/StepRules.h"
#include "macro/ui/DialogParts.h"
#include "skin/OpenDialogList.h"
#include "skin/StaticControls.h"
#include "text/Language.h"

namespace tarvik {

namespace {

bool IsEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

int MoveTitle(int kind) {
    // 222-225: left, right, up, down, as the kinds 5-8.
    return 222 + std::clamp(kind, int{kMoveLeft}, int{kMoveDown}) - kMoveLeft;
}

} // namespace

// ---- the shared layout ----------------------------------------------------------------

CMacroFieldDlg::CMacroFieldDlg(QWidget* parent, int titleString, bool wideTitle, FieldKind kind,
                               QString initial)
    : CDlgBase(parent), titleString_(titleString), wideTitle_(wideTitle), kind_(kind),
      initial_(std::move(initial)), text_(initial_) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    SetFrameFile(SkinName("skins\\Frame_warning.bmp"), kDesignWidth, kDesignHeight);
    UseStandardCloseIds();
    Messages().Add(kIdConfirm, [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) Confirm();
        return 0;
    });
}

CMacroFieldDlg::~CMacroFieldDlg() {
    LeaveOpenDialog(this);
}

bool CMacroFieldDlg::OnInitDialog() {
    CDlgBase::OnInitDialog();
    EnterOpenDialog(this);
    return true;
}

void CMacroFieldDlg::CreateControls(const Rect&) {
    auto title = std::make_unique<CStaticText>(this, kIdTitle, ScaledRect(10, 3, wideTitle_ ? 300 : 220, 21),
                                               LangText(titleString_), Rgb(255, 255, 255), kDtLeft);
    title->SetFont(Scaled(18), QString::fromStdU16String(Language().Font().face));
    AddControl(0, std::move(title));
    AddControl(0, MakeCloseButton(this, ScaledRect(300, 4, 315, 19)));
    AddControl(0, MakeTextButton(this, kIdConfirm, ScaledRect(170, 70, 235, 93), LangText(4)));
    AddControl(0, MakeTextButton(this, kIdCancel, ScaledRect(240, 70, 305, 93), LangText(5)));
    const Rect field = ScaledRect(11, 40, 306, 62);
    if (kind_ == FieldKind::KeyName) {
        auto text = std::make_unique<CStaticText>(this, kIdKeyText, field, initial_, Rgb(0, 0, 0),
                                                  kDtCenter | kDtSingleLine);
        text->SetFont(Scaled(22), QStringLiteral("Tahoma"));
        keyText_ = AddControl(0, std::move(text));
        return;
    }
    edit_ = MakeEditField(this, field, initial_, Rgb(0, 0, 0), Rgb(255, 255, 255));
    edit_->setObjectName(QStringLiteral("edit%1").arg(kIdEdit));
    edit_->installEventFilter(this);
    edit_->setFocus();
}

void CMacroFieldDlg::DrawUnderControls(QPainter& dc, const Rect&) {
    FillSolidRect(dc, ScaledRect(11, 40, 306, 62), Rgb(255, 255, 255));
}

QString CMacroFieldDlg::Text() const {
    return edit_ ? edit_->text() : text_;
}

void CMacroFieldDlg::Confirm() {
    ReleaseControlImages();
    done(QDialog::Accepted);
}

void CMacroFieldDlg::done(int result) {
    if (edit_) text_ = edit_->text();
    RejectChildDialogs(this);
    CDlgBase::done(result);
}

void CMacroFieldDlg::keyPressEvent(QKeyEvent* event) {
    if (IsEnter(event->key()) || event->key() == Qt::Key_Escape) {
        event->accept(); // swallowed: OK and cancel are clicked
        return;
    }
    CDlgBase::keyPressEvent(event);
}

bool CMacroFieldDlg::eventFilter(QObject* watched, QEvent* event) {
    // The field takes the focus with its text selected; the caret starts at the
    // end of the text instead.
    if (watched == edit_.data() && event->type() == QEvent::FocusIn && !caretPlaced_) {
        caretPlaced_ = true;
        QMetaObject::invokeMethod(
            edit_.data(),
            [e = edit_.data()] {
                e->deselect();
                e->end(false);
            },
            Qt::QueuedConnection);
    }
    if (watched == edit_.data() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsEnter(key->key())) {
            Confirm();
            return true;
        }
        if (key->key() == Qt::Key_Escape) return true;
        // The character is still entered; the notice follows once the field has it.
        if (kind_ == FieldKind::DigitsEdit && IsNonDigitCharacter(key->text()))
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (isVisible()) ShowNotice(this, Notice::DigitsOnly);
                },
                Qt::QueuedConnection);
    }
    return CDlgBase::eventFilter(watched, event);
}

// ---- key ------------------------------------------------------------------------------

CActionKeyModifyDlg::CActionKeyModifyDlg(QWidget* parent, const MacroAction& step)
    : CMacroFieldDlg(parent, 221, false, FieldKind::KeyName,
                     QString::fromStdU16String(KeyCodeName(step.b[0]))),
      code_(step.b[0]) {
    Messages().Add(CKeyboardHook::kKeyMessage, CKeyboardHook::kKeyMessage, this, &CActionKeyModifyDlg::OnKey);
}

CActionKeyModifyDlg::~CActionKeyModifyDlg() {
    StopCapture();
}

bool CActionKeyModifyDlg::OnInitDialog() {
    CMacroFieldDlg::OnInitDialog();
    hookRunning_ = hook_.StartHook(this) != 0;
    return true;
}

LResult CActionKeyModifyDlg::OnKey(int, WParam wParam, LParam) {
    const auto code = static_cast<std::uint8_t>(wParam & 0xFF);
    // Codes 0-7 are no keys (a closing pop-up sends 1025 with 0).
    if (code <= 7 || !hookRunning_) return 0;
    code_ = code;
    if (CStaticText* text = KeyText()) {
        text->SetText(QString::fromStdU16String(KeyCodeName(code)));
        InvalidateRect(text->GetRect());
    }
    return 0;
}

void CActionKeyModifyDlg::StopCapture() {
    if (!hookRunning_) return;
    hookRunning_ = false;
    hook_.StopHook();
}

void CActionKeyModifyDlg::done(int result) {
    StopCapture();
    CMacroFieldDlg::done(result);
}

// ---- delay ----------------------------------------------------------------------------

CActionTimeModifyDlg::CActionTimeModifyDlg(QWidget* parent, const MacroAction& step)
    : CMacroFieldDlg(parent, 220, false, FieldKind::DigitsEdit,
                     QString::fromStdU16String(DelayFieldText(step))) {}

MacroAction CActionTimeModifyDlg::Step() const {
    return DelayStepFromText(Text().toStdU16String());
}

// ---- movement -------------------------------------------------------------------------

CActionXYModifyDlg::CActionXYModifyDlg(QWidget* parent, const MacroAction& step, int kind)
    : CMacroFieldDlg(parent, MoveTitle(kind), true, FieldKind::DigitsEdit,
                     QString::fromStdU16String(MoveFieldText(step))),
      kind_(kind), b1_(step.b[1]) {}

MacroAction CActionXYModifyDlg::Step() const {
    return MoveStepFromText(Text().toStdU16String(), kind_, b1_);
}

// ---- names ----------------------------------------------------------------------------

CMacroKeyOrFolderNameDlg::CMacroKeyOrFolderNameDlg(QWidget* parent, bool folder)
    : CMacroFieldDlg(parent, folder ? 243 : 239, true, FieldKind::Edit, QString()), folder_(folder) {}

CMacroKeyRenameDlg::CMacroKeyRenameDlg(QWidget* parent, const std::u16string& current)
    : CMacroFieldDlg(parent, 238, true, FieldKind::Edit, QString::fromStdU16String(current)),
      current_(current) {}

void CMacroKeyRenameDlg::Confirm() {
    const bool changed = RenameChanged(current_, Text().toStdU16String());
    ReleaseControlImages();
    done(changed ? QDialog::Accepted : QDialog::Rejected);
}

} // namespace tarvik
