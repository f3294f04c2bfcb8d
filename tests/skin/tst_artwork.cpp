// The generated artwork: every file of the skin manifest exists below the program
// folder with its design size (and nothing else does), every embedded picture
// has its size, the states of a control look different, and the pictures with a
// meaning in their pixels keep it.
#include <QDir>
#include <QImageReader>
#include <QTest>

#include <cmath>
#include <map>

#include "skin/Skin.h"
#include "skin/SkinImage.h"
#include "skin/SkinManifest.h"

using namespace tarvik;

namespace {

// A manifest name as a path below the program folder.
QString PathOf(const SkinFileEntry& e) {
    return QString::fromLatin1(e.name.data(), static_cast<qsizetype>(e.name.size())).replace('\\', '/');
}

QImage LoadFile(const QString& name) {
    return QImage(SkinFile(name)).convertToFormat(QImage::Format_ARGB32);
}

// Share of pixels whose colour or opacity differs clearly between two pictures.
double Difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 1.0;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int d = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            if (d > 24) ++differing;
        }
    return double(differing) / (a.width() * a.height());
}

} // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void everyFileWithItsDesignSize_data();
    void everyFileWithItsDesignSize();
    void nothingElseInTheSkinsFolder();
    void embeddedPicturesWithTheirSizes();
    void statesLookDifferent_data();
    void statesLookDifferent();
    void mouseButtonsUnderTheNumbers();
    void powerDialShowsTheChosenWedge();
    void progressBandOnlyInTheFilledPicture();
    void colourChart();
    void scrollArrowStrips();
};

void TestArtwork::everyFileWithItsDesignSize_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    for (const SkinFileEntry& e : kSkinFiles)
        QTest::newRow(qPrintable(PathOf(e))) << PathOf(e) << QSize(e.width, e.height);
}

void TestArtwork::everyFileWithItsDesignSize() {
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QImageReader reader(SkinFile(name));
    QVERIFY2(reader.canRead(), qPrintable(SkinFile(name)));
    QCOMPARE(reader.size(), size);
    QCOMPARE(reader.format(), name.endsWith(".bmp") ? QByteArray("bmp") : QByteArray("png"));
    const QImage img = reader.read();
    if (name.endsWith(".bmp")) QVERIFY(!img.hasAlphaChannel());
    // Drawn, not blank: more than one colour among the visible pixels.
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 0) colours.insert(img.pixel(x, y));
    QVERIFY2(colours.size() > 1, qPrintable(name));
}

void TestArtwork::nothingElseInTheSkinsFolder() {
    QStringList found;
    QDir root(SkinFile(QString()));
    for (const QString& sub : {QStringLiteral("skins"), QStringLiteral("skins/mouse")})
        for (const QString& f : QDir(root.filePath(sub)).entryList(QDir::Files)) found << sub + '/' + f;
    QStringList expected;
    for (const SkinFileEntry& e : kSkinFiles) expected << PathOf(e);
    found.sort();
    expected.sort();
    QCOMPARE(found, expected);
}

void TestArtwork::embeddedPicturesWithTheirSizes() {
    for (const EmbeddedPictureEntry& e : kEmbeddedPictures) {
        SkinImage picture;
        const QString type = QString::fromLatin1(e.type.data(), static_cast<qsizetype>(e.type.size()));
        QVERIFY2(LoadEmbeddedImage(picture, type, e.number), qPrintable(QString::number(e.number)));
        QCOMPARE(QSize(picture.Width(), picture.Height()), QSize(e.width, e.height));
    }
}

void TestArtwork::statesLookDifferent_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    // Each state of a control against the others, and pictures told apart by their content.
    std::map<QString, QStringList> states;
    for (const SkinFileEntry& e : kSkinFiles) {
        const QString name = PathOf(e);
        for (const char* suffix : {"_nr", "_ov", "_dn", "_check", "_nr2", "_ov2"}) {
            const QString s = QString::fromLatin1(suffix) + (name.endsWith(".bmp") ? ".bmp" : ".png");
            if (name.endsWith(s)) states[name.left(name.size() - s.size())] << name;
        }
    }
    for (const auto& [base, names] : states)
        for (int i = 0; i < names.size(); ++i)
            for (int j = i + 1; j < names.size(); ++j)
                QTest::newRow(qPrintable(names[i] + " / " + names[j])) << names[i] << names[j];
    for (int v = 3; v < 10; ++v)
        QTest::addRow("power %d / %d", v, v + 1) << QStringLiteral("skins/power_manage_%1min.png").arg(v)
                                                 << QStringLiteral("skins/power_manage_%1min.png").arg(v + 1);
    for (int n = 1; n < 9; ++n) {
        QTest::addRow("number %d / %d", n, n + 1) << QStringLiteral("skins/mouse/number%1.png").arg(n)
                                                  << QStringLiteral("skins/mouse/number%1.png").arg(n + 1);
        QTest::addRow("serial number %d / %d", n, n + 1)
            << QStringLiteral("skins/mouse/serial_number%1.png").arg(n)
            << QStringLiteral("skins/mouse/serial_number%1.png").arg(n + 1);
    }
    const char* pairs[][2] = {{"battery_empty", "battery_full"},
                              {"battery_full", "battery_charging"},
                              {"battery_green", "battery_orange"},
                              {"battery_orange", "battery_red"},
                              {"foldr_open", "foldr_close"},
                              {"macro_up", "macro_down"},
                              {"mouse/dpi_bar_1", "mouse/dpi_bar_2"},
                              {"125hz_nr", "250hz_nr"},
                              {"500hz_dn", "1000hz_dn"},
                              {"up_nr", "down_nr"}};
    for (const auto& p : pairs)
        QTest::newRow(qPrintable(QStringLiteral("%1 / %2").arg(p[0], p[1])))
            << QStringLiteral("skins/%1.png").arg(p[0]) << QStringLiteral("skins/%1.png").arg(p[1]);
}

void TestArtwork::statesLookDifferent() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    const double d = Difference(LoadFile(a), LoadFile(b));
    QVERIFY2(d >= 0.02, qPrintable(QStringLiteral("only %1% of the pixels differ").arg(d * 100, 0, 'f', 1)));
}

void TestArtwork::mouseButtonsUnderTheNumbers() {
    // The main window draws number k at these points over the mouse picture (window
    // coordinates, the picture at (457, 171)); the shell must lie under each number.
    const QImage mouse = LoadFile("skins/mouse/mouse_nr.png");
    const QImage number = LoadFile("skins/mouse/number1.png");
    const QPoint at[] = {{495, 231}, {608, 231}, {553, 251}, {467, 321}, {471, 370}, {553, 343}};
    for (const QPoint& p : at) {
        const QPoint centre = p - QPoint(457, 171) + QPoint(number.width() / 2, number.height() / 2);
        QVERIFY2(qAlpha(mouse.pixel(centre)) == 255,
                 qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
    }
    QCOMPARE(qAlpha(mouse.pixel(2, 2)), 0); // a cut-out shape, not a box
    QCOMPARE(qAlpha(mouse.pixel(212, 395)), 0);
}

void TestArtwork::powerDialShowsTheChosenWedge() {
    // Rim points of the dial; wedge v lies between rim points v-3 and v-2 around (70, 71).
    const int rim[9][2] = {{3, 71},   {7, 51},   {17, 32},  {40, 13}, {70, 5},
                           {100, 14}, {121, 31}, {131, 51}, {134, 71}};
    auto wedgePoint = [&](int v) {
        const double a0 = std::atan2(71.0 - rim[v - 3][1], rim[v - 3][0] - 70.0);
        const double a1 = std::atan2(71.0 - rim[v - 2][1], rim[v - 2][0] - 70.0);
        const double mid = (a0 + a1) / 2;
        return QPoint(static_cast<int>(70 + 60 * std::cos(mid)), static_cast<int>(71 - 60 * std::sin(mid)));
    };
    for (int chosen = 3; chosen <= 10; ++chosen) {
        const QImage dial = LoadFile(QStringLiteral("skins/power_manage_%1min.png").arg(chosen));
        for (int v = 3; v <= 10; ++v) {
            const QColor c = dial.pixelColor(wedgePoint(v));
            const bool lit = c.blue() > 200;
            QVERIFY2(lit == (v == chosen),
                     qPrintable(QStringLiteral("dial %1, wedge %2: %3").arg(chosen).arg(v).arg(c.name())));
        }
    }
}

void TestArtwork::progressBandOnlyInTheFilledPicture() {
    const QImage empty = LoadFile("skins/Frame_progress_nr.bmp");
    const QImage full = LoadFile("skins/Frame_progress_ov.bmp");
    // The band at y 66, height 12 is the bar; everything else is the same frame.
    QVERIFY(Difference(empty.copy(0, 66, 429, 12), full.copy(0, 66, 429, 12)) > 0.5);
    QCOMPARE(Difference(empty.copy(0, 0, 429, 66), full.copy(0, 0, 429, 66)), 0.0);
    QCOMPARE(Difference(empty.copy(0, 78, 429, 62), full.copy(0, 78, 429, 62)), 0.0);
}

void TestArtwork::colourChart() {
    SkinBitmap chart;
    QVERIFY(LoadBitmapResource(287, chart));
    const QImage& img = chart.image;
    const QRect a(QPoint(18, 26), QPoint(221, 269));
    const QRect b(QPoint(244, 26), QPoint(472, 189));
    const QColor background(15, 15, 15);
    // The plain chart background around and between the pick areas.
    for (const QPoint& p :
         {QPoint(230, 150), QPoint(8, 100), QPoint(490, 120), QPoint(350, 200), QPoint(100, 280)})
        QCOMPARE(img.pixelColor(p), background);
    // Area A: a continuous field, no pixel of the background colour, full of hues.
    QSet<QRgb> colours;
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            QVERIFY(QColor(p) != background);
            colours.insert(p);
            if (x > a.left()) {
                const QRgb q = img.pixel(x - 1, y);
                QVERIFY2(std::abs(qRed(p) - qRed(q)) <= 12 && std::abs(qGreen(p) - qGreen(q)) <= 12 &&
                             std::abs(qBlue(p) - qBlue(q)) <= 12,
                         qPrintable(QStringLiteral("jump at %1,%2").arg(x).arg(y)));
            }
        }
    QVERIFY(colours.size() > 5000);
    // Area B: the presets, white and black among them, filling the area.
    QSet<QRgb> presets;
    int painted = 0;
    for (int y = b.top(); y <= b.bottom(); ++y)
        for (int x = b.left(); x <= b.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            if (QColor(p) != background) {
                presets.insert(p);
                ++painted;
            }
        }
    QVERIFY(presets.size() >= 60);
    QVERIFY(presets.contains(qRgb(255, 255, 255)));
    QVERIFY(presets.contains(qRgb(0, 0, 0)));
    QVERIFY(painted > b.width() * b.height() * 85 / 100);
}

void TestArtwork::scrollArrowStrips() {
    for (int number : {188, 187}) {
        SkinImage strip;
        QVERIFY(LoadEmbeddedImage(strip, "PNG", number));
        const QRect f0 = StripFrame(strip.Width(), strip.Height(), 3, 0);
        QCOMPARE(f0.size(), QSize(18, 18));
        const QImage normal = strip.Image().copy(f0);
        const QImage hover = strip.Image().copy(StripFrame(strip.Width(), strip.Height(), 3, 1));
        const QImage pressed = strip.Image().copy(StripFrame(strip.Width(), strip.Height(), 3, 2));
        QVERIFY(Difference(normal, hover) > 0.2);
        QVERIFY(Difference(hover, pressed) > 0.2);
    }
    // Up and down point different ways.
    SkinImage up, down;
    QVERIFY(LoadEmbeddedImage(up, "PNG", 188));
    QVERIFY(LoadEmbeddedImage(down, "PNG", 187));
    QVERIFY(Difference(up.Image(), down.Image()) > 0.02);
}

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
