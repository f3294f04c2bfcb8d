#include "macro/MacroEditor.h"

#include <algorithm>

#include "macro/ButtonFunctions.h"
#include "text/Log.h"
#include "text/U16.h"

namespace tarvik {

namespace {

constexpr std::uint32_t kTimeMask = 0x7FFFFFFF;
constexpr std::uint32_t kReleaseBit = 0x80000000;
constexpr std::uint32_t kDelayRuleMs = 127;
constexpr std::uint8_t kCountCeiling = 255;

void AddCount(MacroKey& m, int delta) {
    const int n = std::clamp(int{m.MacroCommandActionNum} + delta, 0, int{kCountCeiling});
    m.MacroCommandActionNum = static_cast<std::uint8_t>(n);
}

// Room for `steps` more steps in the 336 slots. A full macro refuses an insertion
// with the limit notice: otherwise the refused step's editor would open on (and
// its cancel would remove) whichever step already sits at the insertion point.
bool HasRoom(const MacroKey& m, std::size_t steps) {
    return m.ValidCount() + steps <= MacroKey::kMaxActions;
}

bool IsMouseOrMoveCode(std::uint8_t b0) {
    return b0 >= 0xE0 && b0 <= 0xE7;
}

// A name of blanks only shows as an empty row in the tree.
bool IsBlank(std::u16string_view name) {
    return std::all_of(name.begin(), name.end(), [](char16_t c) {
        return c == u' ' || c == u'\t' || c == u'\u00A0' || c == u'\u3000';
    });
}

} // namespace

MacroEditor::MacroEditor(MacroLibrary& library, std::filesystem::path libraryPath)
    : library_(library), libraryPath_(std::move(libraryPath)) {}

void MacroEditor::Open() {
    library_.CloseAllFolders();
    recording_ = false;
    recorded_ = nullptr;
    Select(MacroLocation::None());
}

FileResult MacroEditor::Save() const {
    if (saveHandler_) return saveHandler_();
    if (libraryPath_.empty()) return FileResult::Failure(FileError::NotWritten, "no library file path");
    return library_.Save(libraryPath_, MacroLocation::None());
}

FileResult MacroEditor::Close() {
    recording_ = false;
    recorded_ = nullptr;
    FileResult saved = Save();
    Select(MacroLocation::None());
    return saved;
}

// ---- selection

MacroKey* MacroEditor::CurrentMacro() const {
    return library_.MacroAt(selection_);
}

void MacroEditor::Select(const MacroLocation& at) {
    selection_ = at;
    SelectionChanged();
}

void MacroEditor::SelectionChanged() {
    const MacroKey* now = CurrentMacro();
    if (recording_ && now != recorded_) {
        // Saved as when the record button is unchecked; a failure is reported
        // by the save itself (or comes back to the window's save handler).
        [[maybe_unused]] const FileResult saved = EndRecording();
    }
    if (now != shown_ || !now) {
        shown_ = now;
        selectedStep_ = -1;
    }
}

void MacroEditor::SelectRow(int row) {
    Select(library_.LocationOfRow(row));
}

bool MacroEditor::ToggleFolderRow(int row) {
    MacroItem* node = library_.NodeAt(library_.LocationOfRow(row));
    if (!node || !node->IsFolder) return false;
    node->FolderIsOpen = !node->FolderIsOpen;
    return true;
}

void MacroEditor::SelectStep(int step) {
    const MacroKey* m = CurrentMacro();
    selectedStep_ = (m && step >= 0 && static_cast<std::size_t>(step) < m->ValidCount()) ? step : -1;
}

// ---- loop settings

int MacroEditor::LoopRadio() const {
    const MacroKey* m = CurrentMacro();
    if (!m) return 0;
    const int t = m->MacroKeyLoopType;
    return (t == 1 || t == 4 || t == 2) ? t : 0;
}

std::u16string MacroEditor::LoopCountText() const {
    const MacroKey* m = CurrentMacro();
    return m ? Dec(m->MacroKeyLoopNum) : std::u16string();
}

bool MacroEditor::SetLoopType(std::uint8_t type) {
    MacroKey* m = CurrentMacro();
    if (!m || (type != 1 && type != 4 && type != 2)) return false;
    m->MacroKeyLoopType = type;
    return true;
}

LoopCountValue MacroEditor::SetLoopCountText(std::u16string_view text) {
    MacroKey* m = CurrentMacro();
    if (!m || m->MacroKeyLoopType != 2) return {};
    // A field cleared to type a new count: "1" put in now would be the first
    // digit of whatever is typed next.
    if (text.empty()) return LoopCountValue{m->MacroKeyLoopNum, std::nullopt};
    LoopCountValue v = LoopCountFromText(text);
    m->MacroKeyLoopNum = v.value;
    return v;
}

std::optional<std::u16string> MacroEditor::FinishLoopCountText(std::u16string_view text) const {
    if (!text.empty() || LoopRadio() != 2) return std::nullopt;
    return LoopCountText();
}

std::optional<int> MacroEditor::StepsOverMouseLimit() const {
    const MacroKey* m = CurrentMacro();
    if (!m || m->FitsMouse()) return std::nullopt;
    return m->MacroCommandActionNum;
}

// ---- recording

Notice MacroEditor::StartRecording() {
    MacroKey* m = CurrentMacro();
    if (!m) return Notice::NoMacroSelected;
    if (recording_) return Notice::None;
    recording_ = true;
    recorded_ = m;
    pressed_ = {};
    lastCode_ = 0;
    lastUp_ = false;
    lastTime_ = 0;
    m->MacroActionNum = 0;
    m->MacroCommandActionNum = 0;
    selectedStep_ = -1;
    return Notice::None;
}

FileResult MacroEditor::EndRecording() {
    recording_ = false;
    recorded_ = nullptr;
    return Save();
}

FileResult MacroEditor::StopRecording() {
    if (!recording_) return {};
    return EndRecording();
}

MacroEditor::KeyResult MacroEditor::OnKeyMessage(std::uint32_t wParam, std::uint32_t lParam) {
    KeyResult r;
    MacroKey* m = CurrentMacro();
    // Messages after the hook stopped (a queued one, or a closing pop-up's) add nothing.
    if (!m || !recording_ || m != recorded_) return r;
    const auto code = static_cast<std::uint8_t>(wParam & 0xFF);
    const bool up = (lParam & kReleaseBit) != 0;
    const std::uint32_t t = lParam & kTimeMask;
    if (code <= 7) return r;
    if (up && !pressed_[code]) return r;              // its press was not recorded
    if (code == lastCode_ && up == lastUp_) return r; // auto-repeat of a held key

    if (m->MacroCommandActionNum >= kMaxCommandSteps) {
        r.stopped = true;
        r.notice = Notice::RecordingLimit;
        r.saved = EndRecording();
        return r;
    }
    const bool withDelay = m->MacroActionNum > 0 && recordDelays_;
    if (!HasRoom(*m, withDelay ? 2 : 1)) return r;
    AddCount(*m, +1);
    if (withDelay) {
        std::uint64_t now = t;
        if (now < lastTime_) now += std::uint64_t{1} << 31;
        const auto d =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(now - lastTime_, kMaxRecordedDelayMs));
        m->InsertAction(m->ValidCount(), MacroAction::Delay(d));
    }
    m->InsertAction(m->ValidCount(), up ? MacroAction::Release(code) : MacroAction::Press(code));
    pressed_[code] = !up;
    lastCode_ = code;
    lastUp_ = up;
    lastTime_ = t;
    r.added = true;
    return r;
}

// ---- steps

void MacroEditor::CountDelayChange(MacroKey& m, std::uint32_t oldMs, std::uint32_t newMs) {
    if (oldMs <= kDelayRuleMs && newMs > kDelayRuleMs)
        AddCount(m, +1);
    else if (oldMs > kDelayRuleMs && newMs <= kDelayRuleMs)
        AddCount(m, -1);
}

bool MacroEditor::RunDelayDialog(MacroKey& m, std::size_t step, const StepDialogs& dialogs) {
    if (!dialogs.delay) return false;
    const MacroAction old = m.GetAction(step);
    auto text = dialogs.delay(old);
    if (!text) return false;
    const MacroAction now = DelayStepFromText(*text);
    CountDelayChange(m, old.DelayMs(), now.DelayMs());
    m.SetAction(step, now);
    return true;
}

Notice MacroEditor::InsertStep(int kind, const StepDialogs& dialogs) {
    MacroKey* m = CurrentMacro();
    if (!m) return Notice::NoMacroForStep;
    const std::size_t count = m->ValidCount();
    const std::size_t at =
        selectedStep_ >= 0 && static_cast<std::size_t>(selectedStep_) < count ? selectedStep_ + 1 : count;
    const int n = m->MacroCommandActionNum;
    const MacroAction pause = MacroAction::Delay(50);

    switch (kind) {
    case kInsertLeftClick:
    case kInsertRightClick:
    case kInsertMiddleClick: {
        // A press without its release would hold the button down, so all three
        // steps go in or none.
        if (n > kMaxCommandSteps - 2 || !HasRoom(*m, 3)) return Notice::StepLimit;
        const auto code = static_cast<std::uint8_t>(0xE0 + kind);
        m->InsertAction(at, MacroAction::Press(code));
        m->InsertAction(at + 1, pause);
        m->InsertAction(at + 2, MacroAction::Release(code));
        AddCount(*m, +2);
        selectedStep_ = static_cast<int>(at + 2);
        return Notice::None;
    }
    case kInsertKey: {
        if (n > kMaxCommandSteps - 2 || !HasRoom(*m, 3)) return Notice::StepLimit;
        m->InsertAction(at, MacroAction::Press(0x41));
        m->InsertAction(at + 1, pause);
        m->InsertAction(at + 2, MacroAction::Release(0x41));
        std::optional<std::uint8_t> code;
        if (dialogs.key) code = dialogs.key(m->GetAction(at));
        if (!code) {
            for (int i = 0; i < 3; ++i) m->RemoveAction(at);
            return Notice::None;
        }
        m->SetAction(at, KeyStepWithCode(m->GetAction(at), *code));
        m->SetAction(at + 2, KeyStepWithCode(m->GetAction(at + 2), *code));
        AddCount(*m, +2);
        selectedStep_ = static_cast<int>(at + 2);
        return Notice::None;
    }
    case kInsertDelay: {
        if (at > 0 && m->GetAction(at - 1).IsDelay()) {
            if (RunDelayDialog(*m, at - 1, dialogs)) selectedStep_ = static_cast<int>(at - 1);
            return Notice::None;
        }
        if (!HasRoom(*m, 1)) return Notice::StepLimit;
        m->InsertAction(at, MacroAction::Delay(100));
        if (!RunDelayDialog(*m, at, dialogs)) {
            m->RemoveAction(at);
            return Notice::None;
        }
        selectedStep_ = static_cast<int>(at);
        return Notice::None;
    }
    case kMoveLeft:
    case kMoveRight:
    case kMoveUp:
    case kMoveDown: {
        if (n > kMaxCommandSteps - 1 || !HasRoom(*m, 1)) return Notice::StepLimit;
        m->InsertAction(at, MovePreset(kind));
        std::optional<std::u16string> text;
        if (dialogs.move) text = dialogs.move(m->GetAction(at), kind);
        if (!text) {
            m->RemoveAction(at);
            return Notice::None;
        }
        m->SetAction(at, MoveStepFromText(*text, kind, m->GetAction(at).b[1]));
        AddCount(*m, +1);
        selectedStep_ = static_cast<int>(at);
        return Notice::None;
    }
    default:
        return Notice::None;
    }
}

bool MacroEditor::EditStep(const StepDialogs& dialogs) {
    MacroKey* m = CurrentMacro();
    if (!m || selectedStep_ < 0 || static_cast<std::size_t>(selectedStep_) >= m->ValidCount()) return false;
    const auto i = static_cast<std::size_t>(selectedStep_);
    const MacroAction step = m->GetAction(i);
    if (step.IsDelay()) return RunDelayDialog(*m, i, dialogs);
    if (IsMouseOrMoveCode(step.b[0]) || !dialogs.key) return false;
    auto code = dialogs.key(step);
    if (!code) return false;
    const MacroAction now = KeyStepWithCode(step, *code);
    m->SetAction(i, now);
    return now != step;
}

bool MacroEditor::DeleteStep() {
    MacroKey* m = CurrentMacro();
    if (!m || selectedStep_ < 0) return false;
    const auto i = static_cast<std::size_t>(selectedStep_);
    const MacroAction step = m->GetAction(i);
    if (!m->RemoveAction(i)) return false;
    if (step.b[0] > 7) AddCount(*m, -1);
    if (static_cast<std::size_t>(selectedStep_) >= m->ValidCount())
        selectedStep_ = static_cast<int>(m->ValidCount()) - 1;
    return true;
}

// ---- tree commands

namespace {
Notice NoticeOf(MacroLibrary::AddResult r) {
    switch (r) {
    case MacroLibrary::AddResult::NameConflict:
        return Notice::NameTaken;
    case MacroLibrary::AddResult::InvalidName:
        return Notice::EmptyName;
    default:
        return Notice::None;
    }
}
} // namespace

Notice MacroEditor::NewMacro(std::u16string_view name) {
    return AddNode(name, false);
}
Notice MacroEditor::NewFolder(std::u16string_view name) {
    return AddNode(name, true);
}

bool MacroEditor::HasRoomForNew(bool folder) const {
    MacroLocation parent = library_.MacroParentFor(selection_);
    if (folder && !library_.FolderParentFor(selection_, parent)) return true; // refused without a notice
    return library_.ChildRun(parent).size() < static_cast<std::size_t>(MacroLibrary::kEntries);
}

Notice MacroEditor::AddNode(std::u16string_view name, bool folder) {
    if (IsBlank(name)) return Notice::EmptyName;
    MacroLocation at = selection_;
    const auto r = folder ? library_.AddFolder(name, at) : library_.AddMacro(name, at);
    if (r == MacroLibrary::AddResult::NameConflict || r == MacroLibrary::AddResult::InvalidName)
        return NoticeOf(r);
    selection_ = at;
    if (MacroItem* node = library_.NodeAt(selection_); node && node->IsFolder) node->FolderIsOpen = true;
    SelectionChanged();
    return Notice::None;
}

Notice MacroEditor::Rename(std::u16string_view name) {
    const MacroItem* node = library_.NodeAt(selection_);
    if (!node || !RenameChanged(node->Name, name)) return Notice::None;
    if (IsBlank(name)) return Notice::EmptyName;
    return NoticeOf(library_.Rename(selection_, name));
}

Notice MacroEditor::CanDelete() const {
    return library_.NodeAt(selection_) ? Notice::None : Notice::NothingSelected;
}

Notice MacroEditor::DeleteNode(std::span<const KeySlot> keys) {
    if (!library_.NodeAt(selection_)) return Notice::NothingSelected;
    for (const KeySlot& k : keys)
        if (k.Action.Function == kFnMacro && library_.ContainsMacro(selection_, k.MacroKeyIndex))
            return Notice::MacroInUse;
    library_.Delete(selection_);
    Select(MacroLocation::None());
    return Notice::None;
}

// ---- files

namespace {
// The import met the file's failure: it is logged here, once.
void ReportImportFailure(const std::filesystem::path& path, const FileResult& load) {
    if (load) return;
    std::string message = "macro file ";
    message += path.string();
    message += ": ";
    message += load.Describe();
    message += load.opened() ? "; only what came before was imported" : "; nothing imported";
    ReportProblem(message);
}
} // namespace

ImportResult MacroEditor::ImportMacro(const std::filesystem::path& path, MacroLibrary& staging) {
    ImportResult r = ImportMacroFile(library_, staging, selection_, path);
    ReportImportFailure(path, r.load);
    SelectionChanged();
    return r;
}

ImportResult MacroEditor::ImportLibrary(const std::filesystem::path& path, MacroLibrary& staging) {
    ImportResult r = ImportLibraryFile(library_, staging, selection_, path);
    ReportImportFailure(path, r.load);
    SelectionChanged();
    return r;
}

FileResult MacroEditor::ExportMacro(const std::filesystem::path& path) const {
    return tarvik::ExportMacro(library_, selection_, path);
}

FileResult MacroEditor::ExportLibrary(const std::filesystem::path& path) const {
    return tarvik::ExportLibrary(library_, selection_, path);
}

} // namespace tarvik
