#include "skin/EditBox.h"

#include <QFont>
#include <QPalette>

namespace tarvik {

QLineEdit* MakeEditBox(QWidget* parent, const QString& objectName, const Rect& r, const QString& text) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setAlignment(Qt::AlignCenter);
    edit->setFrame(false);
    edit->setGeometry(r.ToQRect());
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(static_cast<int>(100 * UiScale() / DpiFactor()) / 10.0);
    edit->setFont(font);
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Text, Qt::black);
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Window, Qt::white);
    edit->setPalette(pal);
    edit->setAutoFillBackground(true);
    edit->setText(text);
    return edit;
}

} // namespace tarvik
