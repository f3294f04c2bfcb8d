// skingen: draws the skin pictures of the program.
//
//   skingen --out PROGRAM_DIR [--embedded DIR]   writes PROGRAM_DIR/skins/... and the embedded pictures
//   skingen --contact-sheet FILE.png             renders every picture with its name, for review
//   skingen --icons DIR --icon-name NAME         writes the desktop icons DIR/hicolor/.../NAME.svg|png
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>

#include "AppIcon.h"
#include "Artwork.h"

using skingen::Picture;

namespace {

bool WritePictures(const std::vector<Picture>& pictures, const QString& dir) {
    bool ok = true;
    for (const Picture& pic : pictures) {
        const QString path = dir + '/' + pic.name;
        QDir().mkpath(QFileInfo(path).path());
        const QImage img = skingen::Render(pic);
        const char* format = pic.name.endsWith(QLatin1String(".bmp")) ? "BMP" : "PNG";
        if (!img.save(path, format)) {
            std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

// Every picture on a checkerboard (so transparency shows), small ones also
// enlarged three times, each with its name and size underneath.
bool ContactSheet(const QString& file) {
    std::vector<Picture> all = skingen::SkinPictures();
    for (Picture& p : skingen::EmbeddedPictures()) {
        p.name = "(embedded) " + p.name;
        all.push_back(std::move(p));
    }
    const int maxWidth = 1900, pad = 14, zoom = 3;
    const QFont labelFont = skingen::GlyphFont(11, false);
    const QFontMetrics fm(labelFont);

    struct Cell {
        const Picture* pic;
        QImage img;
        QRect box;
    };
    std::vector<Cell> cells;
    int x = pad, y = pad, rowHeight = 0;
    for (const Picture& pic : all) {
        Cell c{&pic, skingen::Render(pic), {}};
        const bool small = pic.width <= 40 && pic.height <= 40;
        const int pictureWidth = pic.width + (small ? pic.width * zoom + 8 : 0);
        const int pictureHeight = small ? pic.height * zoom : pic.height;
        const QString label = QStringLiteral("%1  %2x%3").arg(pic.name).arg(pic.width).arg(pic.height);
        const int w = std::max(pictureWidth, fm.horizontalAdvance(label));
        const int h = pictureHeight + fm.height() + 4;
        if (x + w > maxWidth && x > pad) {
            x = pad;
            y += rowHeight + pad;
            rowHeight = 0;
        }
        c.box = QRect(x, y, w, h);
        x += w + pad;
        rowHeight = std::max(rowHeight, h);
        cells.push_back(std::move(c));
    }
    const int height = y + rowHeight + pad;

    QImage sheet(maxWidth, height, QImage::Format_RGB32);
    sheet.fill(QColor(60, 60, 64));
    QPainter p(&sheet);
    p.setFont(labelFont);
    for (const Cell& c : cells) {
        const Picture& pic = *c.pic;
        const bool small = pic.width <= 40 && pic.height <= 40;
        auto checker = [&p](const QRect& r) {
            p.save();
            p.setClipRect(r);
            for (int cy = r.top(); cy <= r.bottom(); cy += 8)
                for (int cx = r.left(); cx <= r.right(); cx += 8)
                    p.fillRect(QRect(cx, cy, 8, 8), ((cx - r.left()) / 8 + (cy - r.top()) / 8) % 2
                                                        ? QColor(88, 88, 92)
                                                        : QColor(110, 110, 114));
            p.restore();
        };
        const QRect natural(c.box.topLeft(), QSize(pic.width, pic.height));
        checker(natural);
        p.drawImage(natural.topLeft(), c.img);
        int labelTop = natural.bottom() + 1;
        if (small) {
            const QRect big(natural.right() + 9, c.box.top(), pic.width * zoom, pic.height * zoom);
            checker(big);
            p.drawImage(big, c.img); // nearest neighbour: no smooth transform hint
            labelTop = std::max(labelTop, big.bottom() + 1);
        }
        p.setPen(QColor(235, 235, 235));
        p.drawText(QPoint(c.box.left(), labelTop + 2 + QFontMetrics(labelFont).ascent()),
                   QStringLiteral("%1  %2x%3").arg(pic.name).arg(pic.width).arg(pic.height));
    }
    p.end();
    if (!sheet.save(file)) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

int Usage() {
    std::fprintf(stderr, "usage: skingen --out PROGRAM_DIR [--embedded DIR]\n"
                         "       skingen --contact-sheet FILE.png\n"
                         "       skingen --icons DIR --icon-name NAME\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Drawing needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString out, embedded, sheet, icons, iconName;
    for (int i = 1; i < argc; ++i) {
        auto value = [&](QString& target) {
            if (i + 1 >= argc) return false;
            target = QString::fromLocal8Bit(argv[++i]);
            return true;
        };
        bool ok = false;
        if (std::strcmp(argv[i], "--out") == 0)
            ok = value(out);
        else if (std::strcmp(argv[i], "--embedded") == 0)
            ok = value(embedded);
        else if (std::strcmp(argv[i], "--contact-sheet") == 0)
            ok = value(sheet);
        else if (std::strcmp(argv[i], "--icons") == 0)
            ok = value(icons);
        else if (std::strcmp(argv[i], "--icon-name") == 0)
            ok = value(iconName);
        if (!ok) return Usage();
    }
    if (out.isEmpty() && embedded.isEmpty() && sheet.isEmpty() && icons.isEmpty()) return Usage();
    if (icons.isEmpty() != iconName.isEmpty()) return Usage();

    // Every picture the manifest names is drawn once, at the manifest's size.
    const QStringList problems = skingen::ManifestProblems();
    for (const QString& p : problems) std::fprintf(stderr, "skingen: %s\n", qPrintable(p));
    if (!problems.isEmpty()) return 1;

    bool ok = true;
    if (!out.isEmpty()) ok = WritePictures(skingen::SkinPictures(), out) && ok;
    if (!embedded.isEmpty()) ok = WritePictures(skingen::EmbeddedPictures(), embedded) && ok;
    if (!sheet.isEmpty()) ok = ContactSheet(sheet) && ok;
    if (!icons.isEmpty()) ok = skingen::WriteAppIcons(icons, iconName) && ok;
    return ok ? 0 : 1;
}
