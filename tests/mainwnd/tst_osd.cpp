// The on-screen display: window kind and placement, the countdown, and the picture.
#include <QApplication>
#include <QScreen>
#include <QTest>

#include "device/Protocol.h"
#include "mainwnd/OSDDialog.h"
#include "text/Language.h"

using namespace tarvik;

namespace {

OsdTexts Texts(const char* title, const char* value, const char* rate) {
    return OsdTexts{title, value, rate};
}

// Loads a language whose name chooses the interface face: "中文" gives "宋体",
// any other name "Tahoma".
void LoadLanguageNamed(const QString& name) {
    const QString text = QStringLiteral("[Setting]\n0=") + name + QStringLiteral("\n");
    std::string bytes = "\xFF\xFE";
    for (QChar c : text) {
        bytes += static_cast<char>(c.unicode() & 0xFF);
        bytes += static_cast<char>(c.unicode() >> 8);
    }
    Language().Clear();
    QVERIFY(Language().LoadText(bytes, UiScale()));
}

// The leftmost column at or right of `from` in the band of rows [top, bottom)
// that holds a white pixel; -1 when none does.
int FirstWhiteColumn(const QImage& img, int top, int bottom, int from = 0) {
    for (int x = from; x < img.width(); ++x)
        for (int y = top; y < bottom && y < img.height(); ++y)
            if (img.pixelColor(x, y) == Qt::white) return x;
    return -1;
}

} // namespace

class TestOsd : public QObject {
    Q_OBJECT
private slots:
    void init() {
        SetUiScale(1.0);
        Language().Clear();
    }
    void cleanupTestCase() { SetUiScale(1.0); }

    void placedBottomRightAsToolWindow_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("1") << 1.0;
        QTest::newRow("1.5") << 1.5;
        QTest::newRow("2") << 2.0;
    }
    void placedBottomRightAsToolWindow() {
        QFETCH(double, scale);
        SetUiScale(scale);
        VirtualScheduler scheduler;
        OsdDisplay osd(scheduler);
        osd.Show(Texts("DPI-2", "1600", "1000Hz"));
        COSDDialog* d = osd.Dialog();
        QVERIFY(d);
        QVERIFY(QTest::qWaitForWindowExposed(d));
        const QRect a = QGuiApplication::primaryScreen()->availableGeometry();
        const int w = static_cast<int>(180 * scale), h = static_cast<int>(140 * scale);
        QCOMPARE(d->frameGeometry(), QRect(a.x() + a.width() - w, a.y() + a.height() - h, w, h));

        // Flags and attribute are what keep the focus where it is: the offscreen
        // platform activates every window it shows, and without a window manager
        // (Xvfb) no window is activated at all, so neither can show it.
        const Qt::WindowFlags f = d->windowFlags();
        for (Qt::WindowType t : {Qt::Tool, Qt::FramelessWindowHint, Qt::WindowStaysOnTopHint,
                                 Qt::WindowDoesNotAcceptFocus, Qt::WindowTransparentForInput})
            QVERIFY2(f.testFlag(t), qPrintable(QString::number(t, 16)));
        QVERIFY(d->testAttribute(Qt::WA_ShowWithoutActivating));
        QCOMPARE(d->windowOpacity(), 128 / 255.0);
    }

    // Five steps of 300 ms after the last update the display is still up; the
    // sixth removes it. An update in between starts the count again in place.
    void countdown() {
        VirtualScheduler scheduler;
        OsdDisplay osd(scheduler);
        QCOMPARE(OsdDisplay::kTickMs, 300);
        osd.Show(Texts("DPI-1", "800", "125Hz"));
        COSDDialog* first = osd.Dialog();
        QVERIFY(first && first->isVisible());
        QVERIFY(osd.IsTimerArmed());
        for (int i = 0; i < 3; ++i) osd.Tick();
        QCOMPARE(osd.Countdown(), 2);

        osd.Show(Texts("DPI-4", "12000", "1000Hz"));
        QCOMPARE(osd.Dialog(), first); // the same window, new texts
        QCOMPARE(first->Title(), QStringLiteral("DPI-4"));
        QCOMPARE(first->Value(), QStringLiteral("12000"));
        QCOMPARE(first->Rate(), QStringLiteral("1000Hz"));
        for (int i = 0; i < 5; ++i) {
            osd.Tick();
            QVERIFY(osd.Dialog());
        }
        osd.Tick();
        QVERIFY(!osd.Dialog());
        QVERIFY(!osd.IsTimerArmed());

        // The next report makes a new display.
        osd.Show(Texts("DPI-1", "800", "125Hz"));
        QVERIFY(osd.Dialog());
    }

    // The scheduler drives the same count by itself: up for five steps of
    // 300 ms, gone at the sixth.
    void disappearsByItself() {
        VirtualScheduler scheduler;
        OsdDisplay osd(scheduler);
        osd.Show(Texts("DPI-1", "800", "125Hz"));
        scheduler.Advance(Millis(5 * OsdDisplay::kTickMs));
        QVERIFY(osd.Dialog());
        scheduler.Advance(Millis(OsdDisplay::kTickMs));
        QVERIFY(!osd.Dialog());
        QVERIFY(!scheduler.Armed(OsdDisplay::kTaskId));
    }

    void picture_data() {
        QTest::addColumn<QString>("face");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("valueX");
        QTest::addColumn<int>("rateX");
        const QString song = QString::fromUtf8("宋体");
        QTest::newRow("Tahoma, 5 digits") << "Tahoma"
                                          << "12000"
                                          << "1000Hz" << 16 << 50;
        QTest::newRow("Tahoma, 4 digits") << "Tahoma"
                                          << "1600"
                                          << "500Hz" << 34 << 57;
        QTest::newRow("Tahoma, 3 digits") << "Tahoma"
                                          << "800"
                                          << "125Hz" << 50 << 57;
        QTest::newRow("SongTi, 5 digits") << song << "12000"
                                          << "1000Hz" << 34 << 50;
        QTest::newRow("SongTi, 4 digits") << song << "1600"
                                          << "250Hz" << 44 << 57;
        QTest::newRow("SongTi, 2 digits") << song << "50"
                                          << "250Hz" << 50 << 57;
    }
    void picture() {
        QFETCH(QString, face);
        QFETCH(QString, value);
        QFETCH(QString, rate);
        QFETCH(int, valueX);
        QFETCH(int, rateX);
        QCOMPARE(COSDDialog::ValueX(value, face), valueX);
        QCOMPARE(COSDDialog::RateX(rate), rateX);

        // Rendered: the fill colour around the texts, white text starting where the table says.
        LoadLanguageNamed(face == QLatin1String("Tahoma") ? QStringLiteral("English")
                                                          : QString::fromUtf8("中文"));
        QCOMPARE(QString::fromStdU16String(Language().Font().face), face);
        COSDDialog d;
        d.Place(QRect(0, 0, 1000, 800));
        d.Update(QStringLiteral("DPI-5"), value, rate);
        const QImage img = d.Render();
        QCOMPARE(img.size(), QSize(180, 140));
        QCOMPARE(img.pixelColor(0, 0), QColor(164, 73, 164));
        QCOMPARE(img.pixelColor(179, 139), QColor(164, 73, 164));
        QCOMPARE(FirstWhiteColumn(img, 0, 20), -1); // nothing above the title
        const auto near = [](int got, int want) { return got >= want && got <= want + 6; };
        QVERIFY2(near(FirstWhiteColumn(img, 20, 44), 58), "title");
        QVERIFY2(near(FirstWhiteColumn(img, 50, 88), valueX), "value");
        QVERIFY2(near(FirstWhiteColumn(img, 96, 116), rateX), "rate");
    }

    void screenshotAtScaleOneAndAHalf() {
        SetUiScale(1.5);
        LoadLanguageNamed(QStringLiteral("English"));
        COSDDialog d;
        d.Place(QRect(0, 0, 1000, 800));
        d.Update(QStringLiteral("DPI-3"), QStringLiteral("3200"), QStringLiteral("1000Hz"));
        const QImage img = d.Render();
        QCOMPARE(img.size(), QSize(270, 210));
        QVERIFY(img.save(QStringLiteral(TARVIK_TEST_ARTIFACTS "/osd-scale1.5.png")));
    }
};

QTEST_MAIN(TestOsd)
#include "tst_osd.moc"
