#include "skin/SkinImage.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <future>
#include <map>
#include <mutex>

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
    // In place: a large picture is not held twice while it is converted.
    img.convertTo(QImage::Format_ARGB32_Premultiplied);
    return img;
}

// The picture composed over black. Its pixels are premultiplied, so over black
// they keep their colour and only lose their alpha. (No painter: this runs on
// the preload thread too.)
QImage Opaque(QImage img) {
    img.convertTo(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) line[x] |= 0xFF000000u;
    }
    img.reinterpretAsFormat(QImage::Format_RGB32);
    return img;
}

// The decoded pictures by path and kind, with the size and time of change of
// the file they came from. An entry's picture may still be in the making on
// another thread; its future is waited for.
struct CacheEntry {
    std::shared_future<QImage> image;
    qint64 size = -1;
    QDateTime modified;
};
std::mutex g_cacheMutex;
std::map<std::pair<QString, bool>, CacheEntry> g_cache;

QImage CachedDecode(const QString& path, bool opaque) {
    const QFileInfo info(path);
    const qint64 size = info.exists() ? info.size() : -1;
    const QDateTime modified = info.lastModified();
    std::promise<QImage> promise;
    std::shared_future<QImage> future;
    bool mine = false;
    {
        std::lock_guard lock(g_cacheMutex);
        CacheEntry& entry = g_cache[{path, opaque}];
        if (!entry.image.valid() || entry.size != size || entry.modified != modified) {
            entry = {promise.get_future().share(), size, modified};
            mine = true;
        }
        future = entry.image;
    }
    if (mine) {
        QImage img = Decode(path);
        if (opaque && !img.isNull()) img = Opaque(std::move(img));
        promise.set_value(std::move(img));
    }
    return future.get();
}

} // namespace

SkinPreload::SkinPreload(std::vector<QString> files, std::vector<int> bitmaps) {
    // Resolved here: the program folder is read on this thread only.
    std::vector<std::pair<QString, bool>> work;
    for (int number : bitmaps) work.emplace_back(EmbeddedPath(QStringLiteral("BITMAP"), number), true);
    for (const QString& name : files)
        work.emplace_back(SkinFile(name), name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive));
    RegisterSkinResources();
    thread_ = std::thread([this, work = std::move(work)] {
        for (const auto& [path, opaque] : work) {
            if (stop_) return;
            static_cast<void>(CachedDecode(path, opaque));
        }
    });
}

SkinPreload::~SkinPreload() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

bool LoadSkinImage(SkinImage& slot, const QString& path, int& width, int& height) {
    QImage img = CachedDecode(path, false);
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
    QImage img = CachedDecode(EmbeddedPath(type, number), false);
    if (img.isNull()) return false;
    slot.Set(std::move(img));
    return true;
}

bool LoadSkinBitmap(const QString& path, SkinBitmap& out) {
    QImage img = CachedDecode(path, true);
    if (img.isNull()) return false;
    out.image = std::move(img);
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
