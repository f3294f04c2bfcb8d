#include "skin/SkinImage.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

// The embedded pictures live in a static resource library; registering it here
// also makes the linker keep it.
static void RegisterSkinResources() {
    static const bool once = [] {
        Q_INIT_RESOURCE(tarvik_skin);
        return true;
    }();
    (void)once;
}

namespace tarvik {

namespace {

QString EmbeddedPath(const QString& type, int number) {
    const QString kind = type.compare(QLatin1String("PNG"), Qt::CaseInsensitive) == 0
                             ? QStringLiteral("png")
                             : QStringLiteral("bitmap");
    return QStringLiteral(":/tarvik/%1/%2.png").arg(kind).arg(number);
}

QImage Decode(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage img = reader.read();
    if (img.isNull()) return img;
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage Opaque(const QImage& decoded) {
    QImage out(decoded.size(), QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    p.drawImage(0, 0, decoded);
    return out;
}

} // namespace

bool LoadSkinImage(SkinImage& slot, const QString& path, int& width, int& height) {
    QImage img = Decode(path);
    if (img.isNull()) {
        slot.Reset();
        return false;
    }
    width = img.width();
    height = img.height();
    slot.Set(std::move(img));
    return true;
}

bool LoadEmbeddedImage(SkinImage& slot, const QString& type, int number) {
    RegisterSkinResources();
    QImage img = Decode(EmbeddedPath(type, number));
    if (img.isNull()) return false;
    slot.Set(std::move(img));
    return true;
}

bool LoadSkinBitmap(const QString& path, SkinBitmap& out) {
    QImage img = Decode(path);
    if (img.isNull()) return false;
    out.image = Opaque(img);
    out.width = out.image.width();
    out.height = out.image.height();
    return true;
}

bool LoadBitmapResource(int number, SkinBitmap& out) {
    RegisterSkinResources();
    return LoadSkinBitmap(EmbeddedPath(QStringLiteral("BITMAP"), number), out);
}

void DrawSkinImage(QPainter& dc, const SkinImage& picture, const QRectF& dst, const QRect& src) {
    if (picture.IsNull() || dst.isEmpty() || src.isEmpty()) return;
    dc.save();
    dc.setRenderHint(QPainter::SmoothPixmapTransform, false);
    dc.drawImage(dst, picture.Image(), QRectF(src));
    dc.restore();
}

void StretchBitmap(QPainter& dc, const QImage& bitmap, const QRect& dst, const QRect& src) {
    if (bitmap.isNull() || dst.isEmpty() || src.isEmpty()) return;
    dc.save();
    dc.setRenderHint(QPainter::SmoothPixmapTransform, false);
    dc.drawImage(dst, bitmap, src);
    dc.restore();
}

QRect StripFrame(int pictureWidth, int pictureHeight, int frames, int k) {
    if (frames <= 0) return {};
    const int frameWidth = pictureWidth / frames;
    return QRect(k * frameWidth, 0, frameWidth, pictureHeight);
}

bool AverageColour(const QImage& bitmap, int width, int height, Colour& out) {
    if (bitmap.isNull() || width <= 0 || height <= 0 || bitmap.width() < width || bitmap.height() < height)
        return false;
    const QImage rgb = bitmap.convertToFormat(QImage::Format_RGB32);
    std::uint64_t r = 0, g = 0, b = 0;
    for (int y = 0; y < height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            r += static_cast<unsigned>(qRed(line[x]));
            g += static_cast<unsigned>(qGreen(line[x]));
            b += static_cast<unsigned>(qBlue(line[x]));
        }
    }
    const std::uint64_t n = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    out = Rgb(static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(b / n));
    return true;
}

} // namespace tarvik
