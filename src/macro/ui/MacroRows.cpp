#include "macro/ui/MacroRows.h"

#include <utility>

#include "macro/MacroLibrary.h"
#include "macro/StepRules.h"

namespace tarvik {

MacroTreeRows::MacroTreeRows(MacroLibrary& library, std::function<void(int)> onSelect)
    : library_(library), onSelect_(std::move(onSelect)) {}

int MacroTreeRows::RowCount() const {
    return library_.RowCount();
}

TreeRows::Row MacroTreeRows::RowAt(int row) const {
    // Read-only look-ups: a writable one would count as a change of the tree.
    const MacroLibrary& library = library_;
    const MacroLocation at = library.LocationOfRow(row);
    const MacroItem* node = library.NodeAt(at);
    if (!node) return {};
    return {QString::fromStdU16String(node->Name), at.stage, node->IsFolder, node->FolderIsOpen};
}

void MacroTreeRows::InvertOpen(int row) {
    if (MacroItem* node = library_.NodeAt(library_.LocationOfRow(row)))
        node->FolderIsOpen = !node->FolderIsOpen;
}

void MacroTreeRows::SelectRow(int row) {
    if (onSelect_) onSelect_(row);
}

int MacroStepRows::StepCount() const {
    return macro_ ? static_cast<int>(macro_->ValidCount()) : 0;
}

StepRows::Row MacroStepRows::StepAt(int step) const {
    if (!macro_ || step < 0) return {};
    const MacroAction action = macro_->GetAction(static_cast<std::size_t>(step));
    const StepIcon icon = StepIconOf(action);
    return {QString::fromStdU16String(StepText(action)), icon == StepIcon::Time ? Icon::Time
                                                         : icon == StepIcon::Up ? Icon::Up
                                                                                : Icon::Down};
}

} // namespace tarvik
