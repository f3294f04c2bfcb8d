// The skin's text box: a frameless QLineEdit, black text on white, centred,
// in the dialog font at the UI scale.
#pragma once

#include <QLineEdit>
#include <QString>

#include "skin/Skin.h"

namespace tarvik {

// Makes the box at `r` (scaled) on `parent`, holding `text`. The caller
// installs its event filter, shows it and gives it the focus.
QLineEdit* MakeEditBox(QWidget* parent, const QString& objectName, const Rect& r, const QString& text);

} // namespace tarvik
