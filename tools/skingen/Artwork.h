// The skin artwork: a painter for every picture the program loads. The names,
// design sizes and kinds come from the skin manifest (skin/SkinManifest.h);
// pictures are drawn with QPainter at their design size, and nothing binary is
// kept in the source tree.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace skingen {

struct Picture {
    QString name; // relative to the output folder, "/" separated
    int width = 0;
    int height = 0;
    bool opaque = false; // background bitmaps: no alpha, saved as 24-bit BMP or PNG
    std::function<void(QPainter&, const QRectF&)> draw;
};

// Files below the program folder ("skins/..."), sized from the manifest.
std::vector<Picture> SkinPictures();
// Pictures compiled into the program ("png/188.png", "bitmap/364.png", ...).
std::vector<Picture> EmbeddedPictures();
// Where the painters and the manifest disagree: a picture the manifest does not
// list, a listed one that nothing draws, or one drawn twice. Empty when they agree.
QStringList ManifestProblems();

// Renders one picture into an image of its design size.
QImage Render(const Picture& p);

// The theme shared by every picture.
namespace theme {
inline const QColor kAccent(53, 160, 222);
inline const QColor kAccentDeep(30, 100, 145);
inline const QColor kAccentDim(34, 82, 112);
inline const QColor kBase(20, 20, 22);
inline const QColor kSurface(30, 30, 34);
inline const QColor kRaised(42, 42, 47);
inline const QColor kRaisedHover(55, 55, 62);
inline const QColor kBorder(66, 66, 74);
inline const QColor kText(180, 180, 180);
inline const QColor kTextBright(255, 255, 255);
inline const QColor kPaletteBackground(15, 15, 15);
} // namespace theme

// Drawing helpers used by the picture painters.
QFont GlyphFont(double pixelSize, bool bold = true);
void Glyph(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, double pixelSize,
           bool bold = true);
void Panel(QPainter& p, const QRectF& r, double radius, const QColor& top, const QColor& bottom,
           const QColor& border, double borderWidth = 1.0);

// Painters grouped by theme area (Artwork*.cpp).
void AddControlPictures(std::vector<Picture>& out);
// Adds a picture drawn by `draw`; its size and kind come from the manifest.
void Add(std::vector<Picture>& out, const QString& name, std::function<void(QPainter&, const QRectF&)> draw);
void AddMousePictures(std::vector<Picture>& out);
void AddFramePictures(std::vector<Picture>& out);
void AddEmbeddedPictures(std::vector<Picture>& out);

} // namespace skingen
