// Pictures, strips, the average colour, the text rule, fonts, scale factors and
// the window background.
#include <QCoreApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "SkinTestSupport.h"
#include "skin/CheckButton.h"
#include "skin/ImageButton.h"
#include "skin/SkinImage.h"
#include "text/Language.h"

using namespace skintest;
using namespace tarvik;

class TestImages : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        SetUiScale(1.0);
        SetProgramFolder({});
    }

    void averageColour_data();
    void averageColour();
    void stripFrames_data();
    void stripFrames();
    void stripRemainderIsNeverDrawn();
    void loadSkinImageKeepsSizesOnFailure();
    void embeddedPictures_data();
    void embeddedPictures();
    void skinBitmapIsOpaqueOverBlack();
    void uiScale_data();
    void uiScale();
    void scaledRectangles();
    void skinFileNames();
    void fontHeights_data();
    void fontHeights();
    void dialogFont();
    void controlText_data();
    void controlText();
    void missingSkinsFolder();
    void windowBackground();
    void runBitmapGivesTheSamePixels_data();
    void runBitmapGivesTheSamePixels();
    void runBitmapOfTheMainBackground();
};

void TestImages::averageColour_data() {
    QTest::addColumn<QImage>("bitmap");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<quint32>("colour");

    QImage blue(8, 6, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    QTest::newRow("pure blue") << blue << 8 << 6 << true << quint32(0xFF0000);
    QImage halves(2, 1, QImage::Format_RGB32);
    halves.setPixelColor(0, 0, QColor(255, 0, 0));
    halves.setPixelColor(1, 0, QColor(0, 0, 255));
    QTest::newRow("integer division") << halves << 2 << 1 << true << quint32(0x7F007F);
    QImage mixed(3, 1, QImage::Format_RGB32);
    mixed.setPixelColor(0, 0, QColor(10, 20, 30));
    mixed.setPixelColor(1, 0, QColor(20, 40, 60));
    mixed.setPixelColor(2, 0, QColor(255, 255, 255));
    QTest::newRow("only the given area") << mixed << 2 << 1 << true << quint32(Rgb(15, 30, 45));
    QTest::newRow("larger than the bitmap") << blue << 9 << 6 << false << quint32(0x123456);
    QTest::newRow("no bitmap") << QImage() << 1 << 1 << false << quint32(0x123456);
}

void TestImages::averageColour() {
    QFETCH(QImage, bitmap);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, ok);
    QFETCH(quint32, colour);
    Colour out = 0x123456; // kept when the pixels cannot be read
    QCOMPARE(AverageColour(bitmap, width, height, out), ok);
    QCOMPARE(out, colour);
}

void TestImages::stripFrames_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("k");
    QTest::addColumn<QRect>("frame");
    QTest::newRow("54 wide, frame 0") << 54 << 0 << QRect(0, 0, 18, 18);
    QTest::newRow("54 wide, frame 2") << 54 << 2 << QRect(36, 0, 18, 18);
    QTest::newRow("56 wide, frame 1") << 56 << 1 << QRect(18, 0, 18, 18);
    QTest::newRow("56 wide, frame 2") << 56 << 2 << QRect(36, 0, 18, 18);
    QTest::newRow("2 wide: empty frames") << 2 << 1 << QRect(0, 0, 0, 18);
}

void TestImages::stripFrames() {
    QFETCH(int, width);
    QFETCH(int, k);
    QFETCH(QRect, frame);
    QCOMPARE(StripFrame(width, 18, 3, k), frame);
}

void TestImages::stripRemainderIsNeverDrawn() {
    // Three 2-pixel frames (red, green, blue) and one magenta remainder column.
    QImage strip(7, 1, QImage::Format_ARGB32);
    const QColor colours[] = {Qt::red, Qt::red, Qt::green, Qt::green, Qt::blue, Qt::blue, Qt::magenta};
    for (int x = 0; x < 7; ++x) strip.setPixelColor(x, 0, colours[x]);
    SkinImage picture;
    picture.Set(strip);
    QImage out(12, 4, QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    for (int k = 0; k < 3; ++k)
        DrawSkinImage(p, picture, QRectF(4 * k, 0, 4, 4),
                      StripFrame(picture.Width(), picture.Height(), 3, k));
    p.end();
    QCOMPARE(out.pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(out.pixelColor(5, 2), QColor(Qt::green));
    QCOMPARE(out.pixelColor(11, 3), QColor(Qt::blue)); // the last frame ends before the remainder
}

void TestImages::loadSkinImageKeepsSizesOnFailure() {
    QTemporaryDir dir;
    const QString good = SolidPng(dir, "a.png", Qt::red, 5, 3);
    QFile junk(dir.filePath("junk.png"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();

    SkinImage slot;
    int w = 0, h = 0;
    QVERIFY(LoadSkinImage(slot, good, w, h));
    QCOMPARE(QSize(w, h), QSize(5, 3));
    QVERIFY(!slot.IsNull());
    QVERIFY(!LoadSkinImage(slot, junk.fileName(), w, h));
    QVERIFY(slot.IsNull()); // the slot holds no picture
    QCOMPARE(QSize(w, h), QSize(5, 3));
    QVERIFY(!LoadSkinImage(slot, dir.filePath("absent.png"), w, h));
    QCOMPARE(QSize(w, h), QSize(5, 3));
    // An empty slot draws nothing.
    QImage out(4, 4, QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    DrawSkinImage(p, slot, QRectF(0, 0, 4, 4), QRect(0, 0, 5, 3));
    p.end();
    QCOMPARE(out.pixelColor(2, 2), QColor(Qt::black));
}

void TestImages::embeddedPictures_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("number");
    QTest::addColumn<QSize>("size");
    QTest::newRow("PNG 188 (up arrows)") << "PNG" << 188 << QSize(54, 18);
    QTest::newRow("PNG 187 (down arrows)") << "PNG" << 187 << QSize(54, 18);
    QTest::newRow("BITMAP 364 (main window)") << "BITMAP" << 364 << QSize(1127, 740);
    QTest::newRow("BITMAP 287 (colour chart)") << "BITMAP" << 287 << QSize(500, 291);
    QTest::newRow("missing") << "PNG" << 999 << QSize();
}

void TestImages::embeddedPictures() {
    QFETCH(QString, type);
    QFETCH(int, number);
    QFETCH(QSize, size);
    SkinImage slot;
    QImage before(1, 1, QImage::Format_ARGB32);
    before.fill(Qt::yellow);
    slot.Set(before);
    const bool ok = LoadEmbeddedImage(slot, type, number);
    QCOMPARE(ok, size.isValid());
    if (ok) {
        QCOMPARE(QSize(slot.Width(), slot.Height()), size);
    } else {
        QCOMPARE(QSize(slot.Width(), slot.Height()), QSize(1, 1)); // slot unchanged
    }
    if (type == "BITMAP") {
        SkinBitmap bmp;
        QCOMPARE(LoadBitmapResource(number, bmp), ok);
        if (ok) QCOMPARE(QSize(bmp.width, bmp.height), size);
    }
}

void TestImages::skinBitmapIsOpaqueOverBlack() {
    QTemporaryDir dir;
    QImage img(2, 1, QImage::Format_ARGB32);
    img.setPixelColor(0, 0, QColor(0, 0, 0, 0));
    img.setPixelColor(1, 0, QColor(200, 100, 50));
    const QString path = dir.filePath("bg.png");
    QVERIFY(img.save(path));
    SkinBitmap bmp;
    QVERIFY(LoadSkinBitmap(path, bmp));
    QVERIFY(!bmp.image.hasAlphaChannel());
    QCOMPARE(bmp.image.pixelColor(0, 0), QColor(0, 0, 0));
    QCOMPARE(bmp.image.pixelColor(1, 0), QColor(200, 100, 50));
    QVERIFY(!LoadSkinBitmap(dir.filePath("none.bmp"), bmp));
}

void TestImages::uiScale_data() {
    QTest::addColumn<int>("cx");
    QTest::addColumn<int>("cy");
    QTest::addColumn<double>("scale");
    QTest::newRow("1920 x 1080") << 1920 << 1080 << 1.0;
    QTest::newRow("2560 x 1440") << 2560 << 1440 << 1.5;
    QTest::newRow("3840 x 2160") << 3840 << 2160 << 2.0;
    QTest::newRow("2401 x 1601") << 2401 << 1601 << 2.0;
    QTest::newRow("2400 x 1601") << 2400 << 1601 << 1.5;
    QTest::newRow("2401 x 1600") << 2401 << 1600 << 1.5;
    QTest::newRow("1801 x 1201") << 1801 << 1201 << 1.5;
    QTest::newRow("1800 x 1201") << 1800 << 1201 << 1.0;
    QTest::newRow("5000 x 1200") << 5000 << 1200 << 1.0;
}

void TestImages::uiScale() {
    QFETCH(int, cx);
    QFETCH(int, cy);
    QFETCH(double, scale);
    QCOMPARE(UiScaleForScreen(cx, cy), scale);
}

void TestImages::scaledRectangles() {
    QCOMPARE(DpiFactorFor(96), 1.0);
    QCOMPARE(DpiFactorFor(144), 1.5);
    QCOMPARE(ScaledRect(20, 20, 40, 40, 1.5), (Rect{30, 30, 60, 60}));
    QCOMPARE(ScaledRect(457, 171, 672, 569, 1.5), (Rect{685, 256, 1008, 853})); // truncated, not rounded
    QCOMPARE(Scaled(1127, 1.5), 1690);
    SetUiScale(2.0);
    QCOMPARE(Scaled(740), 1480);
}

void TestImages::skinFileNames() {
    SetProgramFolder("/opt/tarvik");
    QCOMPARE(SkinFile("skins\\mouse\\mouse_nr.png"), QString("/opt/tarvik/skins/mouse/mouse_nr.png"));
    QCOMPARE(SkinFile("skins/check_nr.png"), QString("/opt/tarvik/skins/check_nr.png"));
    QCOMPARE(SkinFile("/tmp/x.png"), QString("/tmp/x.png"));
    SetProgramFolder({});
    // Without an override: $TARVIK_PROGRAM_DIR, else the executable's folder, which holds
    // skins/ in the build tree.
    const QString env = qEnvironmentVariable("TARVIK_PROGRAM_DIR");
    QCOMPARE(QString::fromStdString(ProgramFolder().string()),
             env.isEmpty() ? QCoreApplication::applicationDirPath() : env);
}

void TestImages::fontHeights_data() {
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("installed");
    QTest::newRow("Tahoma 16") << 16 << "Tahoma"
                               << "DejaVu Sans";
    QTest::newRow("Tahoma 24") << 24 << "Tahoma"
                               << "DejaVu Sans";
    QTest::newRow("宋体 12") << 12 << QString::fromUtf8("宋体") << "WenQuanYi Micro Hei";
    QTest::newRow("宋体 18") << 18 << QString::fromUtf8("宋体") << "WenQuanYi Micro Hei";
}

void TestImages::fontHeights() {
    QFETCH(int, height);
    QFETCH(QString, face);
    QFETCH(QString, installed);
    // A positive height is the whole character cell.
    const QFont cell = MakeFont(height, face);
    QVERIFY2(std::abs(QFontMetrics(cell).height() - height) <= 1,
             qPrintable(QString::number(QFontMetrics(cell).height())));
    // A negative height is the em size.
    QCOMPARE(MakeFont(-height, face).pixelSize(), height);
    // The faces the language files name are drawn with the installed substitutes.
    QCOMPARE(QFontInfo(cell).family(), installed);
}

void TestImages::dialogFont() {
    const QFont f = MakeDialogFont(96);
    QCOMPARE(f.pixelSize(), 13); // -(96 × 10) / 72
    QCOMPARE(f.weight(), QFont::DemiBold);
    QCOMPARE(MakeDialogFont(144).pixelSize(), 20);
}

void TestImages::controlText_data() {
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("insetLeft");
    QTest::addColumn<int>("insetRight");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("where"); // where the ink lies in the 200-pixel rectangle
    QTest::newRow("left") << 0 << 0 << 0 << "Tarvik"
                          << "left";
    QTest::newRow("left with inset") << 0 << 30 << 0 << "Tarvik"
                                     << "left";
    QTest::newRow("centred") << 1 << 0 << 0 << "Tarvik"
                             << "centre";
    QTest::newRow("centred between insets") << 1 << 40 << 0 << "Tarvik"
                                            << "centre";
    QTest::newRow("right") << 2 << 0 << 0 << "Tarvik"
                           << "right";
    QTest::newRow("right with inset") << 2 << 0 << 25 << "Tarvik"
                                      << "right";
    QTest::newRow("too long: cut with an ellipsis")
        << 0 << 10 << 10 << "A caption far too long for the field it is shown in, by far"
        << "fills";
    QTest::newRow("line breaks become one line") << 1 << 0 << 0 << "two\nlines"
                                                 << "centre";
}

void TestImages::controlText() {
    QFETCH(int, align);
    QFETCH(int, insetLeft);
    QFETCH(int, insetRight);
    QFETCH(QString, text);
    QFETCH(QString, where);
    const Rect r{50, 10, 250, 40};
    QImage img(300, 60, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    const QFont font = MakeFont(16, "Tahoma");
    p.setFont(QFont("Serif"));
    p.setPen(Qt::red);
    DrawControlText(p, r, text, font, Rgb(255, 255, 255), align, insetLeft, insetRight);
    // The painter's own font and pen are back.
    QCOMPARE(p.font().family(), QFont("Serif").family());
    QCOMPARE(p.pen().color(), QColor(Qt::red));
    p.end();

    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) > 60) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    QVERIFY(right >= 0);
    // Always inside the rectangle shrunk by the insets, on one line, vertically centred.
    QVERIFY(left >= r.left + insetLeft && right < r.right - insetRight);
    QVERIFY2(std::abs((top + bottom) / 2 - (r.top + r.bottom) / 2) <= 3,
             qPrintable(QStringLiteral("%1..%2").arg(top).arg(bottom)));
    const int inner = (r.left + insetLeft + r.right - insetRight) / 2;
    if (where == "left") QVERIFY(left <= r.left + insetLeft + 2);
    if (where == "right") QVERIFY(right >= r.right - insetRight - 3);
    if (where == "centre") QVERIFY(std::abs((left + right) / 2 - inner) <= 2);
    if (where == "fills") QVERIFY(right >= r.right - insetRight - 15 && left <= r.left + insetLeft + 2);
}

void TestImages::missingSkinsFolder() {
    // Without pictures the window shows its fill colour and the control texts.
    QTemporaryDir empty;
    SetProgramFolder(empty.path().toStdString());
    TestDlg dlg(200, 100);
    dlg.drawBackground = true;
    CCheckButton* check = nullptr;
    dlg.create = [&](TestDlg& d) {
        auto c = std::make_unique<CCheckButton>(&d, 3501, Rect{10, 10, 190, 40},
                                                QStringLiteral("Motion wake-up"), 1);
        QVERIFY(!c->LoadNormalImage("skins\\check_nr.png"));
        check = d.Add(0, std::move(c));
        auto b = std::make_unique<CImageButton>(&d, 2004, Rect{10, 60, 30, 80}, QString(), 0);
        QVERIFY(!b->LoadNormalImage("skins\\exit_nr.png"));
        d.Add(0, std::move(b));
    };
    dlg.InitDialog();
    QCOMPARE(check->PictureWidth(), 0);
    const QImage img = dlg.Render();
    QCOMPARE(img.pixelColor(15, 70), QColor(186, 226, 239)); // the fill colour
    bool text = false;
    for (int x = 10; x < 190 && !text; ++x)
        for (int y = 10; y < 40 && !text; ++y) text = img.pixelColor(x, y) != QColor(186, 226, 239);
    QVERIFY(text);
}

void TestImages::windowBackground() {
    // The palette's chart as background: the fill colour becomes its average, and
    // the copy is drawn where the chart has its plain background.
    TestDlg dlg(500, 291);
    dlg.drawBackground = true;
    dlg.InitDialog();
    QCOMPARE(dlg.FillColour(), kWindowFill);
    QVERIFY(dlg.SetBackgroundResource(287));
    SkinBitmap chart;
    QVERIFY(LoadBitmapResource(287, chart));
    Colour average = 0;
    QVERIFY(AverageColour(chart.image, 500, 291, average));
    QCOMPARE(dlg.FillColour(), average);
    const QImage img = dlg.Render();
    QCOMPARE(img.pixelColor(230, 150), QColor(15, 15, 15));
    QCOMPARE(img.pixelColor(100, 100), chart.image.pixelColor(100, 100));
}

void TestImages::runBitmapGivesTheSamePixels_data() {
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("at");

    // A picture with flat parts, single pixels, a gradient and transparent
    // pixels, whose runs start and end anywhere.
    QImage mixed(37, 23, QImage::Format_ARGB32);
    for (int y = 0; y < mixed.height(); ++y)
        for (int x = 0; x < mixed.width(); ++x) {
            const bool flat = x < 10 || (y % 5 == 0);
            mixed.setPixel(x, y, flat ? qRgb(10, 20, 30) : qRgba((x * 7) & 255, y * 11, (x ^ y) & 255, 128));
        }
    QImage single(1, 1, QImage::Format_RGB32);
    single.fill(QColor(1, 2, 3));
    QImage indexed = mixed.convertToFormat(QImage::Format_Indexed8);

    QTest::newRow("whole picture") << mixed << mixed.rect() << QPoint(0, 0);
    QTest::newRow("inside, moved") << mixed << QRect(5, 3, 20, 11) << QPoint(2, 9);
    QTest::newRow("one column") << mixed << QRect(10, 0, 1, 23) << QPoint(10, 0);
    QTest::newRow("one row") << mixed << QRect(0, 7, 37, 1) << QPoint(0, 7);
    QTest::newRow("past the edges") << mixed << QRect(-4, -2, 50, 40) << QPoint(-4, -2);
    QTest::newRow("outside") << mixed << QRect(40, 30, 5, 5) << QPoint(40, 30);
    QTest::newRow("one pixel") << single << QRect(0, 0, 1, 1) << QPoint(3, 3);
    QTest::newRow("indexed colours") << indexed << QRect(2, 2, 30, 18) << QPoint(2, 2);
}

void TestImages::runBitmapGivesTheSamePixels() {
    // The runs give back the opaque picture, and drawing a part of them paints
    // what drawing that part of the opaque picture paints.
    QFETCH(QImage, picture);
    QFETCH(QRect, area);
    QFETCH(QPoint, at);
    QImage opaque = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < opaque.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(opaque.scanLine(y));
        for (int x = 0; x < opaque.width(); ++x) line[x] |= 0xFF000000u;
    }
    opaque.reinterpretAsFormat(QImage::Format_RGB32);
    const RunBitmap runs(opaque);
    QCOMPARE(runs.ToImage(), opaque);
    QCOMPARE(runs.Pixel(opaque.width() - 1, opaque.height() - 1),
             opaque.pixel(opaque.width() - 1, opaque.height() - 1));
    QCOMPARE(runs.Pixel(opaque.width(), 0), QRgb(0));

    QImage expected(48, 40, QImage::Format_RGB32), drawn(48, 40, QImage::Format_RGB32);
    expected.fill(Qt::magenta);
    drawn.fill(Qt::magenta);
    // Only the part inside the picture is painted, where it lies in `area`.
    const QRect part = area & opaque.rect();
    QPainter pe(&expected);
    if (!part.isEmpty()) pe.drawImage(at + (part.topLeft() - area.topLeft()), opaque, part);
    pe.end();
    QPainter pd(&drawn);
    runs.Draw(pd, at, area);
    pd.end();
    QCOMPARE(drawn, expected);
}

void TestImages::runBitmapOfTheMainBackground() {
    // The main window's background: the same pixels as the decoded bitmap, in
    // a small part of its size, shared by every load.
    SkinBitmap decoded;
    QVERIFY(LoadBitmapResource(364, decoded));
    RunBitmap runs, again;
    QVERIFY(LoadBitmapResourceRuns(364, runs));
    QCOMPARE(runs.ToImage(), decoded.image.convertToFormat(QImage::Format_RGB32));
    QVERIFY(runs.Bytes() < static_cast<std::size_t>(decoded.image.sizeInBytes()) / 4);
    QVERIFY(LoadBitmapResourceRuns(364, again));
    QCOMPARE(again.Bytes(), runs.Bytes());
    QVERIFY(!LoadBitmapResourceRuns(999, runs));
    QVERIFY(!runs.IsNull()); // a failed load leaves the picture alone
}

QTEST_MAIN(TestImages)
#include "tst_images.moc"
