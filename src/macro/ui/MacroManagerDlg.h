// CMacroManagerDlg: the macro library window. Folders and macros in a tree on
// the left, the steps of the selected macro on the right; recording from the
// keyboard with the delays between key events, step insertion through a pop-up,
// the step editors, the loop settings, the tree's context menu (new macro and
// folder, rename, delete, import and export of .mkf / .mbf files).
//
// The rules are MacroEditor's (macro/MacroEditor.h); this window turns clicks,
// keys and dialogs into its calls and draws the result.
//
// Entry (the main window, on a click of 2062):
//
//   CMacroManagerDlg manager(this, library, LibraryFilePath, [this] { return CurrentKeys(); });
//   manager.exec();
//   // The library has been saved to the library file (the close button, or a
//   // close request): the window ends once a worker thread has written it, so
//   // the UI thread never waits for the disk. When manager.LibrarySaved():
//   // reload the library from the file, set the device's resync request, and
//   // when a button of the current profile carries a macro, send the buttons;
//   // the resync request must come before that send, or the send numbers the
//   // buttons with their old macro copies (and the recorded steps would reach
//   // the mouse only with a later send). When the save failed (the user saw a
//   // notice), the library in memory is the only copy of the user's work: do
//   // not reload over it.
//
// The window enters OpenDialogList; a close request (tray exit, removal of the
// mouse) ends it like the close button, also during a recording (the key
// capture stops) or while one of its dialogs is open (that dialog ends first;
// a step it was inserting is taken back before the library is saved).
#pragma once

#include <QLineEdit>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <optional>
#include <span>

#include "macro/MacroEditor.h"
#include "macro/ui/FileDialogs.h"
#include "macro/ui/KeyboardHook.h"
#include "macro/ui/LibrarySaver.h"
#include "macro/ui/ListScroll.h"
#include "macro/ui/MacroRows.h"
#include "skin/DlgBase.h"

namespace tarvik {

class CCheckButton;
class CComboButton;
class CStaticText;

class CMacroManagerDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 528;
    static constexpr int kDesignHeight = 365;

    // Command ids.
    static constexpr int kIdNewMacro = 2012;
    static constexpr int kIdDeleteNode = 2013;
    static constexpr int kIdTree = 2015;
    static constexpr int kIdRecordDelays = 2017;
    static constexpr int kIdRecord = 2018;
    static constexpr int kIdSteps = 2020;
    static constexpr int kIdTreeScroll = 2021;
    static constexpr int kIdStepScroll = 2022;
    static constexpr int kIdEditStep = 2023;
    static constexpr int kIdDeleteStep = 2024;
    static constexpr int kIdLoopOnce = 2031;  // loop type 1
    static constexpr int kIdLoopHeld = 2032;  // loop type 4
    static constexpr int kIdLoopCount = 2033; // loop type 2 with the count
    static constexpr int kIdCountEdit = 2034;
    static constexpr int kIdInsert = 2035;
    static constexpr int kIdCaptureNote = 2036;
    static constexpr int kIdTitle = 2037;
    // Shown once the current macro has more steps than the mouse takes: its
    // step count against that limit.
    static constexpr int kIdStepCount = 2038;

    // Pop-up messages: the insert combo's click, the insert pop-up's choice and
    // close, the tree menu's choice and close.
    static constexpr int kInsertComboMessage = 1166;
    static constexpr int kInsertChosen = 1167;
    static constexpr int kInsertClosed = 1168;
    static constexpr int kTreeMenuChosen = 1169;
    static constexpr int kTreeMenuClosed = 1170;
    static constexpr int kInsertPopupSlot = 0;
    static constexpr int kTreeMenuSlot = 1;

    // The tree menu's commands (the item's value − 1).
    enum TreeCommand : int {
        kCmdNewMacro = 0,
        kCmdNewFolder = 1,
        kCmdExportMacro = 2,
        kCmdImportMacro = 3,
        kCmdRename = 4,
        kCmdDelete = 5,
        kCmdImportLibrary = 6,
        kCmdExportLibrary = 7,
    };

    using KeysFn = std::function<std::span<const KeySlot>()>;

    // `library`: the main library, edited in place and saved to `libraryFile`.
    // `currentKeys`: the buttons of the current profile (a node holding a macro
    // one of them uses is not deleted).
    CMacroManagerDlg(QWidget* owner, MacroLibrary& library, std::filesystem::path libraryFile,
                     KeysFn currentKeys = {});
    ~CMacroManagerDlg() override;

    // The file dialogs (RunFileDialog unless replaced).
    void SetFileDialog(FileDialogFn fn) { fileDialog_ = std::move(fn); }

    // Selects a node as a click on its row does (the gallery and tests).
    void SelectNode(const MacroLocation& at);

    MacroEditor& Editor() { return editor_; }
    const CKeyboardHook& Hook() const { return hook_; }
    bool Recording() const { return editor_.Recording(); }
    // How the last save went (the close, or the end of a recording); ok
    // before any save. Saves are written on a thread of their own, so the
    // result comes a moment after the click that asked for it.
    const FileResult& LastSave() const { return lastSave_; }
    int SavesPending() const { return saver_.Pending(); }
    // The window ended and the library file holds the library.
    bool LibrarySaved() const { return closed_ && lastSave_.ok(); }
    QLineEdit* CountEdit() const { return countEdit_.data(); }

    // A close request (and the close button) ends the window after saving.
    void done(int result) override;

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void DrawUnderControls(QPainter& dc, const Rect& client) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ModalScope;

    LResult OnCommand(int msg, WParam wParam, LParam lParam);
    LResult OnKey(int msg, WParam wParam, LParam lParam);
    LResult OnPopup(int msg, WParam wParam, LParam lParam);

    // What the window shows after the selection, the tree or the steps changed.
    void RefreshSelection();
    // Opens the folders above the selected node, so its row is shown (a new or
    // imported node inside a closed folder).
    void RevealSelection();
    void RefreshSteps(bool scrollToEnd);
    void RefreshLoopControls();
    void SetScrollBarsEnabled(bool on);
    // The step list's selection, as the user left it, into the editor.
    void TakeStepSelection();

    void ToggleRecording();
    void EndRecording(bool limitReached);
    // Ends a running recording as the record button does: before a tree
    // command, whose dialogs would otherwise be typed into the recording.
    void StopRecordingFirst();
    void OnSaved(const FileResult& result);
    void OpenInsertPopup();
    void OpenTreeMenu(QPoint at);
    void RunPending();
    void InsertStep(int kind);
    void EditStep();
    void DeleteStep();
    void RunTreeCommand(int command);
    void NewNode(bool folder);
    void RenameNode();
    void DeleteNode();
    QString AskFile(FileDialogRequest request);
    void OnCountEdited(const QString& text);
    // Saves and ends the window once the write is done.
    void CloseWithSave(int result);
    void FinishClose();

    // Shows a notice (nothing once the window is closing).
    void Tell(Notice notice);
    void Tell(const QString& text);
    StepDialogs Dialogs();

    MacroEditor editor_;
    LibrarySaver saver_;
    MacroLibrary staging_;
    KeysFn currentKeys_;
    FileDialogFn fileDialog_;
    CKeyboardHook hook_;
    MacroTreeRows treeRows_;
    MacroStepRows stepRows_;
    const MacroKey* shownMacro_ = nullptr;

    CEditShowList* tree_ = nullptr;
    CImageShowList* steps_ = nullptr;
    ListScroll treeScroll_, stepScroll_;
    CCheckButton* record_ = nullptr;
    CCheckButton* delays_ = nullptr;
    CComboButton* insert_ = nullptr;
    CStaticText* captureNote_ = nullptr;
    CStaticText* stepCount_ = nullptr;
    QPointer<QLineEdit> countEdit_;

    std::optional<int> pendingInsert_;
    std::optional<int> pendingTreeCommand_;

    FileResult lastSave_;
    int modalDepth_ = 0;
    bool closeRequested_ = false;
    bool closing_ = false; // the close has begun: the last save is being written
    bool closed_ = false;  // the window has ended
    int endResult_ = QDialog::Rejected;
};

} // namespace tarvik
