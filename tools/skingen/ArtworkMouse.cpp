// The mouse, its button numbers, the DPI level bars, the battery and the power dial.
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

#include "Artwork.h"

namespace skingen {

using namespace theme;

namespace {

// Outline of the mouse body seen from above, 215 x 398: a symmetric shell,
// widest over the buttons and the palm, slightly waisted at the thumb.
QPainterPath MouseBody() {
    QPainterPath body;
    body.moveTo(107.5, 12);
    body.cubicTo(70, 12, 40, 30, 34, 80);
    body.cubicTo(30, 115, 33, 150, 34, 180);
    body.cubicTo(35, 215, 26, 250, 26, 295);
    body.cubicTo(26, 355, 60, 390, 107.5, 390);
    body.cubicTo(155, 390, 189, 355, 189, 295);
    body.cubicTo(189, 250, 180, 215, 181, 180);
    body.cubicTo(182, 150, 185, 115, 181, 80);
    body.cubicTo(175, 30, 145, 12, 107.5, 12);
    body.closeSubpath();
    return body;
}

void DrawMouse(QPainter& p) {
    const QPainterPath body = MouseBody();

    // Soft drop shadow under the shell.
    p.save();
    for (int i = 6; i >= 1; --i) {
        p.setPen(QPen(QColor(0, 0, 0, 14), i * 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawPath(body.translated(0, 3));
    }
    p.restore();

    // Shell.
    QRadialGradient shell(QPointF(107.5, 150), 230);
    shell.setColorAt(0, QColor(58, 58, 66));
    shell.setColorAt(0.55, QColor(36, 36, 41));
    shell.setColorAt(1, QColor(22, 22, 25));
    p.setPen(QPen(QColor(88, 88, 98), 1.6));
    p.setBrush(shell);
    p.drawPath(body);

    // Side buttons 4 (front) and 5 (back) on the thumb side.
    auto sideButton = [&p](QRectF r) {
        QLinearGradient g(r.topLeft(), r.topRight());
        g.setColorAt(0, QColor(70, 70, 78));
        g.setColorAt(1, QColor(40, 40, 46));
        p.setPen(QPen(QColor(110, 110, 120), 1.2));
        p.setBrush(g);
        p.drawRoundedRect(r, 4, 4);
    };
    sideButton(QRectF(17, 147, 17, 30));
    sideButton(QRectF(20, 196, 16, 30));

    // The two main buttons end in a curved seam above the palm.
    p.save();
    p.setClipPath(body);
    QPainterPath seam;
    seam.moveTo(20, 160);
    seam.cubicTo(60, 145, 155, 145, 195, 160);
    QPainterPath buttons;
    buttons.moveTo(0, 0);
    buttons.lineTo(215, 0);
    buttons.lineTo(215, 160);
    buttons.cubicTo(155, 145, 60, 145, 0, 160);
    buttons.closeSubpath();
    QLinearGradient sheen(QPointF(0, 12), QPointF(0, 160));
    sheen.setColorAt(0, QColor(255, 255, 255, 26));
    sheen.setColorAt(1, QColor(255, 255, 255, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawPath(buttons);
    p.setPen(QPen(QColor(12, 12, 14), 2.2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(seam);
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    p.drawPath(seam.translated(0, 1.5));
    // Split between the left and right button, interrupted by the wheel well.
    p.setPen(QPen(QColor(12, 12, 14), 2.2));
    p.drawLine(QPointF(107.5, 10), QPointF(107.5, 52));
    p.drawLine(QPointF(107.5, 132), QPointF(107.5, 150));
    p.restore();

    // Wheel well and wheel (button 3).
    p.setPen(QPen(QColor(8, 8, 10), 1));
    p.setBrush(QColor(14, 14, 16));
    p.drawRoundedRect(QRectF(95.5, 52, 24, 80), 11, 11);
    QLinearGradient wheel(QPointF(0, 62), QPointF(0, 122));
    wheel.setColorAt(0, QColor(40, 40, 46));
    wheel.setColorAt(0.5, QColor(92, 92, 102));
    wheel.setColorAt(1, QColor(40, 40, 46));
    p.setPen(QPen(QColor(20, 20, 22), 1));
    p.setBrush(wheel);
    p.drawRoundedRect(QRectF(100.5, 62, 14, 60), 6, 6);
    p.setPen(QPen(QColor(20, 20, 24, 200), 1));
    for (double y = 66; y < 120; y += 4) p.drawLine(QPointF(102, y), QPointF(113, y));
    // Accent glow around the wheel well.
    p.setPen(QPen(QColor(53, 160, 222, 120), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(94, 50.5, 27, 83), 12.5, 12.5);

    // DPI button (button 6) with its indicator slit.
    p.setPen(QPen(QColor(100, 100, 110), 1.2));
    QLinearGradient dpi(QPointF(0, 172), QPointF(0, 197));
    dpi.setColorAt(0, QColor(64, 64, 72));
    dpi.setColorAt(1, QColor(34, 34, 38));
    p.setBrush(dpi);
    p.drawRoundedRect(QRectF(98.5, 171, 19, 26), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(105, 176, 6, 3), 1.5, 1.5);

    // Light strips along both flanks of the palm, and the logo mark.
    p.save();
    p.setClipPath(body);
    QLinearGradient strip(QPointF(0, 230), QPointF(0, 370));
    strip.setColorAt(0, QColor(53, 160, 222, 0));
    strip.setColorAt(0.5, QColor(53, 160, 222, 230));
    strip.setColorAt(1, QColor(53, 160, 222, 0));
    p.setPen(QPen(QBrush(strip), 2.2, Qt::SolidLine, Qt::RoundCap));
    QPainterPath left, right;
    left.moveTo(40, 235);
    left.cubicTo(34, 280, 36, 330, 55, 365);
    right.moveTo(175, 235);
    right.cubicTo(181, 280, 179, 330, 160, 365);
    p.setBrush(Qt::NoBrush);
    p.drawPath(left);
    p.drawPath(right);
    p.restore();

    // Logo: a chevron pair pointing forward.
    p.setPen(QPen(kAccent, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath logo;
    logo.moveTo(94, 300);
    logo.lineTo(107.5, 286);
    logo.lineTo(121, 300);
    p.drawPath(logo);
    p.setPen(QPen(QColor(53, 160, 222, 140), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(logo.translated(0, 10));

    // Highlight on the shell.
    p.save();
    p.setClipPath(body);
    QRadialGradient hi(QPointF(80, 90), 70);
    hi.setColorAt(0, QColor(255, 255, 255, 22));
    hi.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(hi);
    p.drawEllipse(QPointF(80, 90), 70, 70);
    p.restore();
}

// Angles (degrees, counter-clockwise from the right) of the dial's rim points:
// the wedges of the values 3 to 10 lie between neighbouring angles.
double RimAngle(int i) {
    static const int rim[9][2] = {{3, 71},   {7, 51},   {17, 32},  {40, 13}, {70, 5},
                                  {100, 14}, {121, 31}, {131, 51}, {134, 71}};
    const double dx = rim[i][0] - 70.0, dy = 71.0 - rim[i][1];
    return std::atan2(dy, dx) * 180.0 / std::numbers::pi;
}

void DrawPowerDial(QPainter& p, int value) {
    const QPointF c(70, 71);
    const double outer = 64, inner = 25;
    for (int v = 3; v <= 10; ++v) {
        const double a0 = RimAngle(v - 3), a1 = RimAngle(v - 2); // a0 > a1
        const double gap = 1.2;
        const double start = a1 + gap / 2, sweep = (a0 - a1) - gap;
        QPainterPath wedge;
        wedge.arcMoveTo(QRectF(c.x() - outer, c.y() - outer, 2 * outer, 2 * outer), start);
        wedge.arcTo(QRectF(c.x() - outer, c.y() - outer, 2 * outer, 2 * outer), start, sweep);
        wedge.arcTo(QRectF(c.x() - inner, c.y() - inner, 2 * inner, 2 * inner), start + sweep, -sweep);
        wedge.closeSubpath();
        QColor text;
        if (v == value) {
            QRadialGradient g(c, outer);
            g.setColorAt(0.35, QColor(30, 110, 160));
            g.setColorAt(1, QColor(80, 190, 245));
            p.setBrush(g);
            p.setPen(QPen(QColor(150, 215, 250), 1));
            text = kTextBright;
        } else if (v < value) {
            p.setBrush(QColor(34, 72, 96));
            p.setPen(QPen(QColor(48, 96, 126), 1));
            text = QColor(190, 220, 235);
        } else {
            p.setBrush(QColor(42, 42, 48));
            p.setPen(QPen(QColor(60, 60, 68), 1));
            text = kText;
        }
        p.drawPath(wedge);
        const double mid = (a0 + a1) / 2 * std::numbers::pi / 180.0;
        const double lr = (outer + inner) / 2 + 6;
        const QPointF lp(c.x() + lr * std::cos(mid), c.y() - lr * std::sin(mid));
        Glyph(p, QRectF(lp.x() - 9, lp.y() - 7, 18, 14), QString::number(v), text, v == value ? 11 : 9.5);
    }
    // Hub with the chosen value.
    p.save();
    QRadialGradient hub(c, 22);
    hub.setColorAt(0, QColor(46, 46, 52));
    hub.setColorAt(1, QColor(26, 26, 30));
    p.setBrush(hub);
    p.setPen(QPen(kAccent, 1.5));
    QPainterPath half;
    half.moveTo(c + QPointF(-21, 0));
    half.arcTo(QRectF(c.x() - 21, c.y() - 21, 42, 42), 180, -180);
    half.closeSubpath();
    p.drawPath(half);
    p.restore();
    Glyph(p, QRectF(c.x() - 20, c.y() - 18, 40, 17), QString::number(value), kTextBright, 14);
    Glyph(p, QRectF(c.x() - 20, c.y() + 1, 40, 12), QStringLiteral("min"), kText, 9, false);
}

// Battery shell shared by every battery picture: cap on top, body from y 5 to 59;
// the level fill occupies rows 7 to 57.
void BatteryShell(QPainter& p, const QColor& edge) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(edge);
    p.drawRoundedRect(QRectF(10, 1, 10, 4.5), 1.5, 1.5);
    p.setPen(QPen(edge, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4, 5, 22, 54), 3.5, 3.5);
    p.restore();
}

void BatteryFill(QPainter& p, const QColor& top, const QColor& bottom) {
    QLinearGradient g(QPointF(0, 7), QPointF(0, 57));
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(6.5, 7, 17, 50), 1.5, 1.5);
    p.restore();
}

void NumberBadge(QPainter& p, const QRectF& r, int n) {
    p.save();
    QRadialGradient glow(r.center(), r.width() / 2);
    glow.setColorAt(0.6, QColor(53, 160, 222, 140));
    glow.setColorAt(1, QColor(53, 160, 222, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(r);
    QRadialGradient disc(r.center() - QPointF(2, 2), r.width() / 2);
    disc.setColorAt(0, QColor(110, 200, 245));
    disc.setColorAt(1, QColor(36, 128, 186));
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.3));
    p.setBrush(disc);
    p.drawEllipse(r.adjusted(3, 3, -3, -3));
    p.restore();
    Glyph(p, r.adjusted(0, 0.5, 0, 0.5), QString::number(n), kTextBright, 12);
}

} // namespace

void AddMousePictures(std::vector<Picture>& out) {
    Add(out, QStringLiteral("skins/mouse/mouse_nr.png"), [](QPainter& p, const QRectF&) { DrawMouse(p); });

    for (int n = 1; n <= 9; ++n) {
        Add(out, QStringLiteral("skins/mouse/number%1.png").arg(n),
            [n](QPainter& p, const QRectF& r) { NumberBadge(p, r, n); });
        Add(out, QStringLiteral("skins/mouse/serial_number%1.png").arg(n), [n](QPainter& p, const QRectF& r) {
            Panel(p, r.adjusted(0.5, 0.5, -0.5, -0.5), 4, QColor(48, 48, 54), QColor(32, 32, 36), kAccent,
                  1.2);
            Glyph(p, r, QString::number(n), kTextBright, 12);
        });
    }

    // DPI level bar: the empty track and the lit fill drawn over it from the bottom.
    Add(out, QStringLiteral("skins/mouse/dpi_bar_1.png"), [](QPainter& p, const QRectF& r) {
        Panel(p, r.adjusted(0.5, 0.5, -0.5, -0.5), 2.5, QColor(24, 24, 27), QColor(34, 34, 38),
              QColor(62, 62, 70));
    });
    Add(out, QStringLiteral("skins/mouse/dpi_bar_2.png"), [](QPainter& p, const QRectF& r) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(130, 215, 250));
        g.setColorAt(0.4, kAccent);
        g.setColorAt(1, QColor(26, 90, 132));
        p.save();
        p.setPen(QPen(QColor(150, 220, 250), 1));
        p.setBrush(g);
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 2.5, 2.5);
        p.restore();
    });

    // Battery gauge.
    Add(out, QStringLiteral("skins/battery_empty.png"), [](QPainter& p, const QRectF&) {
        BatteryFill(p, QColor(30, 30, 34), QColor(22, 22, 25));
        BatteryShell(p, QColor(150, 150, 158));
    });
    Add(out, QStringLiteral("skins/battery_full.png"), [](QPainter& p, const QRectF&) {
        BatteryFill(p, QColor(120, 226, 120), QColor(46, 150, 60));
        BatteryShell(p, QColor(150, 150, 158));
    });
    Add(out, QStringLiteral("skins/battery_charging.png"), [](QPainter& p, const QRectF&) {
        BatteryFill(p, QColor(120, 205, 245), QColor(30, 110, 165));
        BatteryShell(p, QColor(150, 150, 158));
    });
    // The flash drawn over a charging or full battery, with the shell so that the
    // outline is complete whatever lies below.
    Add(out, QStringLiteral("skins/battery_lighting.png"), [](QPainter& p, const QRectF&) {
        BatteryShell(p, QColor(150, 150, 158));
        QPainterPath bolt;
        bolt.moveTo(17.5, 13);
        bolt.lineTo(8.5, 34);
        bolt.lineTo(14.5, 34);
        bolt.lineTo(12, 50);
        bolt.lineTo(21.5, 27);
        bolt.lineTo(15.5, 27);
        bolt.closeSubpath();
        p.save();
        p.setPen(QPen(QColor(60, 44, 0), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(255, 214, 60));
        p.drawPath(bolt);
        p.restore();
    });
    const struct {
        const char* name;
        QColor colour;
    } dots[] = {
        {"green", QColor(84, 200, 96)}, {"orange", QColor(240, 160, 48)}, {"red", QColor(232, 64, 64)}};
    for (const auto& d : dots) {
        QColor c = d.colour;
        Add(out, QStringLiteral("skins/battery_%1.png").arg(QLatin1String(d.name)),
            [c](QPainter& p, const QRectF& r) {
                p.save();
                p.setPen(QPen(c.lighter(140), 0.8));
                p.setBrush(c);
                p.drawEllipse(r.adjusted(0.5, 0.5, -0.5, -0.5));
                p.restore();
            });
    }

    for (int v = 3; v <= 10; ++v)
        Add(out, QStringLiteral("skins/power_manage_%1min.png").arg(v),
            [v](QPainter& p, const QRectF&) { DrawPowerDial(p, v); });
}

} // namespace skingen
