// The state and rules of the macro manager, without its window: the selected
// node and step, recording from key messages, step insertion, editing and
// deletion, loop settings, and the tree commands. Each command returns the
// notice the window is to show (Notice::None for none); each save returns how
// it went, for the window to act on (the failure itself is already reported).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "macro/MacroFiles.h"
#include "macro/MacroLibrary.h"
#include "macro/StepRules.h"
#include "model/ProfileTable.h"
#include "text/FileResult.h"
#include "text/Notices.h"

namespace tarvik {

// Kinds of the step-insert menu (item − 1).
enum InsertKind : int {
    kInsertLeftClick = 0,
    kInsertRightClick = 1,
    kInsertMiddleClick = 2,
    kInsertDelay = 3,
    kInsertKey = 4,
    // 5–8: the move kinds of StepRules.h
};

// The step editors, run modally by the window. Each returns what the user
// entered on OK, or nothing on cancel.
struct StepDialogs {
    std::function<std::optional<std::uint8_t>(const MacroAction& step)> key;
    std::function<std::optional<std::u16string>(const MacroAction& step)> delay;
    std::function<std::optional<std::u16string>(const MacroAction& step, int kind)> move;
};

class MacroEditor {
public:
    // The step limit of a macro as the mouse counts it (MacroCommandActionNum).
    static constexpr int kMaxCommandSteps = MacroKey::kMaxCommandActions;

    // `libraryPath`: where the library is saved when a recording ends and when
    // the manager closes (nothing is saved when empty).
    explicit MacroEditor(MacroLibrary& library, std::filesystem::path libraryPath = {});

    // The manager's creation: every folder closed, nothing selected.
    void Open();
    // The close button: stops a recording, saves, clears the selection.
    FileResult Close();
    // Saves the library with the selection line -1, 0, 0, 0 (fails, unreported,
    // when the editor was given no path), or runs the save handler.
    FileResult Save() const;
    // How the library is saved when a recording ends and when the manager
    // closes: by default written to the library path at once. A window that
    // writes on another thread sets its own; its result then tells whether the
    // write could be handed over.
    using SaveHandler = std::function<FileResult()>;
    void SetSaveHandler(SaveHandler handler) { saveHandler_ = std::move(handler); }

    MacroLibrary& Library() { return library_; }

    // ---- selection
    const MacroLocation& Selection() const { return selection_; }
    // Sets the selection and runs the selection change. A recording belongs to
    // the macro it started in: any selection change to another node (a click,
    // a new node, an import, a deletion) ends it, and saves as unchecking the
    // record button does.
    void Select(const MacroLocation& at);
    // A click in the tree: the row's node (none past the end).
    void SelectRow(int row);
    // A double click: a folder row opens or closes. False for other rows.
    bool ToggleFolderRow(int row);
    // The selected node's macro, or nullptr.
    MacroKey* CurrentMacro() const;
    // Selected step (-1 none) of the current macro.
    int SelectedStep() const { return selectedStep_; }
    void SelectStep(int step);

    // ---- loop settings
    // The radio shown: the loop type 1, 4 or 2, or 0 for none.
    int LoopRadio() const;
    bool LoopCountShown() const { return LoopRadio() == 2; }
    std::u16string LoopCountText() const;
    // A radio click: type 1, 4 or 2. False (radios cleared) without a macro.
    bool SetLoopType(std::uint8_t type);
    // A change of the count field while the loop type is 2; the result says
    // which text the field must show instead, if any. An empty field is left
    // empty while it is edited (the count stays as it was), so clearing it and
    // typing 7 gives 7; FinishLoopCountText gives it its text when editing ends.
    LoopCountValue SetLoopCountText(std::u16string_view text);
    // The count field lost the focus (or Enter was pressed): the text it must
    // show, if it is to change (an empty field shows the count again).
    std::optional<std::u16string> FinishLoopCountText(std::u16string_view text) const;

    // The current macro has more steps than the mouse takes (no button can be
    // given it): the count to show against MacroKey::kMaxMouseCommandActions.
    std::optional<int> StepsOverMouseLimit() const;

    // ---- recording
    // Whether a recording keeps the delays between the keys (box 2017).
    void SetRecordDelays(bool on) { recordDelays_ = on; }
    bool RecordsDelays() const { return recordDelays_; }
    bool Recording() const { return recording_; }
    // Checking the record button: NoMacroSelected without a current macro (the
    // button unchecks); otherwise the macro's steps are discarded and recording starts.
    Notice StartRecording();
    // Unchecking it: recording ends and the library is saved (ok when no
    // recording ran: nothing was due).
    FileResult StopRecording();
    struct KeyResult {
        bool added = false;           // a step (and perhaps a delay before it) was appended
        bool stopped = false;         // the step limit ended the recording
        Notice notice = Notice::None; // RecordingLimit when stopped
        FileResult saved;             // the save that ends a stopped recording
    };
    // Message 1025: key code in the low byte of wParam, lParam bit 31 = release,
    // bits 0–30 = time in ms. A release whose press this recording has not
    // seen (a key held when the recording started, the Enter that confirmed a
    // dialog, a modifier another program lets go) is dropped: played back it
    // would let go of a key the macro never pressed.
    KeyResult OnKeyMessage(std::uint32_t wParam, std::uint32_t lParam);

    // ---- steps
    // Inserts steps of `kind` (0–8) after the selected step (or at the end) and
    // runs the editor the kind needs. NoMacroForStep without a macro, StepLimit
    // at the limit.
    Notice InsertStep(int kind, const StepDialogs& dialogs);
    // Edits the selected step: a delay or a key step; mouse-button and move
    // steps are not editable. True when the step changed.
    bool EditStep(const StepDialogs& dialogs);
    // Removes the selected step. True when one was removed.
    bool DeleteStep();

    // ---- tree commands
    // Before the name dialog: false when the destination of a new macro (or
    // folder) has no free entry.
    bool HasRoomForNew(bool folder) const;
    // After the name dialogs' OK: EmptyName (also for a name of blanks only),
    // NameTaken.
    Notice NewMacro(std::u16string_view name);
    Notice NewFolder(std::u16string_view name);
    Notice Rename(std::u16string_view name);
    // Before the confirmation: NothingSelected when nothing is selected.
    Notice CanDelete() const;
    // After the confirmation: MacroInUse when a macro button of `keys` (the
    // current profile) uses a macro inside the selection; else the node goes.
    Notice DeleteNode(std::span<const KeySlot> keys);

    // ---- files (the context menu's commands)
    // A file that cannot be read, or is damaged, is logged with its reason.
    ImportResult ImportMacro(const std::filesystem::path& path, MacroLibrary& staging);
    ImportResult ImportLibrary(const std::filesystem::path& path, MacroLibrary& staging);
    FileResult ExportMacro(const std::filesystem::path& path) const;
    FileResult ExportLibrary(const std::filesystem::path& path) const;

private:
    bool recordDelays_ = true;
    // New macro or folder at the selection; the new node becomes the selection.
    Notice AddNode(std::u16string_view name, bool folder);
    void SelectionChanged();
    // The 127 ms rule: a delay crossing 127 ms counts as one more (or one less)
    // step for the mouse.
    static void CountDelayChange(MacroKey& m, std::uint32_t oldMs, std::uint32_t newMs);
    bool RunDelayDialog(MacroKey& m, std::size_t step, const StepDialogs& dialogs);
    FileResult EndRecording();

    MacroLibrary& library_;
    std::filesystem::path libraryPath_;
    SaveHandler saveHandler_;
    MacroLocation selection_;
    const MacroKey* shown_ = nullptr; // the macro the step list shows
    int selectedStep_ = -1;
    bool recording_ = false;
    const MacroKey* recorded_ = nullptr; // the macro the recording started in
    std::array<bool, 256> pressed_{};    // keys pressed in this recording and not yet released
    std::uint8_t lastCode_ = 0;
    bool lastUp_ = false;
    std::uint32_t lastTime_ = 0;
};

} // namespace tarvik
