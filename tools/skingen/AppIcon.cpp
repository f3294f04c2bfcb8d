#include "AppIcon.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QSaveFile>

#include <cstdio>

#include "Artwork.h"

namespace skingen {

namespace {

constexpr double kDesign = 256.0;

// A rounded rectangle filled with a vertical gradient (top to bottom colour) and
// an optional outline, or a straight stroke with flat ends.
struct IconShape {
    enum class Kind { RoundedRect, Line } kind;
    QRectF rect; // RoundedRect: the shape; Line: from top-left to bottom-right
    double radius = 0;
    QColor top, bottom;
    QColor stroke;
    double strokeWidth = 0;
};

// The mark of the tray icon (a mouse seen from above: body, the split between
// the buttons, the wheel) scaled onto a tile of the window's dark surfaces.
std::vector<IconShape> Shapes() {
    using K = IconShape::Kind;
    const QColor dark(20, 24, 30);
    return {
        {K::RoundedRect, QRectF(16, 16, 224, 224), 52, theme::kRaised, theme::kBase, theme::kBorder, 4},
        {K::RoundedRect, QRectF(71.5, 40, 113, 176), 56.5, QColor(96, 190, 244), theme::kAccentDeep, {}, 0},
        {K::Line, QRectF(QPointF(128, 43), QPointF(128, 106)), 0, {}, {}, dark, 8},
        {K::Line, QRectF(QPointF(71.5, 110), QPointF(184.5, 110)), 0, {}, {}, dark, 8},
        {K::RoundedRect, QRectF(118.5, 58, 19, 32), 9.5, dark, dark, {}, 0},
    };
}

QString Num(double v) {
    return QString::number(v, 'g', 6);
}

} // namespace

QString AppIconSvg() {
    QString defs, body;
    int gradients = 0;
    for (const IconShape& s : Shapes()) {
        QString paint;
        if (s.kind == IconShape::Kind::Line) {
            body +=
                QStringLiteral("  <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\"")
                    .arg(Num(s.rect.left()), Num(s.rect.top()), Num(s.rect.right()), Num(s.rect.bottom()));
            paint = QStringLiteral(" fill=\"none\"");
        } else {
            body += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" ry=\"%5\"")
                        .arg(Num(s.rect.x()), Num(s.rect.y()), Num(s.rect.width()), Num(s.rect.height()),
                             Num(s.radius));
            if (s.top == s.bottom) {
                paint = QStringLiteral(" fill=\"%1\"").arg(s.top.name());
            } else {
                const QString id = QStringLiteral("fill%1").arg(gradients++);
                defs += QStringLiteral("    <linearGradient id=\"%1\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
                                       "      <stop offset=\"0\" stop-color=\"%2\"/>\n"
                                       "      <stop offset=\"1\" stop-color=\"%3\"/>\n"
                                       "    </linearGradient>\n")
                            .arg(id, s.top.name(), s.bottom.name());
                paint = QStringLiteral(" fill=\"url(#%1)\"").arg(id);
            }
        }
        if (s.strokeWidth > 0)
            paint +=
                QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"").arg(s.stroke.name(), Num(s.strokeWidth));
        body += paint + QStringLiteral("/>\n");
    }
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                                 "viewBox=\"0 0 %1 %1\">\n")
                      .arg(Num(kDesign));
    if (!defs.isEmpty()) svg += QStringLiteral("  <defs>\n") + defs + QStringLiteral("  </defs>\n");
    svg += body + QStringLiteral("</svg>\n");
    return svg;
}

QImage AppIconImage(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / kDesign, size / kDesign);
    for (const IconShape& s : Shapes()) {
        const QPen pen =
            s.strokeWidth > 0 ? QPen(s.stroke, s.strokeWidth, Qt::SolidLine, Qt::FlatCap) : QPen(Qt::NoPen);
        p.setPen(pen);
        if (s.kind == IconShape::Kind::Line) {
            p.drawLine(s.rect.topLeft(), s.rect.bottomRight());
            continue;
        }
        QLinearGradient fill(s.rect.topLeft(), s.rect.bottomLeft());
        fill.setColorAt(0, s.top);
        fill.setColorAt(1, s.bottom);
        p.setBrush(fill);
        p.drawRoundedRect(s.rect, s.radius, s.radius);
    }
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

bool WriteAppIcons(const QString& dir, const QString& name) {
    bool ok = true;
    auto fail = [&ok](const QString& path) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
        ok = false;
    };
    const QString scalable = dir + QStringLiteral("/hicolor/scalable/apps");
    QDir().mkpath(scalable);
    QSaveFile svg(scalable + '/' + name + QStringLiteral(".svg"));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(AppIconSvg().toUtf8()) < 0 || !svg.commit())
        fail(svg.fileName());
    for (int size : kAppIconSizes) {
        const QString folder = dir + QStringLiteral("/hicolor/%1x%1/apps").arg(size);
        QDir().mkpath(folder);
        const QString path = folder + '/' + name + QStringLiteral(".png");
        if (!AppIconImage(size).save(path, "PNG")) fail(path);
    }
    return ok;
}

} // namespace skingen
