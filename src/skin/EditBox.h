// The skin's text box: a frameless QLineEdit, centred, in the dialog font at
// the UI scale, black on white unless the dialog gives its own colours.
#pragma once

#include <QLineEdit>
#include <QString>

#include "skin/Skin.h"

namespace tarvik {

// Makes the box at `r` (scaled) on `parent`, holding `text`. The caller
// names it, installs its event filter, shows it and gives it the focus.
QLineEdit* MakeEditBox(QWidget* parent, const Rect& r, const QString& text, Colour textColour = Rgb(0, 0, 0),
                       Colour background = Rgb(255, 255, 255));

} // namespace tarvik
