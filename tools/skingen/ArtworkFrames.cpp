// Window backgrounds: the dialog frames (".bmp" files), the main window's
// background, the palette's colour chart and the scroll-bar arrow strips.
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

#include "Artwork.h"

namespace skingen {

using namespace theme;

namespace {

void AddOpaque(std::vector<Picture>& out, const QString& name,
               std::function<void(QPainter&, const QRectF&)> draw) {
    out.push_back(Picture{name, 0, 0, false, std::move(draw)}); // size and kind come from the manifest
}

// A dialog frame: dark body, a title band with an accent rule, a thin outline.
void DialogFrame(QPainter& p, const QRectF& r, double titleHeight) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0, QColor(30, 30, 34));
    body.setColorAt(1, QColor(21, 21, 24));
    p.fillRect(r, body);
    QLinearGradient title(QPointF(0, 0), QPointF(0, titleHeight));
    title.setColorAt(0, QColor(44, 44, 50));
    title.setColorAt(1, QColor(32, 32, 36));
    p.fillRect(QRectF(0, 0, r.width(), titleHeight), title);
    p.fillRect(QRectF(0, titleHeight, r.width(), 1), QColor(53, 160, 222, 150));
    p.fillRect(QRectF(0, 0, r.width(), 2), kAccent);
    p.setPen(QColor(72, 72, 80));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0, 0, r.width() - 1, r.height() - 1));
    p.restore();
}

void ProgressBand(QPainter& p, bool filled) {
    const QRectF band(20, 66, 389, 12);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    if (filled) {
        QLinearGradient g(band.topLeft(), band.bottomLeft());
        g.setColorAt(0, QColor(110, 200, 245));
        g.setColorAt(0.5, kAccent);
        g.setColorAt(1, QColor(28, 100, 150));
        p.fillRect(band, g);
        // Diagonal sheen stripes.
        p.setClipRect(band);
        p.setPen(QPen(QColor(255, 255, 255, 34), 4));
        for (double x = band.left() - 12; x < band.right() + 12; x += 14)
            p.drawLine(QPointF(x, band.bottom() + 1), QPointF(x + 12, band.top() - 1));
    } else {
        p.fillRect(band, QColor(12, 12, 14));
        p.setPen(QColor(58, 58, 66));
        p.drawRect(band.adjusted(0, 0, -1, -1));
    }
    p.restore();
}

void MainBackground(QPainter& p, const QRectF& r) {
    QLinearGradient bg(r.topLeft(), r.bottomLeft());
    bg.setColorAt(0, QColor(26, 26, 29));
    bg.setColorAt(1, QColor(16, 16, 18));
    p.fillRect(r, bg);

    // Glow and stage behind the mouse picture at (457, 171)-(672, 569).
    QRadialGradient glow(QPointF(564, 360), 330);
    glow.setColorAt(0, QColor(53, 160, 222, 52));
    glow.setColorAt(0.6, QColor(53, 160, 222, 10));
    glow.setColorAt(1, QColor(53, 160, 222, 0));
    p.fillRect(r, glow);
    // A dotted grid fading out from the centre.
    p.save();
    p.setPen(Qt::NoPen);
    for (int y = 60; y < 680; y += 16) {
        for (int x = 300; x < 826; x += 16) {
            const double d = std::hypot(x - 564.0, (y - 360.0) * 1.2) / 330.0;
            if (d >= 1) continue;
            p.setBrush(QColor(120, 170, 200, static_cast<int>(46 * (1 - d))));
            p.drawEllipse(QPointF(x, y), 1, 1);
        }
    }
    QRadialGradient stage(QPointF(564, 575), 150);
    stage.setColorAt(0, QColor(53, 160, 222, 70));
    stage.setColorAt(1, QColor(53, 160, 222, 0));
    p.setBrush(stage);
    p.drawEllipse(QPointF(564, 575), 150, 26);
    p.setPen(QPen(QColor(53, 160, 222, 110), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(564, 575), 120, 18);
    p.restore();

    // Title band with the product name.
    QLinearGradient title(QPointF(0, 0), QPointF(0, 32));
    title.setColorAt(0, QColor(36, 36, 41));
    title.setColorAt(1, QColor(26, 26, 29));
    p.fillRect(QRectF(0, 0, r.width(), 32), title);
    p.fillRect(QRectF(0, 32, r.width(), 1), QColor(53, 160, 222, 130));
    p.fillRect(QRectF(0, 0, r.width(), 2), kAccent);
    p.save();
    p.setPen(QPen(kAccent, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath mark;
    mark.moveTo(38, 22);
    mark.lineTo(46, 12);
    mark.lineTo(54, 22);
    p.drawPath(mark);
    p.setPen(QPen(QColor(53, 160, 222, 140), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(mark.translated(0, 6));
    p.restore();
    QFont brand = GlyphFont(16, true);
    brand.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.save();
    p.setFont(brand);
    p.setPen(kTextBright);
    p.drawText(QRectF(62, 2, 200, 30), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("TARVIK"));
    p.restore();

    // Column backdrops: left settings column and right panel column.
    auto column = [&p](QRectF c) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(c, QColor(22, 22, 25, 230));
        p.setPen(QColor(44, 44, 50));
        p.drawRect(c.adjusted(0, 0, -1, -1));
        p.restore();
    };
    column(QRectF(26, 33, 250, 659));
    column(QRectF(836, 33, 282, 659));

    // Status band at the bottom.
    p.fillRect(QRectF(0, 692, r.width(), 48), QColor(20, 20, 23));
    p.fillRect(QRectF(0, 692, r.width(), 1), QColor(48, 48, 54));
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(66, 66, 74));
    p.drawRect(QRectF(0, 0, r.width() - 1, r.height() - 1));
    p.restore();
}

// The palette's chart: a hue x lightness field in area A, preset colours and
// greys in area B, everything else the chart's background (15, 15, 15).
void ColourChart(QPainter& p, const QRectF& r) {
    p.fillRect(r, kPaletteBackground);
    // The window's frame line and the labels of the component texts.
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(62, 62, 70));
    p.drawRect(QRectF(0, 0, r.width() - 1, r.height() - 1));
    p.fillRect(QRectF(1, 1, r.width() - 2, 2), kAccent);
    p.setPen(QColor(70, 70, 78));
    p.drawRect(QRectF(244 - 2, 212 - 2, 303 - 244 + 3, 270 - 212 + 3)); // around the swatch
    p.drawRect(QRectF(17, 25, 222 - 18 + 1, 270 - 26 + 1));             // around area A
    p.drawRect(QRectF(243, 25, 473 - 244 + 1, 190 - 26 + 1));           // around area B
    p.restore();
    Glyph(p, QRectF(304, 212, 16, 18), QStringLiteral("R"), QColor(232, 96, 96), 12);
    Glyph(p, QRectF(304, 235, 16, 18), QStringLiteral("G"), QColor(96, 210, 110), 12);
    Glyph(p, QRectF(304, 258, 16, 18), QStringLiteral("B"), QColor(90, 160, 240), 12);

    // Area A pixel by pixel, so the field is continuous and exact; a pixel that
    // would match the background is nudged, since a click on it picks nothing.
    auto pick = [](QColor c) { return c.rgb() == kPaletteBackground.rgb() ? QColor(16, 16, 16) : c; };
    QImage fieldA(222 - 18, 270 - 26, QImage::Format_RGB32);
    for (int y = 0; y < fieldA.height(); ++y) {
        const double light = 1.0 - (y + 0.5) / fieldA.height();
        for (int x = 0; x < fieldA.width(); ++x) {
            const double hue = (x + 0.5) / fieldA.width();
            fieldA.setPixelColor(x, y, pick(QColor::fromHslF(std::min(hue, 0.9999), 1.0, light)));
        }
    }
    // Area B: 10 x 7 cells on a 23-pixel pitch (the last row 26 high), 1-pixel seams.
    const QColor presets[6][10] = {
        {{255, 0, 0},
         {255, 128, 0},
         {255, 255, 0},
         {128, 255, 0},
         {0, 255, 0},
         {0, 255, 128},
         {0, 255, 255},
         {0, 128, 255},
         {0, 0, 255},
         {255, 0, 255}},
        {{255, 102, 102},
         {255, 178, 102},
         {255, 255, 128},
         {178, 255, 102},
         {128, 255, 128},
         {102, 255, 178},
         {128, 255, 255},
         {102, 178, 255},
         {128, 128, 255},
         {255, 128, 255}},
        {{192, 0, 0},
         {192, 96, 0},
         {192, 192, 0},
         {96, 192, 0},
         {0, 192, 0},
         {0, 192, 96},
         {0, 192, 192},
         {0, 96, 192},
         {0, 0, 192},
         {192, 0, 192}},
        {{128, 0, 0},
         {128, 64, 0},
         {128, 128, 0},
         {64, 128, 0},
         {0, 128, 0},
         {0, 128, 64},
         {0, 128, 128},
         {0, 64, 128},
         {0, 0, 128},
         {128, 0, 128}},
        {{255, 0, 128},
         {255, 64, 64},
         {255, 215, 0},
         {154, 205, 50},
         {46, 139, 87},
         {64, 224, 208},
         {53, 160, 222},
         {70, 130, 180},
         {106, 90, 205},
         {148, 0, 211}},
        {{255, 192, 203},
         {255, 228, 196},
         {255, 250, 205},
         {240, 255, 240},
         {224, 255, 255},
         {230, 230, 250},
         {255, 240, 245},
         {210, 180, 140},
         {160, 82, 45},
         {139, 69, 19}},
    };
    QImage fieldB(473 - 244, 190 - 26, QImage::Format_RGB32);
    fieldB.fill(kPaletteBackground);
    for (int row = 0; row < 7; ++row) {
        const int top = row * 23;
        const int height = row == 6 ? 26 : 23;
        for (int col = 0; col < 10; ++col) {
            QColor c;
            if (row < 6) {
                c = presets[row][col];
            } else {
                const int g = 255 - col * 255 / 9; // white ... black
                c = QColor(g, g, g);
            }
            const int left = col * 23;
            for (int y = top; y < top + height - 1 && y < fieldB.height(); ++y)
                for (int x = left; x < left + 22; ++x) fieldB.setPixelColor(x, y, pick(c));
        }
    }
    p.save();
    p.resetTransform();
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(18, 26), fieldA);
    p.drawImage(QPoint(244, 26), fieldB);
    p.restore();
}

void ArrowStrip(QPainter& p, bool up) {
    for (int frame = 0; frame < 3; ++frame) {
        const QRectF f(frame * 18, 0, 18, 18);
        QColor fill = frame == 0 ? QColor(24, 24, 27) : frame == 1 ? QColor(64, 64, 72) : kAccentDeep;
        QColor arrow = frame == 0 ? kText : kTextBright;
        p.fillRect(f, fill);
        if (frame == 1) {
            p.save();
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(kAccent);
            p.drawRect(f.adjusted(0, 0, -1, -1));
            p.restore();
        }
        if (frame == 2) p.fillRect(f.adjusted(1, 1, -1, -1), kAccent);
        Glyph(p, f.adjusted(0, up ? -0.5 : 0.5, 0, up ? -0.5 : 0.5), QString(QChar(up ? 0x25B2 : 0x25BC)),
              arrow, 10);
    }
}

} // namespace

void AddFramePictures(std::vector<Picture>& out) {
    AddOpaque(out, QStringLiteral("skins/Frame_common.bmp"),
              [](QPainter& p, const QRectF& r) { DialogFrame(p, r, 26); });
    AddOpaque(out, QStringLiteral("skins/Frame_warning.bmp"),
              [](QPainter& p, const QRectF& r) { DialogFrame(p, r, 24); });
    AddOpaque(out, QStringLiteral("skins/Frame_DPI.bmp"), [](QPainter& p, const QRectF& r) {
        DialogFrame(p, r, 27);
        // A recess around the typed-value field and a groove under the slider.
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRectF(161, 31, 108, 30), QColor(16, 16, 18));
        p.setPen(QColor(53, 160, 222, 160));
        p.drawRect(QRectF(161, 31, 107, 29));
        p.restore();
    });
    AddOpaque(out, QStringLiteral("skins/Frame_Macro_Manager.bmp"), [](QPainter& p, const QRectF& r) {
        DialogFrame(p, r, 24);
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(QRectF(8, 329, r.width() - 16, 1), QColor(52, 52, 58));
        p.restore();
    });
    AddOpaque(out, QStringLiteral("skins/Frame_Lighting_Setting.bmp"), [](QPainter& p, const QRectF& r) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(32, 32, 36));
        g.setColorAt(1, QColor(26, 26, 29));
        p.fillRect(r, g);
        p.fillRect(QRectF(0, 0, r.width(), 2), QColor(50, 50, 57));
        p.fillRect(QRectF(0, r.height() - 2, r.width(), 2), QColor(50, 50, 57));
        p.fillRect(QRectF(0, 0, 2, r.height()), QColor(50, 50, 57));
        p.fillRect(QRectF(r.width() - 2, 0, 2, r.height()), QColor(50, 50, 57));
        p.restore();
    });
    AddOpaque(out, QStringLiteral("skins/Frame_progress_nr.bmp"), [](QPainter& p, const QRectF& r) {
        DialogFrame(p, r, 26);
        ProgressBand(p, false);
    });
    AddOpaque(out, QStringLiteral("skins/Frame_progress_ov.bmp"), [](QPainter& p, const QRectF& r) {
        DialogFrame(p, r, 26);
        ProgressBand(p, true);
    });
}

void AddEmbeddedPictures(std::vector<Picture>& out) {
    AddOpaque(out, QStringLiteral("bitmap/364.png"), MainBackground);
    AddOpaque(out, QStringLiteral("bitmap/287.png"), ColourChart);
    AddOpaque(out, QStringLiteral("png/188.png"), [](QPainter& p, const QRectF&) { ArrowStrip(p, true); });
    AddOpaque(out, QStringLiteral("png/187.png"), [](QPainter& p, const QRectF&) { ArrowStrip(p, false); });
}

} // namespace skingen
