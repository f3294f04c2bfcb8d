// Pictures of the buttons, boxes, fields, menus and small icons.
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include "Artwork.h"

namespace skingen {

using namespace theme;

namespace {

enum class State { Normal, Hover, Down };

QString Suffix(State s, const char* down = "_dn") {
    switch (s) {
    case State::Normal:
        return QStringLiteral("_nr");
    case State::Hover:
        return QStringLiteral("_ov");
    case State::Down:
        break;
    }
    return QString::fromLatin1(down);
}

// A push-button body: dark in the normal state, lit with the accent when hovered.
void ButtonBody(QPainter& p, const QRectF& r, State s, double radius) {
    switch (s) {
    case State::Normal:
        Panel(p, r, radius, QColor(52, 52, 58), QColor(36, 36, 40), kBorder);
        break;
    case State::Hover:
        Panel(p, r, radius, QColor(70, 178, 236), QColor(38, 122, 172), QColor(120, 200, 240));
        break;
    case State::Down:
        Panel(p, r, radius, QColor(28, 92, 132), QColor(40, 130, 182), kAccent);
        break;
    }
    // A thin top highlight gives the body some depth.
    p.save();
    p.setPen(QPen(QColor(255, 255, 255, s == State::Normal ? 22 : 60), 1));
    p.drawLine(QPointF(r.left() + radius, r.top() + 1.5), QPointF(r.right() - radius, r.top() + 1.5));
    p.restore();
}

// The three boxes of a check box: outline, outline in the accent, accent fill with a tick.
void CheckBox(QPainter& p, const QRectF& r, State s) {
    const double radius = r.width() / 5.0;
    switch (s) {
    case State::Normal:
        Panel(p, r.adjusted(0.5, 0.5, -0.5, -0.5), radius, QColor(38, 38, 43), QColor(28, 28, 32),
              QColor(110, 110, 118), 1.2);
        break;
    case State::Hover:
        Panel(p, r.adjusted(0.5, 0.5, -0.5, -0.5), radius, QColor(50, 50, 56), QColor(36, 36, 40), kAccent,
              1.4);
        break;
    case State::Down:
        Panel(p, r.adjusted(0.5, 0.5, -0.5, -0.5), radius, QColor(76, 184, 240), QColor(40, 132, 190),
              QColor(140, 210, 245), 1.2);
        Glyph(p, r.adjusted(0, 0.5, 0, 0.5), QString(QChar(0x2714)), kTextBright, r.height() * 0.78);
        break;
    }
}

void RadioDot(QPainter& p, const QRectF& r, State s) {
    QRectF ring = r.adjusted(1, 1, -1, -1);
    p.save();
    switch (s) {
    case State::Normal:
        p.setPen(QPen(QColor(110, 110, 118), 1.3));
        p.setBrush(QColor(32, 32, 36));
        p.drawEllipse(ring);
        break;
    case State::Hover:
        p.setPen(QPen(kAccent, 1.5));
        p.setBrush(QColor(44, 44, 50));
        p.drawEllipse(ring);
        break;
    case State::Down: {
        p.setPen(QPen(kAccent, 1.5));
        p.setBrush(QColor(24, 40, 52));
        p.drawEllipse(ring);
        QRadialGradient g(r.center(), r.width() * 0.3);
        g.setColorAt(0, QColor(150, 215, 250));
        g.setColorAt(1, kAccent);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        const double d = r.width() * 0.24;
        p.drawEllipse(r.center(), d, d);
        break;
    }
    }
    p.restore();
}

// A rate tile of the polling-rate panel: a signal gauge over the rate label.
void RateTile(QPainter& p, const QRectF& r, const QString& label, int level, bool down) {
    const QRectF tile = r.adjusted(4, 4, -4, -4);
    if (down) {
        Panel(p, tile, 8, QColor(44, 134, 188), QColor(24, 76, 110), QColor(120, 200, 240), 1.5);
    } else {
        Panel(p, tile, 8, QColor(44, 44, 50), QColor(30, 30, 34), kBorder, 1.2);
    }
    // Four bars, `level` of them lit.
    p.save();
    const double barW = 5, gap = 3;
    const double total = 4 * barW + 3 * gap;
    const double x0 = tile.center().x() - total / 2;
    const double base = tile.top() + 30;
    for (int i = 0; i < 4; ++i) {
        const double h = 6 + 4 * i;
        QRectF bar(x0 + i * (barW + gap), base - h, barW, h);
        QColor c = i < level ? (down ? kTextBright : kAccent)
                             : (down ? QColor(255, 255, 255, 70) : QColor(80, 80, 88));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(bar, 1.5, 1.5);
    }
    p.restore();
    Glyph(p, QRectF(tile.left(), tile.top() + 34, tile.width(), 22), label, down ? kTextBright : kText, 13);
}

void ArrowTile(QPainter& p, const QRectF& r, bool up, State s) {
    const QRectF body = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QColor arrow;
    switch (s) {
    case State::Normal:
        Panel(p, body, 4, QColor(46, 46, 52), QColor(32, 32, 36), kBorder);
        arrow = kText;
        break;
    case State::Hover:
        Panel(p, body, 4, QColor(58, 58, 66), QColor(40, 40, 46), kAccent, 1.3);
        arrow = kTextBright;
        break;
    case State::Down:
        Panel(p, body, 4, QColor(70, 178, 236), QColor(38, 122, 172), QColor(140, 210, 245));
        arrow = kTextBright;
        break;
    }
    Glyph(p, r.adjusted(0, up ? -0.5 : 0.5, 0, up ? -0.5 : 0.5), QString(QChar(up ? 0x25B2 : 0x25BC)), arrow,
          11);
}

void ComboField(QPainter& p, const QRectF& r, bool hover) {
    const QRectF body = r.adjusted(0.5, 0.5, -0.5, -0.5);
    if (hover)
        Panel(p, body, 3, QColor(48, 48, 54), QColor(36, 36, 41), kAccent, 1.2);
    else
        Panel(p, body, 3, QColor(36, 36, 41), QColor(28, 28, 32), kBorder);
    const double bw = r.height();
    QRectF button(r.right() - bw, r.top(), bw, r.height());
    p.save();
    p.setPen(QPen(hover ? QColor(53, 160, 222, 150) : QColor(66, 66, 74), 1));
    p.drawLine(QPointF(button.left() + 0.5, r.top() + 4), QPointF(button.left() + 0.5, r.bottom() - 4));
    p.restore();
    Glyph(p, button.adjusted(0, 1, 0, 1), QString(QChar(0x25BE)), hover ? kTextBright : kText,
          r.height() * 0.7);
}

void TitleBar(QPainter& p, const QRectF& r, bool hover) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, hover ? QColor(62, 62, 70) : QColor(46, 46, 52));
    g.setColorAt(1, hover ? QColor(44, 44, 50) : QColor(32, 32, 36));
    p.fillRect(r, g);
    p.fillRect(QRectF(r.left(), r.top(), 3, r.height()), hover ? QColor(120, 200, 240) : kAccent);
    p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), hover ? kAccent : QColor(53, 160, 222, 110));
    p.fillRect(QRectF(r.left() + 3, r.top(), r.width() - 3, 1), QColor(255, 255, 255, hover ? 30 : 16));
}

void MenuRow(QPainter& p, const QRectF& r, bool hover, bool sub) {
    if (hover) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(66, 174, 232));
        g.setColorAt(1, QColor(40, 132, 188));
        p.fillRect(r, g);
    } else {
        p.fillRect(r, QColor(30, 30, 34));
        p.fillRect(QRectF(r.left() + 6, r.bottom() - 1, r.width() - 12, 1), QColor(48, 48, 54));
    }
    if (sub)
        Glyph(p, QRectF(r.right() - 18, r.top(), 14, r.height()), QString(QChar(0x25B8)),
              hover ? kTextBright : kText, 12);
}

void TabRow(QPainter& p, const QRectF& r, bool hover, bool selected) {
    QColor top = selected ? QColor(34, 66, 88) : QColor(36, 36, 40);
    QColor bottom = selected ? QColor(26, 48, 64) : QColor(28, 28, 32);
    if (hover) {
        top = top.lighter(170);
        bottom = bottom.lighter(170);
    }
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(r, g);
    p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), QColor(50, 50, 56));
    if (selected) {
        p.fillRect(QRectF(r.left(), r.top(), 3, r.height()), hover ? QColor(120, 200, 240) : kAccent);
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(hover ? QColor(120, 200, 240) : kAccent);
        p.drawEllipse(QPointF(r.right() - 12, r.center().y()), 3, 3);
        p.restore();
    } else if (hover) {
        p.fillRect(QRectF(r.left(), r.top(), 3, r.height()), QColor(53, 160, 222, 160));
        p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), QColor(53, 160, 222, 160));
    }
}

void Folder(QPainter& p, const QRectF& r, bool open) {
    p.save();
    const QColor back(214, 168, 72), front(240, 196, 96), edge(150, 110, 40);
    p.setPen(QPen(edge, 0.8));
    // Back with its tab.
    QPainterPath b;
    b.moveTo(r.left() + 1.5, r.top() + 3.5);
    b.lineTo(r.left() + 6, r.top() + 3.5);
    b.lineTo(r.left() + 7.5, r.top() + 5);
    b.lineTo(r.right() - 1.5, r.top() + 5);
    b.lineTo(r.right() - 1.5, r.bottom() - 2);
    b.lineTo(r.left() + 1.5, r.bottom() - 2);
    b.closeSubpath();
    p.setBrush(back);
    p.drawPath(b);
    if (open) {
        // The front leaf tilts forward, showing a sheet inside.
        p.setBrush(QColor(235, 235, 235));
        p.drawRect(QRectF(r.left() + 3.5, r.top() + 6, r.width() - 7, 5));
        QPainterPath f;
        f.moveTo(r.left() + 0.5, r.top() + 8.5);
        f.lineTo(r.right() - 3.5, r.top() + 8.5);
        f.lineTo(r.right() - 1.5, r.bottom() - 2);
        f.lineTo(r.left() + 2.5, r.bottom() - 2);
        f.closeSubpath();
        p.setBrush(front);
        p.drawPath(f);
    } else {
        p.setBrush(front);
        p.drawRoundedRect(QRectF(r.left() + 1.5, r.top() + 7, r.width() - 3, r.height() - 9), 1, 1);
    }
    p.restore();
}

void ClockIcon(QPainter& p, const QRectF& r) {
    p.save();
    const QPointF c = r.center();
    const double rad = r.width() / 2 - 1;
    p.setPen(QPen(QColor(230, 190, 80), 1.4));
    p.setBrush(QColor(40, 36, 24));
    p.drawEllipse(c, rad, rad);
    p.setPen(QPen(QColor(240, 220, 160), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(0, -rad + 2.5));
    p.drawLine(c, c + QPointF(rad - 3, 0));
    p.restore();
}

void KeyIcon(QPainter& p, const QRectF& r, bool down) {
    const QColor c = down ? kAccent : QColor(90, 190, 110);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.restore();
    Glyph(p, r, QString(QChar(down ? 0x2193 : 0x2191)), kTextBright, r.height() * 0.85);
}

} // namespace

void AddControlPictures(std::vector<Picture>& out) {
    // Polling-rate tiles: the "_dn" picture serves the hover and the chosen state.
    const struct {
        const char* file;
        const char* label;
        int level;
    } rates[] = {
        {"125hz", "125Hz", 1}, {"250hz", "250Hz", 2}, {"500hz", "500Hz", 3}, {"1000hz", "1000Hz", 4}};
    for (const auto& rate : rates) {
        for (bool down : {true, false}) {
            QString label = QString::fromLatin1(rate.label);
            int level = rate.level;
            Add(out, QStringLiteral("skins/%1%2.png").arg(QLatin1String(rate.file), down ? "_dn" : "_nr"),
                [label, level, down](QPainter& p, const QRectF& r) { RateTile(p, r, label, level, down); });
        }
    }

    for (State s : {State::Normal, State::Hover}) {
        Add(out, "skins/add" + Suffix(s) + ".png", [s](QPainter& p, const QRectF& r) {
            p.save();
            p.setPen(QPen(s == State::Hover ? QColor(140, 210, 245) : QColor(110, 110, 118), 1.3));
            p.setBrush(s == State::Hover ? kAccent : QColor(38, 38, 43));
            p.drawEllipse(r.adjusted(1, 1, -1, -1));
            p.restore();
            Glyph(p, r.adjusted(0, -0.5, 0, -0.5), QStringLiteral("+"),
                  s == State::Hover ? kTextBright : kText, 16);
        });
    }

    for (State s : {State::Normal, State::Hover}) {
        Add(out, "skins/button1" + Suffix(s) + ".png",
            [s](QPainter& p, const QRectF& r) { ButtonBody(p, r, s, 4); });
        Add(out, "skins/button2" + Suffix(s) + ".png",
            [s](QPainter& p, const QRectF& r) { ButtonBody(p, r, s, 4); });
    }
    // The pointer panel's button: one picture with the cursor and the settings gear.
    Add(out, QStringLiteral("skins/button4_nr.png"), [](QPainter& p, const QRectF& r) {
        ButtonBody(p, r.adjusted(0, 0, 0, 0), State::Normal, 6);
        p.save();
        // Cursor arrow.
        QPainterPath arrow;
        const QPointF o(r.left() + 70, r.top() + 10);
        arrow.moveTo(o);
        arrow.lineTo(o + QPointF(0, 22));
        arrow.lineTo(o + QPointF(5.5, 17));
        arrow.lineTo(o + QPointF(9.5, 25.5));
        arrow.lineTo(o + QPointF(13, 24));
        arrow.lineTo(o + QPointF(9, 15.5));
        arrow.lineTo(o + QPointF(16, 15.5));
        arrow.closeSubpath();
        p.setPen(QPen(QColor(20, 20, 22), 1.2));
        p.setBrush(kTextBright);
        p.drawPath(arrow);
        p.restore();
        Glyph(p, QRectF(r.left() + 100, r.top(), 40, r.height()), QString(QChar(0x2699)), kAccent, 26, false);
        Glyph(p, QRectF(r.left() + 136, r.top() + 2, 22, r.height()), QString(QChar(0x2197)), kText, 16);
    });

    for (State s : {State::Normal, State::Hover, State::Down}) {
        Add(out, "skins/check_button_dpi" + Suffix(s) + ".png",
            [s](QPainter& p, const QRectF& r) { CheckBox(p, r, s); });
        Add(out, "skins/check" + Suffix(s) + ".png",
            [s](QPainter& p, const QRectF& r) { CheckBox(p, r, s); });
        Add(out, "skins/radio" + Suffix(s) + ".png",
            [s](QPainter& p, const QRectF& r) { RadioDot(p, r, s); });
        Add(out, "skins/up" + Suffix(s, "_check") + ".png",
            [s](QPainter& p, const QRectF& r) { ArrowTile(p, r, true, s); });
        Add(out, "skins/down" + Suffix(s, "_check") + ".png",
            [s](QPainter& p, const QRectF& r) { ArrowTile(p, r, false, s); });
    }

    // Colour slot frames; the control fills the inner swatch (3 pixels in) itself.
    Add(out, QStringLiteral("skins/color_select_nr.png"), [](QPainter& p, const QRectF& r) {
        p.save();
        p.setPen(QPen(QColor(96, 96, 104), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
        p.setPen(QPen(QColor(24, 24, 27), 1));
        p.drawRect(r.adjusted(2.5, 2.5, -2.5, -2.5));
        p.restore();
    });
    Add(out, QStringLiteral("skins/color_select_check.png"), [](QPainter& p, const QRectF& r) {
        p.save();
        p.setPen(QPen(kAccent, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 3, 3);
        p.setPen(QPen(kTextBright, 1));
        p.drawRect(r.adjusted(2.5, 2.5, -2.5, -2.5));
        p.restore();
    });

    for (bool hover : {false, true}) {
        const QString s = hover ? QStringLiteral("_ov") : QStringLiteral("_nr");
        Add(out, "skins/combo2" + s + ".png",
            [hover](QPainter& p, const QRectF& r) { ComboField(p, r, hover); });
        Add(out, "skins/combo3" + s + ".png",
            [hover](QPainter& p, const QRectF& r) { ComboField(p, r, hover); });
        Add(out, "skins/header" + s + ".png",
            [hover](QPainter& p, const QRectF& r) { TitleBar(p, r, hover); });
        Add(out, "skins/header2" + s + ".png",
            [hover](QPainter& p, const QRectF& r) { TitleBar(p, r, hover); });
        Add(out, "skins/menu" + s + ".png",
            [hover](QPainter& p, const QRectF& r) { MenuRow(p, r, hover, false); });
        Add(out, "skins/menusub" + s + ".png",
            [hover](QPainter& p, const QRectF& r) { MenuRow(p, r, hover, true); });
        Add(out, "skins/profile_slot" + s + ".png",
            [hover](QPainter& p, const QRectF& r) { TabRow(p, r, hover, false); });
        Add(out, "skins/profile_slot" + s + "2.png",
            [hover](QPainter& p, const QRectF& r) { TabRow(p, r, hover, true); });
    }

    // The DPI value of a level is drawn over this plate.
    Add(out, QStringLiteral("skins/dpi_value.png"), [](QPainter& p, const QRectF& r) {
        Panel(p, r.adjusted(0.5, 0.5, -0.5, -0.5), 3, QColor(44, 44, 50), QColor(30, 30, 34),
              QColor(60, 60, 68));
    });

    for (bool hover : {false, true}) {
        const QString s = hover ? QStringLiteral("_ov") : QStringLiteral("_nr");
        Add(out, "skins/exit" + s + ".png", [hover](QPainter& p, const QRectF& r) {
            if (hover) {
                p.save();
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(226, 72, 72));
                p.drawRoundedRect(r, 3, 3);
                p.restore();
            }
            Glyph(p, r.adjusted(0, -0.5, 0, -0.5), QString(QChar(0x00D7)), hover ? kTextBright : kText, 15);
        });
        Add(out, "skins/min" + s + ".png", [hover](QPainter& p, const QRectF& r) {
            if (hover) {
                p.save();
                p.setPen(Qt::NoPen);
                p.setBrush(kAccent);
                p.drawRoundedRect(r, 3, 3);
                p.restore();
            }
            Glyph(p, r.adjusted(0, -0.5, 0, -0.5), QString(QChar(0x2013)), hover ? kTextBright : kText, 14);
        });
    }

    Add(out, QStringLiteral("skins/foldr_close.png"),
        [](QPainter& p, const QRectF& r) { Folder(p, r, false); });
    Add(out, QStringLiteral("skins/foldr_open.png"),
        [](QPainter& p, const QRectF& r) { Folder(p, r, true); });
    Add(out, QStringLiteral("skins/macro_down.png"),
        [](QPainter& p, const QRectF& r) { KeyIcon(p, r, true); });
    Add(out, QStringLiteral("skins/macro_up.png"),
        [](QPainter& p, const QRectF& r) { KeyIcon(p, r, false); });
    Add(out, QStringLiteral("skins/macro_time.png"), [](QPainter& p, const QRectF& r) { ClockIcon(p, r); });

    // Record button: a red dot while idle, a stop square on red while recording.
    Add(out, QStringLiteral("skins/macro_record_nr.png"), [](QPainter& p, const QRectF& r) {
        Panel(p, r, 9, QColor(50, 50, 56), QColor(34, 34, 38), kBorder);
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(226, 64, 64));
        p.drawEllipse(QPointF(r.left() + 10, r.center().y()), 4, 4);
        p.restore();
    });
    Add(out, QStringLiteral("skins/macro_record_dn.png"), [](QPainter& p, const QRectF& r) {
        Panel(p, r, 9, QColor(214, 64, 64), QColor(150, 34, 34), QColor(250, 130, 130));
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(kTextBright);
        p.drawRoundedRect(QRectF(r.left() + 6.5, r.center().y() - 3.5, 7, 7), 1, 1);
        p.restore();
    });

    // Slider track and thumb.
    Add(out, QStringLiteral("skins/Slider_bar.png"), [](QPainter& p, const QRectF& r) {
        QLinearGradient g(r.topLeft(), r.topRight());
        g.setColorAt(0, kAccentDeep);
        g.setColorAt(1, kAccent);
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(r, 1.5, 1.5);
        p.restore();
    });
    Add(out, QStringLiteral("skins/Slider_Circle.png"), [](QPainter& p, const QRectF& r) {
        p.save();
        QRadialGradient g(r.center() - QPointF(1.5, 1.5), 7);
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(1, QColor(200, 206, 212));
        p.setPen(QPen(kAccent, 2));
        p.setBrush(g);
        p.drawEllipse(r.adjusted(1, 1, -1, -1));
        p.restore();
    });
}

} // namespace skingen
