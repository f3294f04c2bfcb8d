#include "macro/ui/ShortcutDlg.h"

#include "macro/KeyCodes.h"
#include "macro/ui/DialogParts.h"
#include "skin/CheckButton.h"
#include "skin/ImageButton.h"
#include "skin/OpenDialogList.h"
#include "skin/StaticControls.h"
#include "text/Language.h"

namespace tarvik {

namespace {

// The boxes from left to right, with the modifier bit each stands for.
struct Box {
    int id;
    int left;
    const char* label;
    std::uint8_t bit;
};
constexpr Box kBoxes[] = {{CShortcutDlg::kIdShift, 25, "Shift", kModShift},
                          {CShortcutDlg::kIdCtrl, 82, "Ctrl", kModCtrl},
                          {CShortcutDlg::kIdAlt, 139, "Alt", kModAlt},
                          {CShortcutDlg::kIdWin, 196, "Win", kModWin}};

} // namespace

CShortcutDlg::CShortcutDlg(CDlgBase* owner) : CDlgBase(owner), owner_(owner) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    SetFrameFile(SkinName("skins\\Frame_common.bmp"), kDesignWidth, kDesignHeight);
    UseStandardCloseIds();
    Messages().Add(kIdConfirm, [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) Confirm();
        return 0;
    });
    Messages().Add(CKeyboardHook::kKeyMessage, CKeyboardHook::kKeyMessage, this, &CShortcutDlg::OnKey);
}

CShortcutDlg::~CShortcutDlg() {
    hook_.StopHook();
    LeaveOpenDialog(this);
}

bool CShortcutDlg::OnInitDialog() {
    CDlgBase::OnInitDialog();
    EnterOpenDialog(this);
    hook_.StartHook(this);
    return true;
}

void CShortcutDlg::CreateControls(const Rect&) {
    const QString face = QString::fromStdU16String(Language().Font().face);
    auto title = std::make_unique<CStaticText>(this, kIdTitle, ScaledRect(20, 3, 230, 27), LangText(180),
                                               Rgb(255, 255, 255), kDtLeft);
    title->SetFont(Scaled(18), face);
    AddControl(0, std::move(title));
    AddControl(0,
               MakeImageButton(this, kIdClose, ScaledRect(405, 4, 420, 19), QString(),
                               QStringLiteral("skins\\exit_nr.png"), QStringLiteral("skins\\exit_ov.png")));

    auto name = std::make_unique<CStaticText>(this, kIdKeyName, ScaledRect(25, 35, 183, 57), QString(),
                                              Rgb(0, 0, 0), kDtCenter | kDtSingleLine);
    name->SetFont(Scaled(22), QStringLiteral("Tahoma"));
    keyName_ = AddControl(0, std::move(name));

    for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
        const Box& b = kBoxes[i];
        auto box =
            std::make_unique<CCheckButton>(this, b.id, ScaledRect(b.left, 72, b.left + 11, 83), QString(), 0);
        box->LoadNormalImage(QStringLiteral("skins\\check_nr.png"));
        box->LoadHoverImage(QStringLiteral("skins\\check_ov.png"));
        box->LoadCheckedImage(QStringLiteral("skins\\check_dn.png"));
        boxes_[i] = AddControl(0, std::move(box));
        // The label reaches to the next box: the installed substitute for
        // Tahoma is wider, and "Shift" would not fit 30 pixels.
        AddControl(0, std::make_unique<CStaticText>(
                          this, kIdTitle, ScaledRect(b.left + 15, 70, b.left + 55, 88),
                          QString::fromLatin1(b.label), kTextNormal, kDtLeft | kDtSingleLine));
    }

    AddControl(0, MakeImageButton(this, kIdConfirm, ScaledRect(260, 110, 329, 130), LangText(4),
                                  QStringLiteral("skins\\button2_nr.png"),
                                  QStringLiteral("skins\\button2_ov.png")));
    AddControl(0, MakeImageButton(this, kIdCancel, ScaledRect(350, 110, 419, 130), LangText(5),
                                  QStringLiteral("skins\\button2_nr.png"),
                                  QStringLiteral("skins\\button2_ov.png")));
}

void CShortcutDlg::DrawUnderControls(QPainter& dc, const Rect&) {
    FillSolidRect(dc, ScaledRect(22, 35, 179, 57), Rgb(255, 255, 255));
}

std::uint8_t CShortcutDlg::Modifiers() const {
    std::uint8_t bits = 0;
    for (std::size_t i = 0; i < std::size(kBoxes); ++i)
        if (boxes_[i] && boxes_[i]->IsChecked()) bits |= kBoxes[i].bit;
    return bits;
}

LResult CShortcutDlg::OnKey(int, WParam wParam, LParam) {
    const auto code = static_cast<std::uint8_t>(wParam & 0xFF);
    // Codes 0-7 are no keys (a closing pop-up sends 1025 with 0); the modifier
    // keys come from the boxes. Presses and releases both count; the last wins.
    if (code <= 7 || IsShortcutModifierKey(code)) return 0;
    captured_ = code;
    if (keyName_) {
        keyName_->SetText(QString::fromStdU16String(KeyCodeName(code)));
        InvalidateRect(keyName_->GetRect());
    }
    return 0;
}

void CShortcutDlg::Confirm() {
    if (const std::optional<ButtonChoice> choice = ShortcutChoice(Modifiers(), captured_); choice && owner_)
        owner_->SendMessage(kResultMessage, 0, reinterpret_cast<LParam>(&*choice));
    ReleaseControlImages();
    done(QDialog::Accepted);
}

void CShortcutDlg::done(int result) {
    hook_.StopHook();
    CDlgBase::done(result);
}

} // namespace tarvik
