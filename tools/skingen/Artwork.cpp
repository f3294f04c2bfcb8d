#include "Artwork.h"

#include <QLinearGradient>
#include <QPainterPath>

#include <map>

#include "skin/SkinManifest.h"

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

namespace {

// The generator's name of a manifest file ("skins/mouse/number1.png") and of an
// embedded picture ("bitmap/364.png").
QString FileName(const tarvik::SkinFileEntry& e) {
    return QString::fromLatin1(e.name.data(), static_cast<qsizetype>(e.name.size())).replace('\\', '/');
}
QString EmbeddedName(const tarvik::EmbeddedPictureEntry& e) {
    return QStringLiteral("%1/%2.png")
        .arg(e.type == "PNG" ? QStringLiteral("png") : QStringLiteral("bitmap"))
        .arg(e.number);
}

} // namespace

std::vector<Picture> SkinPictures() {
    std::vector<Picture> out;
    AddControlPictures(out);
    AddMousePictures(out);
    AddFramePictures(out);
    for (Picture& p : out) {
        for (const tarvik::SkinFileEntry& e : tarvik::kSkinFiles) {
            if (FileName(e) != p.name) continue;
            p.width = e.width;
            p.height = e.height;
            p.opaque = p.name.endsWith(QLatin1String(".bmp")); // background bitmaps have no alpha
        }
    }
    return out;
}

std::vector<Picture> EmbeddedPictures() {
    std::vector<Picture> out;
    AddEmbeddedPictures(out);
    for (Picture& p : out) {
        for (const tarvik::EmbeddedPictureEntry& e : tarvik::kEmbeddedPictures) {
            if (EmbeddedName(e) != p.name) continue;
            p.width = e.width;
            p.height = e.height;
            p.opaque = e.type == "BITMAP";
        }
    }
    return out;
}

QStringList ManifestProblems() {
    QStringList problems;
    std::map<QString, int> drawn;
    for (const auto& list : {SkinPictures(), EmbeddedPictures()})
        for (const Picture& p : list) {
            ++drawn[p.name];
            if (p.width <= 0) problems << QStringLiteral("%1 is drawn but not in the manifest").arg(p.name);
        }
    QStringList listed;
    for (const tarvik::SkinFileEntry& e : tarvik::kSkinFiles) listed << FileName(e);
    for (const tarvik::EmbeddedPictureEntry& e : tarvik::kEmbeddedPictures) listed << EmbeddedName(e);
    for (const QString& name : listed) {
        const int n = drawn.count(name) ? drawn[name] : 0;
        if (n == 0) problems << QStringLiteral("%1 is in the manifest but nothing draws it").arg(name);
        if (n > 1) problems << QStringLiteral("%1 is drawn %2 times").arg(name).arg(n);
    }
    return problems;
}

void Add(std::vector<Picture>& out, const QString& name, std::function<void(QPainter&, const QRectF&)> draw) {
    out.push_back(Picture{name, 0, 0, false, std::move(draw)});
}

} // namespace skingen
