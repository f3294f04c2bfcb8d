// The app's own controls on a skinned window, driven by real mouse input: the
// DPI level buttons and their window's mask of enabled levels, the power dial's
// wedges, and the battery gauge's fill.
#include <QTest>

#include <memory>

#include "SkinTestSupport.h"
#include "widgets/Battery.h"
#include "widgets/DpiControls.h"
#include "widgets/PowerManageButton.h"

using namespace skintest;
using namespace tarvik;

class TestWidgetControls : public QObject {
    Q_OBJECT

private slots:
    void init() { SetUiScale(1.0); }
    void cleanup() { SetUiScale(1.0); }

    void dpiLevelMask_data();
    void dpiLevelMask();
    void powerDialWedges_data();
    void powerDialWedges();
    void powerDialShowsTheValuesPicture();
    void batteryFill_data();
    void batteryFill();
};

void TestWidgetControls::dpiLevelMask_data() {
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<QString>("masks"); // the mask after each click
    QTest::newRow("3293") << "3293"
                          << "0f";
    QTest::newRow("3290 then 3297") << "3290 3297"
                                    << "01 ff";
    QTest::newRow("3291 3294 3292") << "3291 3294 3292"
                                    << "03 1f 07";
}

void TestWidgetControls::dpiLevelMask() {
    QFETCH(QString, clicks);
    QFETCH(QString, masks);
    TestDlg dlg(600, 100);
    ConfigureProgramIds(dlg);
    QCOMPARE(dlg.Levels().Mask(), std::uint8_t(2));
    const QStringList ids = clicks.split(' ');
    std::vector<CDPIRadioButton*> buttons;
    dlg.create = [&](TestDlg& d) {
        for (int i = 0; i < ids.size(); ++i)
            buttons.push_back(
                d.Add(0, std::make_unique<CDPIRadioButton>(
                             &d, ids[i].toInt(), Rect{10 + 40 * i, 10, 36 + 40 * i, 21}, QString())));
    };
    QVERIFY(Open(dlg));
    QStringList seen;
    for (CDPIRadioButton* b : buttons) {
        Click(dlg, Centre(b->GetRect()));
        seen << QStringLiteral("%1").arg(dlg.Levels().Mask(), 2, 16, QLatin1Char('0'));
    }
    QCOMPARE(seen.join(' '), masks);
}

// ---- power-down dial ------------------------------------------------------------------

void TestWidgetControls::powerDialWedges_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("design"); // release point, design pixels from the dial's corner
    QTest::addColumn<int>("value");     // value afterwards (initially 6)
    QTest::addColumn<QString>("messages");

    // Centroids of the wedges: (R(k-2) + R(k-1) + C) / 3 with C = (70, 71).
    const int rim[9][2] = {{3, 71},   {7, 51},   {17, 32},  {40, 13}, {70, 5},
                           {100, 14}, {121, 31}, {131, 51}, {134, 71}};
    for (double scale : {1.0, 1.5, 2.0}) {
        for (int v = 3; v <= 10; ++v) {
            const int a = v - 3, b = v - 2;
            const QPoint centroid((rim[a][0] + rim[b][0] + 70) / 3, (rim[a][1] + rim[b][1] + 71) / 3);
            QTest::addRow("scale %.1f wedge %d", scale, v) << scale << centroid << v << "3500:0:1 3500:0:2";
        }
        QTest::addRow("scale %.1f below the centre line", scale)
            << scale << QPoint(70, 78) << 6 << "3500:0:1";
        QTest::addRow("scale %.1f corner outside the wedges", scale)
            << scale << QPoint(2, 2) << 6 << "3500:0:1";
    }
}

void TestWidgetControls::powerDialWedges() {
    QFETCH(double, scale);
    QFETCH(QPoint, design);
    QFETCH(int, value);
    QFETCH(QString, messages);
    SetUiScale(scale);
    CPowerManageButton* dial = nullptr;
    const Rect r = ScaledRect(81, 50, 221, 134);
    TestDlg dlg(Scaled(400), Scaled(200));
    dlg.create = [&](TestDlg& d) {
        dial = d.Add(0, std::make_unique<CPowerManageButton>(&d, 1234, r, QString(), 0));
    };
    QVERIFY(Open(dlg));
    QCOMPARE(dial->Id(), 3500);
    const QPoint p(r.left + static_cast<int>(design.x() * scale),
                   r.top + static_cast<int>(design.y() * scale));
    Move(dlg, p);
    Press(dlg, p);
    Release(dlg, p);
    QCOMPARE(dial->Value(), value);
    QCOMPARE(Describe(dlg.messages), messages);
}

void TestWidgetControls::powerDialShowsTheValuesPicture() {
    // Each value's picture is decoded when the dial first shows it: the dial
    // shows the picture of its value after a set value and after a click, and
    // a missing picture is reported for the shown value only.
    QTemporaryDir dir;
    const auto colour = [](int v) { return QColor(20 * v, 255 - 20 * v, 7 * v); };
    CPowerManageButton* dial = nullptr;
    const Rect r{81, 50, 221, 134};
    TestDlg dlg(400, 200);
    bool loaded = true, missingOfAnother = false;
    dlg.create = [&](TestDlg& d) {
        dial = d.Add(0, std::make_unique<CPowerManageButton>(&d, 1234, r, QString(), 0));
        for (int v = 3; v <= 9; ++v)
            loaded =
                dial->LoadValueImage(v, SolidPng(dir, QStringLiteral("%1.png").arg(v), colour(v), 140, 84)) &&
                loaded;
        missingOfAnother = dial->LoadValueImage(10, dir.filePath("none.png"));
    };
    QVERIFY(Open(dlg));
    QVERIFY(loaded);
    QVERIFY(missingOfAnother); // not shown, not decoded yet
    const QPoint inside(r.left + 70, r.top + 40);
    QCOMPARE(PixelAt(dlg.Render(), inside), colour(CPowerManageButton::kInitialValue));
    for (const int v : {9, 3, 6}) {
        dial->SetValue(v);
        QCOMPARE(PixelAt(dlg.Render(), inside), colour(v));
    }
    // A click in the wedge of 4 (the middle of its triangle).
    const QPoint wedge4(r.left + 31, r.top + 51);
    Move(dlg, wedge4);
    Press(dlg, wedge4);
    Release(dlg, wedge4);
    QCOMPARE(dial->Value(), 4);
    QCOMPARE(PixelAt(dlg.Render(), inside), colour(4));
    // The shown value's missing picture is reported.
    dial->SetValue(10);
    QVERIFY(!dial->LoadValueImage(10, dir.filePath("none.png")));
}

// ---- battery -------------------------------------------------------------------------------------

void TestWidgetControls::batteryFill_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("firstFilledRow"); // -1: no fill
    QTest::newRow("level 0 still one pixel") << 0 << 0 << 56;
    QTest::newRow("level 50") << 0 << 50 << 32;
    QTest::newRow("level 100: 50 pixels") << 0 << 100 << 7;
    QTest::newRow("charging shows its own level") << 1 << 90 << 32;
}

void TestWidgetControls::batteryFill() {
    QFETCH(int, mode);
    QFETCH(int, level);
    QFETCH(int, firstFilledRow);
    QTemporaryDir dir;
    const QColor empty(255, 0, 0), full(0, 255, 0), charging(0, 0, 255), flash(0, 0, 0, 0);
    TestDlg dlg(30, 61);
    CBattery* b = nullptr;
    dlg.create = [&](TestDlg& d) {
        b = d.Add(0, std::make_unique<CBattery>(&d, 3406, Rect{0, 0, 30, 61}));
        b->LoadEmptyImage(SolidPng(dir, "e.png", empty, 30, 61));
        b->LoadFullImage(SolidPng(dir, "f.png", full, 30, 61));
        b->LoadChargingImage(SolidPng(dir, "c.png", charging, 30, 61));
        b->LoadFlashImage(SolidPng(dir, "l.png", flash, 30, 61));
        b->SetState(mode, static_cast<std::uint8_t>(level), 50);
    };
    dlg.InitDialog();
    QVERIFY(b->IsDisabled());
    const QImage img = dlg.Render();
    const QColor fill = mode == 1 ? charging : full;
    const QColor above = mode == 1 ? QColor(0, 0, 0) : empty;
    QCOMPARE(PixelAt(img, QPoint(15, firstFilledRow)), fill);
    QCOMPARE(PixelAt(img, QPoint(15, firstFilledRow - 1)), above);
}

QTEST_MAIN(TestWidgetControls)
#include "tst_widgetcontrols.moc"
