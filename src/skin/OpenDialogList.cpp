#include "skin/OpenDialogList.h"

namespace tarvik {

namespace {

std::array<QPointer<QWidget>, kOpenDialogSlots>& Entries() {
    static std::array<QPointer<QWidget>, kOpenDialogSlots> entries;
    return entries;
}

// Moves the remaining entries up over emptied ones (a dialog destroyed without
// leaving the list leaves a null entry behind).
void Compact() {
    auto& e = Entries();
    std::size_t to = 0;
    for (std::size_t from = 0; from < e.size(); ++from) {
        if (e[from].isNull()) continue;
        if (to != from) e[to] = e[from];
        ++to;
    }
    for (; to < e.size(); ++to) e[to].clear();
}

} // namespace

const std::array<QPointer<QWidget>, kOpenDialogSlots>& OpenDialogList() {
    return Entries();
}

bool EnterOpenDialog(QWidget* dialog) {
    if (!dialog) return false;
    Compact();
    for (auto& entry : Entries()) {
        if (entry == dialog) return true;
        if (entry.isNull()) {
            entry = dialog;
            return true;
        }
    }
    return false;
}

void LeaveOpenDialog(QWidget* dialog) {
    for (auto& entry : Entries())
        if (entry == dialog) entry.clear();
    Compact();
}

void CloseOpenDialogs() {
    // Copy first: a closing dialog takes itself out of the list.
    const auto entries = Entries();
    for (const auto& entry : entries)
        if (!entry.isNull()) entry->close();
}

void ClearOpenDialogs() {
    for (auto& entry : Entries()) entry.clear();
}

} // namespace tarvik
