// The list of open small dialogs: ten entries that the main window sends a close
// request to on its exit paths (tray exit, removal of the mouse).
#pragma once

#include <QPointer>
#include <QWidget>

#include <array>

namespace tarvik {

inline constexpr int kOpenDialogSlots = 10;

// The entries in order; an empty entry is a null pointer.
const std::array<QPointer<QWidget>, kOpenDialogSlots>& OpenDialogList();
// Puts the dialog into the first free entry; false (unlisted) when all ten are taken.
bool EnterOpenDialog(QWidget* dialog);
// Takes the dialog out and closes the gap.
void LeaveOpenDialog(QWidget* dialog);
// Sends a close request to every listed dialog in table order; each close is
// handled before the next.
void CloseOpenDialogs();
// Empties the list.
void ClearOpenDialogs();

} // namespace tarvik
