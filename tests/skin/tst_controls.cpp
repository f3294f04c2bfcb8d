// The button controls' state machines and notifications, driven by real mouse
// input through a skinned window, and what they draw (looked up by pixel).
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "SkinTestSupport.h"
#include "skin/CheckButton.h"
#include "skin/ColorSelectButton.h"
#include "skin/ComboButton.h"
#include "skin/ImageButton.h"
#include "skin/RadioButton.h"
#include "widgets/DpiControls.h"

using namespace skintest;
using namespace tarvik;

namespace {

const Rect kR{40, 40, 140, 100};
const QPoint kIn(90, 70), kIn2(91, 71), kOut(300, 200);
// Test pictures: the colour tells which picture a control shows.
const QColor kPic[3] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255)};

} // namespace

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { SetUiScale(1.0); }

    void stateMachine_data();
    void stateMachine();
    void radioWord_data();
    void radioWord();
    void selectionsBelongToTheirWindow();
    void radioGroupsRefuseOverlaps();
    void comboEnterAndLeaveCounts();
    void comboLeaveWaitsForItsPopup();
    void pictureStretchedAtScaleOnePointFive();
    void colourSwatchAtScaleOnePointFive();
    void lastLoadedPictureSizeIsTheSourceRectangle();

private:
    QString pic(int i) const { return pictures_[i]; }
    QTemporaryDir dir_;
    QString pictures_[3];
};

void TestControls::initTestCase() {
    QVERIFY(dir_.isValid());
    for (int i = 0; i < 3; ++i) pictures_[i] = SolidPng(dir_, QStringLiteral("pic%1.png").arg(i), kPic[i]);
}

void TestControls::init() {
    SetUiScale(1.0);
}

// ---- one table for every button class ---------------------------------------

void TestControls::stateMachine_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("messages");
    QTest::addColumn<int>("picture"); // index of the picture shown afterwards, -1: not looked at
    QTest::addColumn<int>("state");   // mouse state afterwards
    QTest::addColumn<int>("flag");    // checked / selected afterwards, -1: not looked at

    // Check button: the click toggles before it is reported.
    QTest::newRow("check: hover") << "check" << 3600 << ""
                                  << "in"
                                  << "" << 1 << 1 << 0;
    QTest::newRow("check: press shows the pressed picture") << "check" << 3600 << ""
                                                            << "in press"
                                                            << "3600:0:1" << 2 << 2 << 0;
    QTest::newRow("check: click") << "check" << 3600 << ""
                                  << "in press up-in"
                                  << "3600:0:1 3600:0:2" << 2 << 1 << 1;
    QTest::newRow("check: click unchecks") << "check" << 3600 << "checked"
                                           << "in press up-in"
                                           << "3600:0:1 3600:0:2" << 1 << 1 << 0;
    QTest::newRow("check: release outside") << "check" << 3600 << ""
                                            << "in press out up-out"
                                            << "3600:0:1" << 0 << 0 << 0;
    QTest::newRow("check: checked shows under the mouse") << "check" << 3600 << "checked"
                                                          << "in"
                                                          << "" << 2 << 1 << 1;
    QTest::newRow("check: disabled ignores the mouse") << "check" << 3600 << "disabled"
                                                       << "in press up-in"
                                                       << "" << 0 << 0 << 0;
    // Radio buttons: the selection lives in the window's radio word.
    QTest::newRow("radio: hover") << "radio" << 2083 << ""
                                  << "in"
                                  << "" << 1 << 1 << 0;
    QTest::newRow("radio: click selects") << "radio" << 2083 << ""
                                          << "in press up-in"
                                          << "2083:0:1 2083:0:2" << 2 << 1 << 1;
    QTest::newRow("radio: release outside") << "radio" << 2083 << ""
                                            << "in press out up-out"
                                            << "2083:0:1" << 0 << 0 << 0;
    QTest::newRow("radio: initially selected") << "radio" << 2080 << ""
                                               << ""
                                               << "" << 2 << 0 << 1;
    QTest::newRow("radio: no group, only the click") << "radio" << 4444 << ""
                                                     << "in press up-in"
                                                     << "4444:0:1 4444:0:2" << 1 << 1 << 0;
    QTest::newRow("dpi radio: click") << "dpiradio" << 3293 << ""
                                      << "in press up-in"
                                      << "3293:0:1 3293:0:2" << 2 << 1 << 1;
    QTest::newRow("dpi radio: hover, level off") << "dpiradio" << 3295 << ""
                                                 << "in"
                                                 << "" << 1 << 1 << 0;
    QTest::newRow("dpi radio: level 1 on from the start") << "dpiradio" << 3291 << ""
                                                          << ""
                                                          << "" << 2 << 0 << 1;
    // Image buttons: the click carries the button's id; only a button set to
    // report hover (the main window's 3502) does.
    QTest::newRow("image: click") << "image" << 2045 << ""
                                  << "in press up-in"
                                  << "2045:0:1 2045:2045:2" << 1 << 1 << -1;
    QTest::newRow("image: pressed shows hover picture") << "image" << 2045 << ""
                                                        << "in press"
                                                        << "2045:0:1" << 1 << 2 << -1;
    QTest::newRow("image: no hover reports") << "image" << 2045 << ""
                                             << "in in2"
                                             << "" << 1 << 1 << -1;
    QTest::newRow("image 3502: hover on every move") << "image" << 3502 << "reports hover"
                                                     << "in in2 in"
                                                     << "3502:0:12 3502:0:12 3502:0:12" << 1 << 1 << -1;
    QTest::newRow("image 3502: none while pressed") << "image" << 3502 << "reports hover"
                                                    << "in press in2"
                                                    << "3502:0:12 3502:0:1" << 1 << 2 << -1;
    QTest::newRow("image: release outside") << "image" << 2045 << ""
                                            << "in press out up-out"
                                            << "2045:0:1" << 0 << 0 << -1;
    // Combo buttons: enter/leave and the click go out as the combo message 1028.
    QTest::newRow("combo: enter") << "combo" << 2013 << ""
                                  << "in"
                                  << "1028:2013:4" << 1 << 1 << -1;
    QTest::newRow("combo: enter and leave") << "combo" << 2013 << ""
                                            << "in out"
                                            << "1028:2013:4 1028:2013:5" << 0 << 0 << -1;
    QTest::newRow("combo: click") << "combo" << 2013 << ""
                                  << "in press up-in"
                                  << "1028:2013:4 2013:0:1 1028:2013:2" << 1 << 1 << -1;
    QTest::newRow("combo: locked sends no press nor click") << "combo" << 2013 << "locked"
                                                            << "in press up-in out"
                                                            << "1028:2013:4 1028:2013:5" << 0 << 0 << -1;
    QTest::newRow("combo: locked still looks pressed") << "combo" << 2013 << "locked"
                                                       << "in press"
                                                       << "1028:2013:4" << 1 << 2 << -1;
    QTest::newRow("combo: open shows hover picture") << "combo" << 2013 << "open"
                                                     << ""
                                                     << "" << 1 << 0 << -1;
    QTest::newRow("combo: disabled") << "combo" << 2013 << "disabled"
                                     << "in press up-in"
                                     << "" << 0 << 0 << -1;
    // Colour swatches.
    QTest::newRow("colour: click") << "colour" << 3270 << ""
                                   << "in press up-in"
                                   << "3270:0:1 3270:0:2" << -1 << 1 << -1;
    QTest::newRow("colour check: click") << "colourcheck" << 3180 << ""
                                         << "in press up-in"
                                         << "3180:0:1 3180:0:2" << 0 << 1 << 0;
    QTest::newRow("colour check: checked frame") << "colourcheck" << 3180 << "checked"
                                                 << "in"
                                                 << "" << 2 << 1 << 1;
}

void TestControls::stateMachine() {
    QFETCH(QString, kind);
    QFETCH(int, id);
    QFETCH(QString, setup);
    QFETCH(QString, actions);
    QFETCH(QString, messages);
    QFETCH(int, picture);
    QFETCH(int, state);
    QFETCH(int, flag);

    CControlBase* control = nullptr;
    std::function<bool()> readFlag;
    TestDlg dlg;
    ConfigureProgramIds(dlg);
    dlg.create = [&](TestDlg& d) {
        if (kind == "check") {
            auto c = std::make_unique<CCheckButton>(&d, id, kR, QString(), 0);
            c->LoadNormalImage(pic(0));
            c->LoadHoverImage(pic(1));
            c->LoadCheckedImage(pic(2));
            if (setup == "checked") c->SetChecked(true);
            readFlag = [p = c.get()] { return p->IsChecked(); };
            control = d.Add(0, std::move(c));
        } else if (kind == "radio") {
            auto c = std::make_unique<CRadioButton>(&d, id, kR, QString());
            c->LoadNormalImage(pic(0));
            c->LoadHoverImage(pic(1));
            c->LoadSelectedImage(pic(2));
            readFlag = [p = c.get()] { return p->IsSelected(); };
            control = d.Add(0, std::move(c));
        } else if (kind == "dpiradio") {
            auto c = std::make_unique<CDPIRadioButton>(&d, id, kR, QString());
            c->LoadNormalImage(pic(0));
            c->LoadHoverImage(pic(1));
            c->LoadSelectedImage(pic(2));
            readFlag = [p = c.get()] { return p->IsSelected(); };
            control = d.Add(0, std::move(c));
        } else if (kind == "image") {
            auto c = std::make_unique<CImageButton>(&d, id, kR, QString(), 1);
            c->LoadNormalImage(pic(0));
            c->LoadHoverImage(pic(1));
            c->SetReportsHover(setup == "reports hover");
            control = d.Add(0, std::move(c));
        } else if (kind == "combo") {
            auto c = std::make_unique<CComboButton>(&d, 1028, id, kR, QString(), 0, QString());
            c->LoadNormalImage(pic(0));
            c->LoadHoverImage(pic(1));
            c->SetLocked(setup == "locked");
            c->SetOpen(setup == "open");
            control = d.Add(0, std::move(c));
        } else if (kind == "colour") {
            control = d.Add(0, std::make_unique<CColorSelectButton>(&d, id, kR, kR, QString()));
        } else if (kind == "colourcheck") {
            auto c = std::make_unique<CColorSelectCheckButton>(&d, id, kR, kR, QString());
            c->LoadNormalImage(pic(0));
            c->LoadCheckedImage(pic(2));
            c->SetChecked(setup == "checked");
            readFlag = [p = c.get()] { return p->IsChecked(); };
            control = d.Add(0, std::move(c));
        }
        if (setup == "disabled") control->SetDisabled(true);
    };
    QVERIFY(Open(dlg));
    QVERIFY(control);
    dlg.messages.clear();

    for (const QString& a : actions.split(' ', Qt::SkipEmptyParts)) {
        if (a == "in")
            Move(dlg, kIn);
        else if (a == "in2")
            Move(dlg, kIn2);
        else if (a == "out")
            Move(dlg, kOut);
        else if (a == "press")
            Press(dlg, dlg.LastMousePoint().x() >= 0 ? dlg.LastMousePoint() : kIn);
        else if (a == "up-in")
            Release(dlg, kIn);
        else if (a == "up-out")
            Release(dlg, kOut);
        else
            QFAIL(qPrintable("unknown action " + a));
    }

    QCOMPARE(Describe(dlg.messages), messages);
    QCOMPARE(control->MouseState(), state);
    if (flag >= 0) {
        QVERIFY(readFlag);
        QCOMPARE(readFlag(), flag == 1);
    }
    const QImage img = dlg.Render();
    const QPoint corner(kR.left + 1, kR.top + 1);
    if (picture >= 0) QCOMPARE(img.pixelColor(corner), kPic[picture]);
    if (kind.startsWith("colour")) QCOMPARE(img.pixelColor(kIn), QColor(0, 255, 0)); // the swatch colour
}

// ---- the window's selections -----------------------------------------------------

void TestControls::radioWord_data() {
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<quint32>("word");
    QTest::newRow("initial") << "" << quint32(0x280282);
    QTest::newRow("2083 clears bits 0-6, sets 4") << "2083" << quint32(0x280290);
    QTest::newRow("2006 then 2085") << "2006 2085" << quint32(0x2802C0);
    QTest::newRow("group B 2010") << "2010" << quint32(0x280302);
    QTest::newRow("group C 3502") << "3502" << quint32(0x280482);
    QTest::newRow("group D starts empty") << "3240" << quint32(0x280A82);
    QTest::newRow("group D 3240 then 3250") << "3240 3250" << quint32(0x281282);
    QTest::newRow("group E 2031 then 2033") << "2031 2033" << quint32(0x288282);
    QTest::newRow("group F 3030") << "3030" << quint32(0x210282);
    QTest::newRow("group G 3510") << "3510" << quint32(0x180282);
    QTest::newRow("no group") << "9999" << quint32(0x280282);
    QTest::newRow("groups are independent") << "2083 3030 3510 3250" << quint32(0x111290);
}

void TestControls::radioWord() {
    QFETCH(QString, clicks);
    QFETCH(quint32, word);
    std::vector<CRadioButton*> radios;
    TestDlg dlg(600, 100);
    ConfigureProgramIds(dlg);
    const QStringList ids = clicks.split(' ', Qt::SkipEmptyParts);
    dlg.create = [&](TestDlg& d) {
        for (int i = 0; i < ids.size(); ++i)
            radios.push_back(
                d.Add(0, std::make_unique<CRadioButton>(&d, ids[i].toInt(),
                                                        Rect{10 + 40 * i, 10, 40 + 40 * i, 40}, QString())));
    };
    QVERIFY(Open(dlg));
    for (CRadioButton* r : radios) Click(dlg, Centre(r->GetRect()));
    const RadioGroups& groups = dlg.Radios();
    QCOMPARE(groups.Word(), word);
    for (CRadioButton* r : radios)
        QCOMPARE(r->IsSelected(), groups.Bit(r->Id()) >= 0 && (word >> groups.Bit(r->Id()) & 1u));
}

void TestControls::selectionsBelongToTheirWindow() {
    TestDlg a(200, 60), b(200, 60), shared(200, 60), bare(200, 60);
    ConfigureProgramIds(a);
    ConfigureProgramIds(b);
    shared.UseRadioGroups(a.Radios());
    const Rect r1{10, 10, 40, 40}, r2{60, 10, 90, 40};
    auto radios = [&](TestDlg& d) {
        d.create = [&](TestDlg& w) {
            w.Add(0, std::make_unique<CRadioButton>(&w, 3030, r1, QString()));
            w.Add(0, std::make_unique<CDPIRadioButton>(&w, 3293, r2, QString()));
        };
    };
    for (TestDlg* d : {&a, &b, &shared, &bare}) radios(*d);

    QVERIFY(Open(a));
    Click(a, Centre(r1));
    Click(a, Centre(r2));
    QCOMPARE(a.Radios().SelectedIn(3033), 3030);
    QCOMPARE(a.Levels().Mask(), std::uint8_t(0x0F));
    // Another window keeps its own word and mask.
    QCOMPARE(b.Radios().Word(), std::uint32_t(0x280282));
    QCOMPARE(b.Levels().Mask(), std::uint8_t(0x02));
    // A window that shares the groups sees and changes the same word.
    shared.InitDialog();
    QVERIFY(static_cast<CRadioButton*>(shared.FindControl(3030))->IsSelected());
    shared.Radios().ClearGroup(3030);
    QCOMPARE(a.Radios().SelectedIn(3030), 0);
    // Without configuration the buttons only report their clicks.
    QVERIFY(Open(bare));
    Click(bare, Centre(r1));
    Click(bare, Centre(r2));
    QCOMPARE(Describe(bare.messages), QString("3030:0:1 3030:0:2 3293:0:1 3293:0:2"));
    QVERIFY(!static_cast<CRadioButton*>(bare.FindControl(3030))->IsSelected());
    QCOMPARE(bare.Radios().Word(), std::uint32_t(0));
    QCOMPARE(bare.Levels().Mask(), LevelGroup::kInitialMask);
    QVERIFY(!static_cast<CDPIRadioButton*>(bare.FindControl(3293))->IsSelected());
}

void TestControls::radioGroupsRefuseOverlaps() {
    RadioGroups g;
    QVERIFY(g.AddGroup(0, {10, 11, 12}));
    QVERIFY(!g.AddGroup(2, {20, 21}));  // bit 2 is taken
    QVERIFY(!g.AddGroup(31, {30, 31})); // bit 32 does not exist
    QVERIFY(!g.AddGroup(-1, {40}));
    QVERIFY(!g.AddGroup(5, {50, 11})); // 11 is already a member
    QVERIFY(g.AddGroup(3, {20, 21}));
    QCOMPARE(g.Bit(20), 3);
    QCOMPARE(g.Bit(50), -1); // nothing of a refused group was kept
    g.Select(11);
    g.Select(21);
    QCOMPARE(g.Word(), std::uint32_t(0b10010));
    g.Select(12);
    QCOMPARE(g.Word(), std::uint32_t(0b10100));
    QCOMPARE(g.GroupMask(21), std::uint32_t(0b11000));
}

// ---- combo notification counts ----------------------------------------------------

void TestControls::comboEnterAndLeaveCounts() {
    CComboButton* combo = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) {
        combo = d.Add(0, std::make_unique<CComboButton>(&d, 1028, 2014, kR, QString(), 0, QString()));
    };
    QVERIFY(Open(dlg));
    auto count = [&](LParam code) {
        return std::count_if(dlg.messages.begin(), dlg.messages.end(),
                             [&](const Msg& m) { return m.msg == 1028 && m.l == code; });
    };
    for (int i = 0; i < 12; ++i) Move(dlg, kIn + QPoint(i, i % 3));
    QCOMPARE(count(kNotifyEnter), 5); // however long the mouse moves inside
    QVERIFY(combo->IsMuted());
    Move(dlg, kOut);
    Move(dlg, kOut + QPoint(5, 0));
    QCOMPARE(count(kNotifyLeave), 1); // once
    Move(dlg, kIn);
    QCOMPARE(count(kNotifyEnter), 6); // a new stay counts again
}

void TestControls::comboLeaveWaitsForItsPopup() {
    CComboButton* combo = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) {
        combo = d.Add(0, std::make_unique<CComboButton>(&d, 1144, 3120, kR, QString(), 0, QString()));
    };
    QVERIFY(Open(dlg));
    Move(dlg, kIn);
    combo->SetOpen(true);
    Move(dlg, kOut);
    QCOMPARE(Describe(dlg.messages), QString("1144:3120:4")); // no leave while the pop-up is open
    combo->SetOpen(false);
    Move(dlg, kOut + QPoint(3, 3));
    QCOMPARE(Describe(dlg.messages), QString("1144:3120:4 1144:3120:5"));
}

// ---- scale and pictures ---------------------------------------------------------------

void TestControls::pictureStretchedAtScaleOnePointFive() {
    SetUiScale(1.5);
    QImage checker(2, 2, QImage::Format_ARGB32);
    checker.setPixelColor(0, 0, Qt::red);
    checker.setPixelColor(1, 0, Qt::green);
    checker.setPixelColor(0, 1, Qt::blue);
    checker.setPixelColor(1, 1, Qt::white);
    const QString path = dir_.filePath("checker.png");
    QVERIFY(checker.save(path));

    const Rect r = ScaledRect(20, 20, 40, 40);
    QCOMPARE(r, (Rect{30, 30, 60, 60})); // a 20 x 20 design rectangle becomes 30 x 30
    TestDlg dlg(100, 100);
    dlg.create = [&](TestDlg& d) {
        auto c = std::make_unique<CImageButton>(&d, 1, r, QString(), 0);
        c->LoadNormalImage(path);
        d.Add(0, std::move(c));
    };
    dlg.InitDialog();
    const QImage img = dlg.Render();
    // Nearest-neighbour sampling: four sharp 15 x 15 quadrants, no blending at the seams.
    QCOMPARE(img.pixelColor(30, 30), QColor(Qt::red));
    QCOMPARE(img.pixelColor(44, 44), QColor(Qt::red));
    QCOMPARE(img.pixelColor(45, 44), QColor(Qt::green));
    QCOMPARE(img.pixelColor(59, 30), QColor(Qt::green));
    QCOMPARE(img.pixelColor(44, 45), QColor(Qt::blue));
    QCOMPARE(img.pixelColor(59, 59), QColor(Qt::white));
    QCOMPARE(img.pixelColor(60, 60), QColor(Qt::black)); // nothing outside the rectangle
}

void TestControls::colourSwatchAtScaleOnePointFive() {
    SetUiScale(1.5);
    const Rect r = ScaledRect(20, 20, 41, 40); // (30, 30)-(61, 60)
    TestDlg dlg(100, 100);
    dlg.create = [&](TestDlg& d) {
        auto c = std::make_unique<CColorSelectCheckButton>(&d, 3180, r, r, QString());
        c->LoadNormalImage(pic(0));
        c->SetColour(Rgb(0, 0, 255));
        d.Add(0, std::move(c));
    };
    dlg.InitDialog();
    auto* swatch = static_cast<CColorSelectCheckButton*>(dlg.FindControl(3180));
    // Each edge moves in by 3 × 1.5 and is truncated.
    QCOMPARE(swatch->Swatch(), (Rect{34, 34, 56, 55}));
    const QImage img = dlg.Render();
    QCOMPARE(img.pixelColor(33, 40), kPic[0]);
    QCOMPARE(img.pixelColor(34, 40), QColor(0, 0, 255));
    QCOMPARE(img.pixelColor(55, 54), QColor(0, 0, 255));
    QCOMPARE(img.pixelColor(56, 54), kPic[0]);
    QCOMPARE(img.pixelColor(40, 55), kPic[0]);
}

void TestControls::lastLoadedPictureSizeIsTheSourceRectangle() {
    // Normal picture 4 x 4: left half red, right half green. The checked picture
    // loaded last is 2 x 2, so every state is drawn from (0, 0, 2, 2): only red.
    QImage normal(4, 4, QImage::Format_ARGB32);
    normal.fill(Qt::green);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 2; ++x) normal.setPixelColor(x, y, Qt::red);
    const QString normalPath = dir_.filePath("halves.png");
    QVERIFY(normal.save(normalPath));
    const QString small = SolidPng(dir_, "small.png", Qt::blue, 2, 2);

    TestDlg dlg(200, 100);
    CCheckButton* check = nullptr;
    dlg.create = [&](TestDlg& d) {
        auto c = std::make_unique<CCheckButton>(&d, 1, Rect{0, 0, 40, 40}, QString(), 0);
        QVERIFY(c->LoadNormalImage(normalPath));
        QVERIFY(c->LoadCheckedImage(small));
        QVERIFY(!c->LoadHoverImage(dir_.filePath("missing.png"))); // a failed load keeps the size
        check = d.Add(0, std::move(c));
    };
    dlg.InitDialog();
    QCOMPARE(check->PictureWidth(), 2);
    QCOMPARE(check->PictureHeight(), 2);
    const QImage img = dlg.Render();
    QCOMPARE(img.pixelColor(35, 20), QColor(Qt::red));
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
