#include "Artwork.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace skingen {

QFont GlyphFont(double pixelSize, bool bold) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(std::max(1, static_cast<int>(pixelSize + 0.5)));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void Glyph(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, double pixelSize,
           bool bold) {
    p.save();
    p.setFont(GlyphFont(pixelSize, bold));
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
    p.restore();
}

void Panel(QPainter& p, const QRectF& r, double radius, const QColor& top, const QColor& bottom,
           const QColor& border, double borderWidth) {
    p.save();
    const double inset = borderWidth / 2.0;
    QRectF body = r.adjusted(inset, inset, -inset, -inset);
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    if (borderWidth > 0 && border.alpha() > 0)
        p.setPen(QPen(border, borderWidth));
    else
        p.setPen(Qt::NoPen);
    p.drawRoundedRect(body, radius, radius);
    p.restore();
}

QImage Render(const Picture& pic) {
    QImage img(pic.width, pic.height, QImage::Format_ARGB32_Premultiplied);
    img.fill(pic.opaque ? Qt::black : Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        pic.draw(p, QRectF(0, 0, pic.width, pic.height));
    }
    if (pic.opaque) return img.convertToFormat(QImage::Format_RGB32);
    return img.convertToFormat(QImage::Format_ARGB32);
}

std::vector<Picture> SkinPictures() {
    std::vector<Picture> out;
    AddControlPictures(out);
    AddMousePictures(out);
    AddFramePictures(out);
    return out;
}

} // namespace skingen
