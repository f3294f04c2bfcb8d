#include "skin/SkinImage.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
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

// Embedded bitmaps kept as runs, by path. They never change while the
// program runs, so an entry is made once.
std::mutex g_runsMutex;
std::map<QString, std::shared_future<RunBitmap>> g_runs;

RunBitmap CachedRuns(const QString& path) {
    std::promise<RunBitmap> promise;
    std::shared_future<RunBitmap> future;
    bool mine = false;
    {
        std::lock_guard lock(g_runsMutex);
        std::shared_future<RunBitmap>& entry = g_runs[path];
        if (!entry.valid()) {
            entry = promise.get_future().share();
            mine = true;
        }
        future = entry;
    }
    if (mine) {
        // The decoded picture lives only while its runs are made.
        QImage img = Decode(path);
        promise.set_value(img.isNull() ? RunBitmap() : RunBitmap(Opaque(std::move(img))));
    }
    return future.get();
}

} // namespace

RunBitmap::RunBitmap(const QImage& picture) {
    if (picture.isNull()) return;
    const QImage rgb = picture.format() == QImage::Format_RGB32 ||
                               picture.format() == QImage::Format_ARGB32 ||
                               picture.format() == QImage::Format_ARGB32_Premultiplied
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB32);
    auto data = std::make_shared<Data>();
    data->width = rgb.width();
    data->height = rgb.height();
    data->rowStart.reserve(static_cast<std::size_t>(data->height) + 1);
    for (int y = 0; y < data->height; ++y) {
        data->rowStart.push_back(static_cast<std::uint32_t>(data->runs.size()));
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int x = 0;
        while (x < data->width) {
            const QRgb colour = line[x] | 0xFF000000u;
            int end = x + 1;
            while (end < data->width && (line[end] | 0xFF000000u) == colour) ++end;
            data->runs.push_back({colour, end});
            x = end;
        }
    }
    data->rowStart.push_back(static_cast<std::uint32_t>(data->runs.size()));
    data->runs.shrink_to_fit();
    data_ = std::move(data);
}

std::size_t RunBitmap::Bytes() const {
    if (!data_) return 0;
    return data_->runs.size() * sizeof(Run) + data_->rowStart.size() * sizeof(std::uint32_t);
}

void RunBitmap::ExpandRow(int y, int left, int right, QRgb* out) const {
    const Run* first = data_->runs.data() + data_->rowStart[static_cast<std::size_t>(y)];
    const Run* last = data_->runs.data() + data_->rowStart[static_cast<std::size_t>(y) + 1];
    // The run that holds column `left`: the first whose end lies past it.
    const Run* run = std::upper_bound(first, last, left, [](int x, const Run& r) { return x < r.end; });
    for (int x = left; x < right; ++run) {
        const int end = std::min(run->end, right);
        std::fill(out + (x - left), out + (end - left), run->colour);
        x = end;
    }
}

QRgb RunBitmap::Pixel(int x, int y) const {
    if (!data_ || x < 0 || y < 0 || x >= data_->width || y >= data_->height) return 0;
    QRgb p = 0;
    ExpandRow(y, x, x + 1, &p);
    return p;
}

QImage RunBitmap::ToImage() const {
    if (!data_) return {};
    QImage img(data_->width, data_->height, QImage::Format_RGB32);
    for (int y = 0; y < data_->height; ++y)
        ExpandRow(y, 0, data_->width, reinterpret_cast<QRgb*>(img.scanLine(y)));
    return img;
}

void RunBitmap::Draw(QPainter& dc, QPoint at, const QRect& area) const {
    if (!data_) return;
    const QRect part = area & QRect(0, 0, data_->width, data_->height);
    if (part.isEmpty()) return;
    // Bands of about 64 KB: small enough to stay on the heap and be reused.
    const int bandRows = std::clamp(16384 / part.width(), 1, part.height());
    QImage band(part.width(), bandRows, QImage::Format_RGB32);
    const QPoint to = at + (part.topLeft() - area.topLeft());
    for (int top = part.top(); top <= part.bottom(); top += bandRows) {
        const int rows = std::min(bandRows, part.bottom() + 1 - top);
        for (int r = 0; r < rows; ++r)
            ExpandRow(top + r, part.left(), part.right() + 1, reinterpret_cast<QRgb*>(band.scanLine(r)));
        dc.drawImage(QPoint(to.x(), to.y() + top - part.top()), band, QRect(0, 0, part.width(), rows));
    }
}

bool LoadBitmapResourceRuns(int number, RunBitmap& out) {
    RegisterSkinResources();
    RunBitmap runs = CachedRuns(EmbeddedPath(QStringLiteral("BITMAP"), number));
    if (runs.IsNull()) return false;
    out = std::move(runs);
    return true;
}

SkinPreload::SkinPreload(std::vector<QString> files, std::vector<int> bitmaps) {
    // Resolved here: the program folder is read on this thread only.
    std::vector<QString> runs;
    for (int number : bitmaps) runs.push_back(EmbeddedPath(QStringLiteral("BITMAP"), number));
    std::vector<std::pair<QString, bool>> work;
    for (const QString& name : files)
        work.emplace_back(SkinFile(name), name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive));
    RegisterSkinResources();
    thread_ = std::thread([this, runs = std::move(runs), work = std::move(work)] {
        for (const QString& path : runs) {
            if (stop_) return;
            static_cast<void>(CachedRuns(path));
        }
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
