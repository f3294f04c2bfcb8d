#include "macro/ui/MacroManagerDlg.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

#include "macro/MacroFiles.h"
#include "macro/ui/DialogParts.h"
#include "macro/ui/StepDialogs.h"
#include "skin/CheckButton.h"
#include "skin/ComboButton.h"
#include "skin/OpenDialogList.h"
#include "skin/RadioButton.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "widgets/Popups.h"

namespace tarvik {

namespace {

constexpr Colour kLabelGrey = Rgb(180, 180, 180);
constexpr Colour kListFrame = Rgb(148, 148, 148);
constexpr Colour kCountText = Rgb(180, 180, 180);
constexpr Colour kCountBackground = Rgb(20, 20, 20);
constexpr Colour kOverLimitText = Rgb(255, 140, 60);

std::filesystem::path PathOf(const QString& file) {
    return std::filesystem::path(QFile::encodeName(file).toStdString());
}

bool IsEnterOrEscape(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

} // namespace

// Counts the dialogs the window runs on top of itself. A close request that
// comes while one runs ends that dialog; the window then closes once the
// handler that ran it has finished, so what the handler takes back (a step
// inserted for a cancelled editor) is taken back before the library is saved.
class CMacroManagerDlg::ModalScope {
public:
    explicit ModalScope(CMacroManagerDlg& dlg) : dlg_(dlg) { ++dlg_.modalDepth_; }
    ~ModalScope() {
        if (--dlg_.modalDepth_ > 0 || !dlg_.closeRequested_ || dlg_.closing_) return;
        QMetaObject::invokeMethod(
            &dlg_, [d = &dlg_] { d->CloseWithSave(QDialog::Rejected); }, Qt::QueuedConnection);
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

private:
    CMacroManagerDlg& dlg_;
};

CMacroManagerDlg::CMacroManagerDlg(QWidget* owner, MacroLibrary& library, std::filesystem::path libraryFile,
                                   KeysFn currentKeys)
    : CDlgBase(owner), editor_(library, libraryFile), saver_(libraryFile),
      currentKeys_(std::move(currentKeys)), fileDialog_(&RunFileDialog), treeRows_(library, [this](int row) {
          editor_.SelectRow(row);
          RefreshSelection();
      }) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    SetFrameFile(SkinName("skins\\Frame_Macro_Manager.bmp"), kDesignWidth, kDesignHeight);
    Radios().AddGroup(13, {kIdLoopOnce, kIdLoopHeld, kIdLoopCount});
    Radios().SetWord(0);
    Messages().Add(CKeyboardHook::kKeyMessage, CKeyboardHook::kKeyMessage, this, &CMacroManagerDlg::OnKey);
    Messages().Add(kInsertComboMessage, kTreeMenuClosed, this, &CMacroManagerDlg::OnPopup);
    Messages().Add(kIdClose, kIdInsert, this, &CMacroManagerDlg::OnCommand);
    // The library is written on the saver's thread; the result comes back here.
    editor_.SetSaveHandler([this] {
        saver_.Save(editor_.Library(), [this](const FileResult& r) { OnSaved(r); });
        return FileResult();
    });
    // The manager's creation: every folder closed, nothing selected.
    editor_.Open();
}

CMacroManagerDlg::~CMacroManagerDlg() {
    // The base class hides the dialog, and the count field then loses the
    // focus and finishes its edit: its handler must not reach the editor,
    // which is gone by then.
    if (countEdit_) countEdit_->disconnect(this);
    hook_.StopHook();
    LeaveOpenDialog(this);
}

bool CMacroManagerDlg::OnInitDialog() {
    CDlgBase::OnInitDialog();
    EnterOpenDialog(this);
    return true;
}

void CMacroManagerDlg::CreateControls(const Rect&) {
    auto label = [this](int id, int l, int t, int r, int b, int text) {
        // Ten pixels inside the dialog's right edge ("Press again to stop" ran
        // to 5 pixels from it); a longer text is drawn in a smaller size.
        auto c = std::make_unique<CStaticText>(this, id, ScaledRect(l, t, std::min(r, kDesignWidth - 10), b),
                                               LangText(text), kLabelGrey, kDtLeft | kDtSingleLine);
        c->FitFontToText();
        return AddControl(0, std::move(c));
    };
    // The title: the frame's header would be empty otherwise.
    auto title = std::make_unique<CStaticText>(this, kIdTitle, ScaledRect(20, 3, 230, 27), LangText(240),
                                               Rgb(255, 255, 255), kDtLeft);
    title->SetFont(Scaled(18), QString::fromStdU16String(Language().Font().face));
    AddControl(0, std::move(title));
    label(2025, 24, 35, 124, 52, 191);
    label(2026, 189, 35, 289, 52, 192);
    auto stepCount = std::make_unique<CStaticText>(this, kIdStepCount, ScaledRect(240, 35, 352, 52),
                                                   QString(), kOverLimitText, kDtRight | kDtSingleLine);
    stepCount->SetVisible(false);
    stepCount_ = AddControl(0, std::move(stepCount));

    auto tree = std::make_unique<CEditShowList>(this, ScaledRect(25, 54, 168, 323));
    tree->LoadImages();
    tree->SetRows(&treeRows_);
    tree_ = AddControl(0, std::move(tree));
    auto treeBar = std::make_unique<CVScrollBar>(this, kIdTreeScroll, ScaledRect(169, 53, 187, 324));
    treeBar->LoadArrows();
    treeScroll_ = ListScroll(tree_, AddControl(0, std::move(treeBar)));

    auto steps = std::make_unique<CImageShowList>(this, ScaledRect(190, 54, 333, 323));
    steps->LoadImages();
    steps->SetSteps(&stepRows_);
    steps_ = AddControl(0, std::move(steps));
    auto stepBar = std::make_unique<CVScrollBar>(this, kIdStepScroll, ScaledRect(334, 53, 352, 324));
    stepBar->LoadArrows();
    stepScroll_ = ListScroll(steps_, AddControl(0, std::move(stepBar)));

    AddControl(0, MakeCloseButton(this, ScaledRect(505, 3, 520, 18)));

    auto record = std::make_unique<CCheckButton>(this, kIdRecord, ScaledRect(370, 53, 460, 71), QString(), 1);
    record->LoadNormalImage(SkinName("skins\\macro_record_nr.png"));
    record->LoadHoverImage(SkinName("skins\\macro_record_nr.png"));
    record->LoadCheckedImage(SkinName("skins\\macro_record_dn.png"));
    record->SetStateTexts(LangText(198), LangText(199));
    record_ = AddControl(0, std::move(record));

    auto delays =
        std::make_unique<CCheckButton>(this, kIdRecordDelays, ScaledRect(370, 86, 381, 97), QString(), 0);
    delays->LoadNormalImage(SkinName("skins\\check_nr.png"));
    delays->LoadHoverImage(SkinName("skins\\check_ov.png"));
    delays->LoadCheckedImage(SkinName("skins\\check_dn.png"));
    delays->SetChecked(editor_.RecordsDelays());
    delays_ = AddControl(0, std::move(delays));
    label(2027, 390, 84, 590, 102, 193);

    struct Loop {
        int id, top, text;
    };
    for (const Loop& loop :
         {Loop{kIdLoopOnce, 113, 194}, Loop{kIdLoopHeld, 141, 195}, Loop{kIdLoopCount, 169, 196}}) {
        auto radio = std::make_unique<CRadioButton>(this, loop.id,
                                                    ScaledRect(368, loop.top, 383, loop.top + 15), QString());
        radio->LoadNormalImage(SkinName("skins\\radio_nr.png"));
        radio->LoadHoverImage(SkinName("skins\\radio_ov.png"));
        radio->LoadSelectedImage(SkinName("skins\\radio_dn.png"));
        AddControl(0, std::move(radio));
        label(2028 + loop.id - kIdLoopOnce, 390, loop.top, 590, loop.top + 17, loop.text);
    }
    countEdit_ = MakeEditField(this, ScaledRect(392, 190, 470, 210), QString(), kCountText, kCountBackground);
    countEdit_->setObjectName(QStringLiteral("edit%1").arg(kIdCountEdit));
    countEdit_->installEventFilter(this);
    connect(countEdit_.data(), &QLineEdit::textEdited, this, [this](const QString& t) { OnCountEdited(t); });
    // A field left empty shows the count again.
    connect(countEdit_.data(), &QLineEdit::editingFinished, this, [this] {
        if (!countEdit_) return;
        if (const auto text = editor_.FinishLoopCountText(countEdit_->text().toStdU16String()))
            countEdit_->setText(QString::fromStdU16String(*text));
    });

    label(2026, 370, 230, 470, 247, 197);
    auto insert = std::make_unique<CComboButton>(this, kInsertComboMessage, kIdInsert,
                                                 ScaledRect(370, 250, 487, 264), QString(), 0, QString());
    insert->LoadNormalImage(SkinName("skins\\combo3_nr.png"));
    insert->LoadHoverImage(SkinName("skins\\combo3_ov.png"));
    insert_ = AddControl(0, std::move(insert));

    // Where keys typed into other programs cannot be recorded, one line says so.
    auto note = std::make_unique<CStaticText>(this, kIdCaptureNote, ScaledRect(368, 272, 518, 326), QString(),
                                              kLabelGrey, kDtLeft | kDtWordBreak);
    note->SetFont(Scaled(13), QString::fromStdU16String(Language().Font().face));
    note->SetVisible(false);
    captureNote_ = AddControl(0, std::move(note));

    AddControl(0, MakeTextButton(this, kIdNewMacro, ScaledRect(24, 333, 89, 356), LangText(200)));
    AddControl(0, MakeTextButton(this, kIdDeleteNode, ScaledRect(104, 333, 169, 356), LangText(202)));
    AddControl(0, MakeTextButton(this, kIdEditStep, ScaledRect(189, 333, 254, 356), LangText(201)));
    AddControl(0, MakeTextButton(this, kIdDeleteStep, ScaledRect(269, 333, 334, 356), LangText(202)));
    // No OK or cancel: the library is saved as it is edited, and buttons that
    // did nothing would only mislead.

    RefreshSelection();
}

void CMacroManagerDlg::DrawUnderControls(QPainter& dc, const Rect&) {
    // One-pixel frames around the two lists.
    FillSolidRect(dc, ScaledRect(24, 53, 169, 324), kListFrame);
    FillSolidRect(dc, ScaledRect(189, 53, 334, 324), kListFrame);
}

// ---- what the window shows --------------------------------------------------------------

void CMacroManagerDlg::SelectNode(const MacroLocation& at) {
    editor_.Select(at);
    RevealSelection();
    RefreshSelection();
}

void CMacroManagerDlg::RevealSelection() {
    MacroLibrary& library = editor_.Library();
    const MacroLocation at = editor_.Selection();
    if (at.stage >= 1)
        if (MacroItem* f = library.NodeAt(MacroLocation::At(at.stage0Index)); f && !f->FolderIsOpen)
            f->FolderIsOpen = true;
    if (at.stage == 2)
        if (MacroItem* f = library.NodeAt(MacroLocation::At(at.stage0Index, at.stage1Index));
            f && !f->FolderIsOpen)
            f->FolderIsOpen = true;
}

void CMacroManagerDlg::RefreshSelection() {
    if (!tree_) return;
    // Another node was selected during a recording: the recording has ended.
    if (record_ && record_->IsChecked() && !editor_.Recording()) EndRecording(false);
    tree_->SetSelected(editor_.Library().RowOfLocation(editor_.Selection()));
    tree_->EnsureVisible();
    treeScroll_.Sync();
    RefreshSteps(false);
    RefreshLoopControls();
    InvalidateAll();
}

void CMacroManagerDlg::RefreshSteps(bool scrollToEnd) {
    if (!steps_) return;
    const MacroKey* current = editor_.CurrentMacro();
    stepRows_.SetMacro(current);
    if (current != shownMacro_) {
        shownMacro_ = current;
        steps_->SetFirst(0);
    }
    steps_->SetSelected(editor_.SelectedStep());
    if (scrollToEnd)
        stepScroll_.ScrollToEnd();
    else
        steps_->EnsureVisible();
    stepScroll_.Sync();
    InvalidateRect(stepScroll_.Area());
    if (stepCount_) {
        const std::optional<int> over = editor_.StepsOverMouseLimit();
        stepCount_->SetText(!over ? QString()
                                  : OwnText(ProgramText::StepsOverMouseLimit)
                                        .arg(*over)
                                        .arg(int{MacroKey::kMaxMouseCommandActions}));
        stepCount_->SetVisible(over.has_value());
        InvalidateRect(stepCount_->GetRect());
    }
}

void CMacroManagerDlg::RefreshLoopControls() {
    const int radio = editor_.LoopRadio();
    switch (radio) {
    case 1:
        Radios().Select(kIdLoopOnce);
        break;
    case 4:
        Radios().Select(kIdLoopHeld);
        break;
    case 2:
        Radios().Select(kIdLoopCount);
        break;
    default:
        Radios().ClearGroup(kIdLoopOnce);
        break;
    }
    if (!countEdit_) return;
    // The count field is shown only for loop type 2.
    if (radio == 2) {
        const QString text = QString::fromStdU16String(editor_.LoopCountText());
        if (countEdit_->text() != text) countEdit_->setText(text);
    }
    countEdit_->setVisible(radio == 2);
}

void CMacroManagerDlg::SetScrollBarsEnabled(bool on) {
    if (treeScroll_.Bar()) treeScroll_.Bar()->SetDisabled(!on);
    if (stepScroll_.Bar()) stepScroll_.Bar()->SetDisabled(!on);
}

void CMacroManagerDlg::TakeStepSelection() {
    if (steps_) editor_.SelectStep(steps_->Selected());
}

// ---- messages -----------------------------------------------------------------------------

LResult CMacroManagerDlg::OnCommand(int msg, WParam wParam, LParam event) {
    if (closing_) return 0; // the window waits for its last save
    switch (msg) {
    case kIdClose:
        if (event == kNotifyClick) CloseWithSave(QDialog::Accepted);
        break;
    case kIdNewMacro:
        if (event == kNotifyClick) RunTreeCommand(kCmdNewMacro);
        break;
    case kIdDeleteNode:
        if (event == kNotifyClick) RunTreeCommand(kCmdDelete);
        break;
    case kIdEditStep:
        if (event == kNotifyClick) EditStep();
        break;
    case kIdDeleteStep:
        if (event == kNotifyClick) DeleteStep();
        break;
    case kIdRecord:
        if (event == kNotifyClick) ToggleRecording();
        break;
    case kIdRecordDelays:
        if (event == kNotifyClick && delays_) editor_.SetRecordDelays(delays_->IsChecked());
        break;
    case kIdLoopOnce:
    case kIdLoopHeld:
    case kIdLoopCount:
        if (event == kNotifyClick) {
            const std::uint8_t type = msg == kIdLoopOnce ? 1 : msg == kIdLoopHeld ? 4 : 2;
            editor_.SetLoopType(type); // without a macro the radios are cleared
            RefreshLoopControls();
            InvalidateAll();
        }
        break;
    case kIdTree:
        if (event == kNotifyRightClick)
            OpenTreeMenu(*reinterpret_cast<const QPoint*>(wParam));
        else if (event == kNotifyClick || event == kNotifyDoubleClick)
            RefreshSelection(); // a folder may have opened or closed
        break;
    case kIdSteps:
        if (event == kNotifyClick)
            TakeStepSelection();
        else if (event == kNotifyDoubleClick)
            EditStep();
        break;
    case kIdTreeScroll:
        if (treeScroll_.OnBarNotify(wParam, event)) InvalidateRect(treeScroll_.Area());
        break;
    case kIdStepScroll:
        if (stepScroll_.OnBarNotify(wParam, event)) InvalidateRect(stepScroll_.Area());
        break;
    default:
        break;
    }
    return 0;
}

LResult CMacroManagerDlg::OnKey(int, WParam wParam, LParam lParam) {
    if (!editor_.Recording() || closing_) return 0;
    const MacroEditor::KeyResult r =
        editor_.OnKeyMessage(static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam));
    if (r.added) RefreshSteps(true);
    if (r.stopped) EndRecording(true); // its save is on the way
    return 0;
}

LResult CMacroManagerDlg::OnPopup(int msg, WParam, LParam lParam) {
    if (closing_) return 0;
    const auto* result = reinterpret_cast<const PopupResult*>(lParam);
    switch (msg) {
    case kInsertComboMessage:
        if (lParam == kNotifyClick) OpenInsertPopup();
        break;
    case kInsertChosen:
        if (result && result->codeCount > 0) pendingInsert_ = result->code[0];
        [[fallthrough]];
    case kInsertClosed:
        if (insert_) insert_->SetOpen(false);
        ClosePopup(kInsertPopupSlot);
        if (insert_) InvalidateRect(insert_->GetRect());
        break;
    case kTreeMenuChosen:
        if (result && result->codeCount > 0) pendingTreeCommand_ = result->code[0];
        [[fallthrough]];
    case kTreeMenuClosed:
        ClosePopup(kTreeMenuSlot);
        break;
    default:
        break;
    }
    // A choice runs once the pop-up has closed and this handler has returned.
    if (msg == kInsertChosen || msg == kTreeMenuChosen)
        QMetaObject::invokeMethod(
            this, [this] { RunPending(); }, Qt::QueuedConnection);
    return 0;
}

// ---- pop-ups -------------------------------------------------------------------------------

void CMacroManagerDlg::OpenInsertPopup() {
    if (!insert_ || closeRequested_) return;
    ClosePopup(kInsertPopupSlot);
    auto* popup = new CComboActionInsertPopup();
    const Rect r = insert_->GetRect();
    const QPoint at = mapToGlobal(QPoint(r.left, r.bottom));
    popup->Create(this, Rect{at.x(), at.y(), at.x() + r.Width(), at.y() + r.Height()}, kInsertChosen,
                  kIdInsert);
    SetPopup(kInsertPopupSlot, popup);
    insert_->SetOpen(true);
    InvalidateRect(r);
}

void CMacroManagerDlg::OpenTreeMenu(QPoint point) {
    if (closeRequested_) return;
    ClosePopup(kTreeMenuSlot);
    const MacroItem* node = editor_.Library().NodeAt(editor_.Selection());
    auto* popup = new CMacroListPopup(!node ? 0 : node->IsFolder ? 2 : 1);
    const QPoint at = mapToGlobal(point);
    popup->Create(this, Rect{at.x(), at.y(), at.x() + 1, at.y() + 1}, kTreeMenuChosen, kIdTree);
    SetPopup(kTreeMenuSlot, popup);
    RefreshSelection();
}

void CMacroManagerDlg::RunPending() {
    if (closeRequested_ || closing_) {
        pendingInsert_.reset();
        pendingTreeCommand_.reset();
        return;
    }
    if (const std::optional<int> kind = std::exchange(pendingInsert_, std::nullopt)) InsertStep(*kind);
    if (const std::optional<int> command = std::exchange(pendingTreeCommand_, std::nullopt))
        RunTreeCommand(*command);
}

// ---- recording ----------------------------------------------------------------------------

void CMacroManagerDlg::ToggleRecording() {
    if (!record_) return;
    if (!record_->IsChecked()) {
        hook_.StopHook();
        // The end of the recording saves; the result comes back to OnSaved.
        [[maybe_unused]] const FileResult handedOver = editor_.StopRecording();
        EndRecording(false);
        return;
    }
    if (const Notice n = editor_.StartRecording(); n != Notice::None) {
        record_->SetChecked(false);
        InvalidateRect(record_->GetRect());
        Tell(n);
        return;
    }
    hook_.StartHook(this, CKeyboardHook::Scope::Global);
    if (!hook_.CapturesGlobally() && captureNote_) {
        captureNote_->SetText(CKeyboardHook::GlobalCaptureProblem());
        captureNote_->SetVisible(true);
    }
    SetScrollBarsEnabled(false);
    RefreshSteps(false);
    InvalidateAll();
}

void CMacroManagerDlg::StopRecordingFirst() {
    if (!editor_.Recording()) return;
    hook_.StopHook();
    // The end of the recording saves; the result comes back to OnSaved.
    [[maybe_unused]] const FileResult handedOver = editor_.StopRecording();
    EndRecording(false);
}

void CMacroManagerDlg::EndRecording(bool limitReached) {
    hook_.StopHook();
    if (record_) record_->SetChecked(false);
    SetScrollBarsEnabled(true);
    InvalidateAll();
    if (limitReached) Tell(Notice::RecordingLimit);
}

void CMacroManagerDlg::OnSaved(const FileResult& result) {
    lastSave_ = result;
    // The user hears of a failed save, also on the close button; on a close
    // request the program is ending and the failure is in the log.
    if (!result) Tell(Notice::LibraryNotSaved);
    if (closing_ && saver_.Pending() == 0) FinishClose();
}

// ---- steps --------------------------------------------------------------------------------

StepDialogs CMacroManagerDlg::Dialogs() {
    StepDialogs d;
    d.key = [this](const MacroAction& step) -> std::optional<std::uint8_t> {
        CActionKeyModifyDlg dlg(this, step);
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        return dlg.Code();
    };
    d.delay = [this](const MacroAction& step) -> std::optional<std::u16string> {
        CActionTimeModifyDlg dlg(this, step);
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        return dlg.Text().toStdU16String();
    };
    d.move = [this](const MacroAction& step, int kind) -> std::optional<std::u16string> {
        CActionXYModifyDlg dlg(this, step, kind);
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        return dlg.Text().toStdU16String();
    };
    return d;
}

void CMacroManagerDlg::InsertStep(int kind) {
    TakeStepSelection();
    // The key capture pauses while a step editor is open, so what is typed
    // there is not recorded.
    const bool paused = editor_.Recording() && hook_.IsStarted();
    if (paused) hook_.StopHook();
    Notice n = Notice::None;
    {
        ModalScope scope(*this);
        n = editor_.InsertStep(kind, Dialogs());
    }
    RefreshSteps(false);
    // A refusal is shown before the capture resumes, so keys typed at the
    // notice are not recorded either.
    Tell(n);
    if (paused && editor_.Recording() && !closeRequested_ && !closing_)
        hook_.StartHook(this, CKeyboardHook::Scope::Global);
}

void CMacroManagerDlg::EditStep() {
    TakeStepSelection();
    const bool paused = editor_.Recording() && hook_.IsStarted();
    if (paused) hook_.StopHook();
    {
        ModalScope scope(*this);
        editor_.EditStep(Dialogs());
    }
    if (paused && editor_.Recording() && !closeRequested_ && !closing_)
        hook_.StartHook(this, CKeyboardHook::Scope::Global);
    RefreshSteps(false);
}

void CMacroManagerDlg::DeleteStep() {
    TakeStepSelection();
    if (editor_.DeleteStep()) RefreshSteps(false);
}

void CMacroManagerDlg::OnCountEdited(const QString& text) {
    if (editor_.LoopRadio() != 2 || !countEdit_) return;
    const LoopCountValue v = editor_.SetLoopCountText(text.toStdU16String());
    if (v.replacement) countEdit_->setText(QString::fromStdU16String(*v.replacement));
}

// ---- tree commands ----------------------------------------------------------------------

void CMacroManagerDlg::RunTreeCommand(int command) {
    if (closeRequested_) return;
    // A recording belongs to its macro: a new node, a rename or a file dialog
    // would otherwise be typed into it.
    StopRecordingFirst();
    const MacroLibrary& library = editor_.Library();
    const MacroLocation sel = editor_.Selection();
    switch (command) {
    case kCmdNewMacro:
        NewNode(false);
        break;
    case kCmdNewFolder:
        NewNode(true);
        break;
    case kCmdRename:
        RenameNode();
        break;
    case kCmdDelete:
        DeleteNode();
        break;
    case kCmdExportMacro: {
        if (!library.MacroAt(sel)) break;
        const QString path =
            AskFile({FileDialogRequest::Mode::Save, LangText(253), MacroFileFilter(), QStringLiteral("mkf"),
                     QString::fromStdU16String(ProposedMacroFileName(library, sel)), QString()});
        if (!path.isEmpty() && !editor_.ExportMacro(PathOf(path))) Tell(Notice::FileNotWritten);
        break;
    }
    case kCmdExportLibrary: {
        const QString path =
            AskFile({FileDialogRequest::Mode::Save, LangText(255), LibraryFileFilter(), QStringLiteral("mbf"),
                     QString::fromStdU16String(ProposedLibraryFileName(library, sel)), QString()});
        if (!path.isEmpty() && !editor_.ExportLibrary(PathOf(path))) Tell(Notice::FileNotWritten);
        break;
    }
    case kCmdImportMacro:
    case kCmdImportLibrary: {
        const bool macro = command == kCmdImportMacro;
        const QString path = AskFile({FileDialogRequest::Mode::Open, LangText(macro ? 254 : 256),
                                      macro ? MacroFileFilter() : LibraryFileFilter(),
                                      macro ? QStringLiteral("mkf") : QStringLiteral("mbf"), QString(),
                                      macro ? QString() : QDir::currentPath()});
        if (path.isEmpty()) break;
        const ImportResult r = macro ? editor_.ImportMacro(PathOf(path), staging_)
                                     : editor_.ImportLibrary(PathOf(path), staging_);
        RevealSelection();
        RefreshSelection();
        // A file that cannot be read imports nothing, a damaged one what came
        // before the damage: the editor has logged why, the user hears of it.
        if (!r.load)
            Tell(r.load.opened() ? OwnText(ProgramText::MacroFileDamaged).arg(r.load.line)
                                 : OwnText(ProgramText::MacroFileNotRead));
        Tell(r.notice);
        break;
    }
    default:
        break;
    }
}

QString CMacroManagerDlg::AskFile(FileDialogRequest request) {
    if (!fileDialog_ || closeRequested_) return QString();
    ModalScope scope(*this);
    const QString path = fileDialog_(this, request);
    return closeRequested_ ? QString() : path;
}

void CMacroManagerDlg::NewNode(bool folder) {
    // Refused before a name is asked for.
    if (!editor_.HasRoomForNew(folder)) {
        Tell(OwnText(ProgramText::NoFreeEntry));
        return;
    }
    bool ok = false;
    std::u16string name;
    {
        ModalScope scope(*this);
        CMacroKeyOrFolderNameDlg dlg(this, folder);
        ok = dlg.exec() == QDialog::Accepted;
        name = dlg.Name();
    }
    if (!ok || closeRequested_) return;
    const Notice n = folder ? editor_.NewFolder(name) : editor_.NewMacro(name);
    RevealSelection();
    RefreshSelection();
    Tell(n);
}

void CMacroManagerDlg::RenameNode() {
    const MacroItem* node = editor_.Library().NodeAt(editor_.Selection());
    if (!node) return;
    bool ok = false;
    std::u16string name;
    {
        ModalScope scope(*this);
        CMacroKeyRenameDlg dlg(this, node->Name);
        ok = dlg.exec() == QDialog::Accepted;
        name = dlg.Name();
    }
    if (!ok || closeRequested_) return;
    const Notice n = editor_.Rename(name);
    RefreshSelection();
    Tell(n);
}

void CMacroManagerDlg::DeleteNode() {
    if (const Notice n = editor_.CanDelete(); n != Notice::None) {
        Tell(n);
        return;
    }
    bool ok = false;
    {
        ModalScope scope(*this);
        ok = AskConfirmation(this, 232);
    }
    if (!ok || closeRequested_) return;
    const std::span<const KeySlot> keys = currentKeys_ ? currentKeys_() : std::span<const KeySlot>();
    const Notice n = editor_.DeleteNode(keys);
    RefreshSelection();
    Tell(n);
}

void CMacroManagerDlg::Tell(Notice notice) {
    if (notice == Notice::None) return;
    Tell(LangText(NoticeString(notice)));
}

void CMacroManagerDlg::Tell(const QString& text) {
    if (closeRequested_ || closed_ || !isVisible()) return;
    ModalScope scope(*this);
    ShowNoticeText(this, text);
}

// ---- keys, wheel, count field -----------------------------------------------------------

void CMacroManagerDlg::keyPressEvent(QKeyEvent* event) {
    if (IsEnterOrEscape(event->key())) {
        event->accept(); // swallowed by the window
        return;
    }
    CDlgBase::keyPressEvent(event);
}

void CMacroManagerDlg::wheelEvent(QWheelEvent* event) {
    event->accept();
    // The lists stay where the recording puts them.
    if (editor_.Recording() || closing_) return;
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    int notches = delta / 120;
    if (notches == 0) notches = delta > 0 ? 1 : -1;
    const QPoint p = event->position().toPoint();
    for (ListScroll* s : {&treeScroll_, &stepScroll_})
        if (s->Covers(p) && s->ScrollBy(-notches)) InvalidateRect(s->Area());
}

bool CMacroManagerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == countEdit_.data() && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // The character is still entered; the notice follows once the field has it.
        if (editor_.LoopRadio() == 2 && IsNonDigitCharacter(key->text()))
            QMetaObject::invokeMethod(
                this, [this] { Tell(Notice::DigitsOnly); }, Qt::QueuedConnection);
    }
    return CDlgBase::eventFilter(watched, event);
}

// ---- closing --------------------------------------------------------------------------------

void CMacroManagerDlg::CloseWithSave(int result) {
    if (closing_) return;
    closing_ = true;
    endResult_ = result;
    ClosePopup(kInsertPopupSlot);
    ClosePopup(kTreeMenuSlot);
    hook_.StopHook();
    SetScrollBarsEnabled(true);
    // Ends a recording, clears the selection and hands the save to the saver;
    // the window ends once the write is done (OnSaved).
    const FileResult handedOver = editor_.Close();
    if (!handedOver || saver_.Pending() == 0) FinishClose();
}

void CMacroManagerDlg::FinishClose() {
    if (closed_) return;
    closed_ = true;
    RejectChildDialogs(this);
    ReleaseControlImages();
    CDlgBase::done(endResult_);
}

void CMacroManagerDlg::done(int result) {
    if (closed_) {
        RejectChildDialogs(this);
        CDlgBase::done(result);
        return;
    }
    // A close request: what runs on top of the window ends first.
    closeRequested_ = true;
    ClosePopup(kInsertPopupSlot);
    ClosePopup(kTreeMenuSlot);
    RejectChildDialogs(this);
    // While the last save is written (or a handler runs a dialog) the window
    // ends when that is done.
    if (closing_ || modalDepth_ > 0) return;
    CloseWithSave(result);
}

} // namespace tarvik
