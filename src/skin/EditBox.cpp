#include "skin/EditBox.h"

#include <QFont>
#include <QPalette>

namespace tarvik {

QLineEdit* MakeEditBox(QWidget* parent, const Rect& r, const QString& text, Colour textColour,
                       Colour background) {
    auto* edit = new QLineEdit(parent);
    edit->setAlignment(Qt::AlignCenter);
    edit->setFrame(false);
    edit->setGeometry(r.ToQRect());
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(static_cast<int>(100 * UiScale() / DpiFactor()) / 10.0);
    edit->setFont(font);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Text, ToQColor(textColour));
    pal.setColor(QPalette::Base, ToQColor(background));
    pal.setColor(QPalette::Window, ToQColor(background));
    edit->setPalette(pal);
    edit->setAutoFillBackground(true);
    edit->setText(text);
    return edit;
}

} // namespace tarvik
