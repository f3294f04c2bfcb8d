// Skin pictures: decoding files and embedded pictures, background bitmaps,
// stretched nearest-neighbour drawing, strips and the average colour.
#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "skin/Skin.h"

class QPainter;

namespace tarvik {

// A decoded picture with its pixel size. An empty slot draws nothing.
class SkinImage {
public:
    bool IsNull() const { return image_.isNull(); }
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    const QImage& Image() const { return image_; }
    void Set(QImage image) { image_ = std::move(image); }
    void Reset() { image_ = QImage(); }

private:
    QImage image_;
};

// Decoded pictures are kept for the life of the process and shared by every
// control that shows them: a file is decoded once, and again only when its
// size or time of change differ from the decoded one's.

// Decodes the file into the slot. On success the picture's size is written to
// width and height and true returned; on failure the slot is emptied and the
// size fields keep their values.
bool LoadSkinImage(SkinImage& slot, const QString& path, int& width, int& height);

// Decodes an embedded picture ("PNG" 187, 188; "BITMAP" 287, 364) into the slot.
// A missing picture leaves the slot unchanged and returns false.
bool LoadEmbeddedImage(SkinImage& slot, const QString& type, int number);

// A background bitmap: opaque, transparent parts composed over black.
struct SkinBitmap {
    QImage image;
    int width = 0;
    int height = 0;
    bool IsNull() const { return image.isNull(); }
};
bool LoadSkinBitmap(const QString& path, SkinBitmap& out);
bool LoadBitmapResource(int number, SkinBitmap& out);

// An opaque picture kept as runs of equal pixels, row by row. A large drawn
// background with flat areas takes a fraction of its decoded size (the main
// window's: about 0.5 MB instead of 3.3 MB), and is drawn at scale 1 as the
// same pixels the decoded picture gives, a band of rows at a time.
class RunBitmap {
public:
    RunBitmap() = default;
    // From any picture; its pixels are taken as opaque (alpha set to 255).
    explicit RunBitmap(const QImage& picture);

    bool IsNull() const { return !data_; }
    int Width() const { return data_ ? data_->width : 0; }
    int Height() const { return data_ ? data_->height : 0; }
    // The pixel at (x, y) as 0xFFrrggbb; 0 outside the picture.
    QRgb Pixel(int x, int y) const;
    // The picture decoded again (RGB32).
    QImage ToImage() const;
    // Bytes the runs take.
    std::size_t Bytes() const;
    // Copies the part `area` of the picture (picture coordinates) to `at`,
    // unscaled, as drawImage(at, picture, area) would.
    void Draw(QPainter& dc, QPoint at, const QRect& area) const;

private:
    struct Run {
        QRgb colour;
        int end; // one past the run's last column
    };
    struct Data {
        int width = 0;
        int height = 0;
        std::vector<std::uint32_t> rowStart; // row y's runs are [rowStart[y], rowStart[y + 1])
        std::vector<Run> runs;
    };
    // Writes columns [left, right) of row y to `out`.
    void ExpandRow(int y, int left, int right, QRgb* out) const;

    // Shared by copies: the picture is never changed once made.
    std::shared_ptr<const Data> data_;
};

// An embedded bitmap (composed over black, as LoadBitmapResource gives it) as
// runs. Decoded once per process; the decoded picture is not kept.
bool LoadBitmapResourceRuns(int number, RunBitmap& out);

// Decodes pictures on a thread of its own while the program starts, so the
// first window finds them decoded: skin files (names as the program spells
// them, resolved below the program folder, which must be set) and embedded
// bitmaps by number, kept as runs (LoadBitmapResourceRuns). A picture asked
// for while it is being decoded is waited for, not decoded twice. Made once
// the application object exists, on its thread; destroyed (it stops after
// the picture in progress and waits for the thread) before the application
// object goes.
class SkinPreload {
public:
    SkinPreload(std::vector<QString> files, std::vector<int> bitmaps);
    ~SkinPreload();
    SkinPreload(const SkinPreload&) = delete;
    SkinPreload& operator=(const SkinPreload&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Draws the source rectangle of the picture stretched into the destination,
// nearest-neighbour sampled, composed over what is already drawn.
void DrawSkinImage(QPainter& dc, const SkinImage& picture, const QRectF& dst, const QRect& src);
// The same for an opaque bitmap (a plain stretched copy).
void StretchBitmap(QPainter& dc, const QImage& bitmap, const QRect& dst, const QRect& src);

// Frame k of a strip of n frames side by side: (k × w / n, 0, w / n, h); the
// remainder columns of a width that is no multiple of n are never part of a frame.
QRect StripFrame(int pictureWidth, int pictureHeight, int frames, int k);

// Average colour of the width × height pixels of a bitmap (integer means of the
// red, green and blue bytes). Returns false, leaving `out` alone, when the
// bitmap does not have that many pixels.
bool AverageColour(const QImage& bitmap, int width, int height, Colour& out);

} // namespace tarvik
