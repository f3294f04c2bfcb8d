#include "macro/ui/MacroSelectDlg.h"

#include <QKeyEvent>
#include <QWheelEvent>

#include "macro/MacroFiles.h"
#include "macro/ui/DialogParts.h"
#include "skin/OpenDialogList.h"
#include "skin/StaticControls.h"
#include "text/Language.h"

namespace tarvik {

CMacroSelectDlg::CMacroSelectDlg(CDlgBase* owner, MacroLibrary& library)
    : CDlgBase(owner), owner_(owner), library_(library), rows_(library, [this](int row) {
          selection_ = library_.LocationOfRow(row);
          Refresh();
      }) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    SetFrameFile(SkinName("skins\\Frame_Macro_Manager.bmp"), kDesignWidth, kDesignHeight);
    UseStandardCloseIds();
    Messages().Add(kIdConfirm, kIdConfirm, this, &CMacroSelectDlg::OnCommand);
    Messages().Add(kIdTree, kIdTree, this, &CMacroSelectDlg::OnCommand);
    Messages().Add(kIdTreeScroll, kIdTreeScroll, this, &CMacroSelectDlg::OnCommand);
    // Every folder closed, nothing selected.
    library_.CloseAllFolders();
}

CMacroSelectDlg::~CMacroSelectDlg() {
    LeaveOpenDialog(this);
}

bool CMacroSelectDlg::OnInitDialog() {
    CDlgBase::OnInitDialog();
    EnterOpenDialog(this);
    return true;
}

void CMacroSelectDlg::CreateControls(const Rect&) {
    // The title: the frame's header would be empty otherwise.
    auto title = std::make_unique<CStaticText>(this, kIdTitle, ScaledRect(20, 3, 230, 27), LangText(244),
                                               Rgb(255, 255, 255), kDtLeft);
    title->SetFont(Scaled(18), QString::fromStdU16String(Language().Font().face));
    AddControl(0, std::move(title));
    AddControl(0, std::make_unique<CStaticText>(this, kIdCaption, ScaledRect(24, 35, 124, 52), LangText(191),
                                                Rgb(180, 180, 180), kDtLeft | kDtSingleLine));
    auto tree = std::make_unique<CEditShowList>(this, ScaledRect(25, 54, 488, 323));
    tree->LoadImages();
    tree->SetRows(&rows_);
    tree_ = AddControl(0, std::move(tree));
    auto bar = std::make_unique<CVScrollBar>(this, kIdTreeScroll, ScaledRect(489, 53, 507, 324));
    bar->LoadArrows();
    scroll_ = ListScroll(tree_, AddControl(0, std::move(bar)));
    AddControl(0, MakeTextButton(this, kIdConfirm, ScaledRect(232, 333, 297, 356), LangText(4)));
    AddControl(0, MakeCloseButton(this, ScaledRect(505, 3, 520, 18)));
    Refresh();
}

void CMacroSelectDlg::DrawUnderControls(QPainter& dc, const Rect&) {
    FillSolidRect(dc, ScaledRect(24, 53, 489, 324), Rgb(148, 148, 148));
}

void CMacroSelectDlg::SelectNode(const MacroLocation& at) {
    if (at.stage >= 1)
        if (MacroItem* f = library_.NodeAt(MacroLocation::At(at.stage0Index))) f->FolderIsOpen = true;
    if (at.stage == 2)
        if (MacroItem* f = library_.NodeAt(MacroLocation::At(at.stage0Index, at.stage1Index)))
            f->FolderIsOpen = true;
    selection_ = at;
    Refresh();
}

void CMacroSelectDlg::Refresh() {
    if (!tree_) return;
    tree_->SetSelected(library_.RowOfLocation(selection_));
    tree_->EnsureVisible();
    scroll_.Sync();
    InvalidateAll();
}

LResult CMacroSelectDlg::OnCommand(int msg, WParam wParam, LParam event) {
    if (msg == kIdConfirm && event == kNotifyClick) Confirm();
    // A click selected a row (and may have opened a folder), a double click
    // opened or closed one: the rows and the bar follow.
    if (msg == kIdTree &&
        (event == kNotifyClick || event == kNotifyDoubleClick || event == kNotifyRightClick))
        Refresh();
    if (msg == kIdTreeScroll && scroll_.OnBarNotify(wParam, event)) InvalidateRect(scroll_.Area());
    return 0;
}

void CMacroSelectDlg::Confirm() {
    const MacroSelectResult r = ChooseMacro(library_, selection_);
    if (r.notice != Notice::None) {
        ShowNotice(this, r.notice); // the dialog stays
        return;
    }
    if (r.tooLongSteps > 0) {
        // The button keeps what it has: the dialog stays for another choice.
        ShowNoticeText(this, OwnText(ProgramText::MacroTooLongToChoose)
                                 .arg(r.tooLongSteps)
                                 .arg(int{MacroKey::kMaxMouseCommandActions}));
        return;
    }
    if (owner_) owner_->SendMessage(kResultMessage, 0, reinterpret_cast<LParam>(&r));
    ReleaseControlImages();
    done(QDialog::Accepted);
}

void CMacroSelectDlg::done(int result) {
    RejectChildDialogs(this);
    CDlgBase::done(result);
}

void CMacroSelectDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->accept(); // swallowed
        return;
    }
    CDlgBase::keyPressEvent(event);
}

void CMacroSelectDlg::wheelEvent(QWheelEvent* event) {
    event->accept();
    const int delta = event->angleDelta().y();
    if (delta == 0 || !scroll_.Covers(event->position().toPoint())) return;
    int notches = delta / 120;
    if (notches == 0) notches = delta > 0 ? 1 : -1;
    if (scroll_.ScrollBy(-notches)) InvalidateRect(scroll_.Area());
}

} // namespace tarvik
