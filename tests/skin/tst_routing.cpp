// Mouse routing, painting, messages, timers and pop-up slots of the skinned
// window base, driven by real mouse input under the offscreen platform.
#include <QBackingStore>
#include <QCoreApplication>
#include <QEvent>
#include <QTest>

#include <memory>

#include "SkinTestSupport.h"
#include "skin/CheckButton.h"
#include "skin/ColorSelectButton.h"

using namespace skintest;
using namespace tarvik;

class TestRouting : public QObject {
    Q_OBJECT

private slots:
    void init() { SetUiScale(1.0); }

    // Which control becomes hot and takes the click where controls overlap or are hidden.
    void hotControl_data();
    void hotControl();

    void pressDragOutRelease();
    void heldButtonKeepsTheMouse();
    void rightClickReachesGroupZeroOnly_data();
    void rightClickReachesGroupZeroOnly();
    void pageSwitchIdsRepaintTheWholeWindow_data();
    void pageSwitchIdsRepaintTheWholeWindow();
    void hoverRepaintsOnlyWhatChanged_data();
    void hoverRepaintsOnlyWhatChanged();
    void leaveDropsTheHotControl();
    void pressAfterLeaveWithoutMoveClicks();
    void doubleClickGoesToTheHotControl();
    void pressOnAnotherControlDeactivatesThePressedOne();
    void dragOnEmptySpotMovesTheWindow();
    void clickOnEmptySpotMovesNothing_data();
    void clickOnEmptySpotMovesNothing();
    void controlDeletedByItsOwnNotification();

    void messageTableRows();
    void postMessageIsQueued();
    void standardCloseIds_data();
    void standardCloseIds();
    void findControlSearchesGroupsInOrder();
    void numberedTimers();
    void popupSlots();
};

namespace {

// Layout of the overlap cases: two 100 x 60 controls, B over the right half of A.
const Rect kA{20, 20, 120, 80};
const Rect kB{70, 20, 170, 80};

} // namespace

void TestRouting::hotControl_data() {
    QTest::addColumn<int>("groupA");
    QTest::addColumn<int>("groupB");
    QTest::addColumn<bool>("bGroupVisible");
    QTest::addColumn<bool>("bVisible");
    QTest::addColumn<bool>("bInteractive");
    QTest::addColumn<int>("expectedHot"); // id, 0 for none
    QTest::addColumn<bool>("bDrawn");

    QTest::newRow("later group wins") << 0 << 1 << true << true << true << 2 << true;
    QTest::newRow("later in the same group wins") << 3 << 3 << true << true << true << 2 << true;
    QTest::newRow("earlier group, added later, loses") << 2 << 1 << true << true << true << 1 << true;
    QTest::newRow("hidden by its group") << 0 << 1 << false << true << true << 1 << false;
    QTest::newRow("hidden by itself") << 0 << 1 << true << false << true << 1 << false;
    QTest::newRow("not interactive") << 0 << 1 << true << true << false << 1 << true;
}

void TestRouting::hotControl() {
    QFETCH(int, groupA);
    QFETCH(int, groupB);
    QFETCH(bool, bGroupVisible);
    QFETCH(bool, bVisible);
    QFETCH(bool, bInteractive);
    QFETCH(int, expectedHot);
    QFETCH(bool, bDrawn);

    ProbeControl *a = nullptr, *b = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) {
        a = d.Add(groupA, std::make_unique<ProbeControl>(&d, 1, kA, Rgb(255, 0, 0)));
        b = d.Add(groupB, std::make_unique<ProbeControl>(&d, 2, kB, Rgb(0, 0, 255)));
        b->SetGroupVisible(bGroupVisible);
        b->SetVisible(bVisible);
        b->SetInteractive(bInteractive);
    };
    QVERIFY(Open(dlg));

    const QPoint overlap(100, 50);
    Click(dlg, overlap);
    const std::vector<Msg> expected{{expectedHot, 0, kNotifyPress}, {expectedHot, 0, kNotifyClick}};
    QCOMPARE(Describe(dlg.messages), Describe(expected));
    QVERIFY(dlg.HotControl() && dlg.HotControl()->Id() == expectedHot);

    // What is drawn in the overlap is the later shown control.
    const QImage img = dlg.Render();
    const bool bOnTop = bDrawn && groupB >= groupA;
    QCOMPARE(img.pixelColor(overlap), bOnTop ? QColor(0, 0, 255) : QColor(255, 0, 0));
    if (!bDrawn) QCOMPARE(img.pixelColor(150, 50), QColor(0, 0, 0));
}

void TestRouting::pressDragOutRelease() {
    ProbeControl* c = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) { c = d.Add(0, std::make_unique<ProbeControl>(&d, 7, kA)); };
    QVERIFY(Open(dlg));

    Move(dlg, Centre(kA));
    Press(dlg, Centre(kA));
    QCOMPARE(c->MouseState(), CControlBase::kPressed);
    const int moves = c->moves;
    Move(dlg, QPoint(300, 200));
    QCOMPARE(c->moves, moves + 1); // the pressed control sees the move outside it
    QCOMPARE(c->lastMove, QPoint(300, 200));
    QCOMPARE(c->MouseState(), CControlBase::kPressed); // and a button stays pressed
    Release(dlg, QPoint(300, 200));

    QCOMPARE(Describe(dlg.messages), Describe({{7, 0, kNotifyPress}})); // no click
    QCOMPARE(c->releases, 1);                                           // it got the release outside
    QCOMPARE(c->MouseState(), CControlBase::kNormal);
    QCOMPARE(dlg.HotControl(), nullptr);
    QCOMPARE(dlg.LastMousePoint(), QPoint(-1, -1));
}

void TestRouting::heldButtonKeepsTheMouse() {
    ProbeControl *a = nullptr, *other = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) {
        a = d.Add(0, std::make_unique<ProbeControl>(&d, 1, kA));
        other = d.Add(0, std::make_unique<ProbeControl>(&d, 2, Rect{200, 20, 300, 80}));
    };
    QVERIFY(Open(dlg));
    Move(dlg, Centre(kA));
    Press(dlg, Centre(kA));
    const int otherMoves = other->moves;
    Move(dlg, QPoint(250, 50)); // over the other control with the button held
    QCOMPARE(dlg.HotControl(), a);
    QCOMPARE(a->lastMove, QPoint(250, 50));
    QCOMPARE(other->moves, otherMoves); // no other control sees the moves
    QCOMPARE(other->MouseState(), CControlBase::kNormal);
    Release(dlg, QPoint(250, 50));
    QCOMPARE(Describe(dlg.messages), Describe({{1, 0, kNotifyPress}}));
}

void TestRouting::rightClickReachesGroupZeroOnly_data() {
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("rightUps");
    QTest::addColumn<QString>("messages");
    QTest::newRow("group 0") << 0 << 1 << "5:0:11";
    QTest::newRow("group 1") << 1 << 0 << "";
    QTest::newRow("group 6") << 6 << 0 << "";
}

void TestRouting::rightClickReachesGroupZeroOnly() {
    QFETCH(int, group);
    QFETCH(int, rightUps);
    QFETCH(QString, messages);
    ProbeControl* c = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) { c = d.Add(group, std::make_unique<ProbeControl>(&d, 5, kA)); };
    QVERIFY(Open(dlg));
    RightClick(dlg, Centre(kA));
    QCOMPARE(dlg.HotControl(), c);
    QCOMPARE(c->rightUps, rightUps);
    QCOMPARE(Describe(dlg.messages), messages);
}

void TestRouting::pageSwitchIdsRepaintTheWholeWindow_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("configured");
    QTest::addColumn<bool>("whole");
    for (int id : {2040, 2049, 2053, 3001, 3004, 3007, 3009})
        QTest::newRow(qPrintable(QString::number(id))) << id << true << true;
    for (int id : {2048, 2054, 3000, 3005, 3006, 3010})
        QTest::newRow(qPrintable(QString::number(id))) << id << true << false;
    QTest::newRow("3001 in a window without page switches") << 3001 << false << false;
}

void TestRouting::pageSwitchIdsRepaintTheWholeWindow() {
    QFETCH(int, id);
    QFETCH(bool, configured);
    QFETCH(bool, whole);
    const Rect r{20, 20, 282, 45};
    TestDlg dlg;
    if (configured) ConfigureProgramIds(dlg);
    dlg.create = [&](TestDlg& d) { d.Add(0, std::make_unique<CCheckButton>(&d, id, r, QString(), 0)); };
    QVERIFY(Open(dlg));
    Move(dlg, Centre(r));
    Press(dlg, Centre(r));
    QCoreApplication::processEvents();
    dlg.painted = QRegion();
    Release(dlg, Centre(r));
    QTRY_VERIFY(!dlg.painted.isEmpty());
    if (whole)
        QCOMPARE(dlg.painted.boundingRect(), dlg.rect());
    else
        QCOMPARE(dlg.painted.boundingRect(), r.ToQRect());
}

namespace {
// A probe whose colour shows its mouse state.
class StateProbe : public ProbeControl {
public:
    using ProbeControl::ProbeControl;
    void Draw(QPainter& dc, const Rect&) override {
        ++draws;
        FillSolidRect(dc, rect_, MouseState() == kHover ? Rgb(255, 255, 0) : Rgb(0, 0, 255));
    }
};
} // namespace

// With its own back buffer, or straight into Qt's backing store: the same
// pixels, and only what changed is painted.
void TestRouting::hoverRepaintsOnlyWhatChanged_data() {
    QTest::addColumn<bool>("keepsBackBuffer");
    QTest::newRow("back buffer") << true;
    QTest::newRow("backing store") << false;
}

void TestRouting::hoverRepaintsOnlyWhatChanged() {
    QFETCH(bool, keepsBackBuffer);
    const Rect c{20, 150, 120, 210};
    StateProbe *a = nullptr, *b = nullptr, *far = nullptr;
    TestDlg dlg;
    dlg.SetKeepsBackBuffer(keepsBackBuffer);
    dlg.create = [&](TestDlg& d) {
        a = d.Add(0, std::make_unique<StateProbe>(&d, 1, kA));
        b = d.Add(0, std::make_unique<StateProbe>(&d, 2, Rect{200, 20, 300, 80}));
        far = d.Add(0, std::make_unique<StateProbe>(&d, 3, c));
    };
    QVERIFY(Open(dlg));
    QTRY_VERIFY(!dlg.painted.isEmpty()); // the first paint covers the window
    // The buffer has the window's device pixels (the ratio is above 1 when the
    // test runs with QT_SCALE_FACTOR=2).
    const qreal dpr = dlg.devicePixelRatioF();
    QCOMPARE(dlg.BackBuffer().size(), keepsBackBuffer ? dlg.size() * dpr : QSize(0, 0));
    // What the window shows: the kept buffer, or the backing store.
    auto shown = [&] {
        if (keepsBackBuffer) return dlg.BackBuffer().convertToFormat(QImage::Format_RGB32);
        QPaintDevice* store = dlg.backingStore()->paintDevice();
        if (!store || store->devType() != QInternal::Image) return QImage();
        return static_cast<QImage*>(store)->convertToFormat(QImage::Format_RGB32);
    };
    // The whole window as it looks now, painted at once at the window's pixel ratio.
    auto whole = [&] {
        QImage img(dlg.size() * dpr, QImage::Format_RGB32);
        img.setDevicePixelRatio(dpr);
        QPainter p(&img);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        dlg.DrawWindowForTest(p);
        return img;
    };

    dlg.painted = QRegion();
    const int farDraws = far->draws;
    Move(dlg, Centre(kA));
    QTRY_COMPARE(dlg.painted, QRegion(kA.ToQRect()));
    dlg.painted = QRegion();
    Move(dlg, QPoint(250, 50)); // from A to B: both change, nothing else is painted
    QTRY_COMPARE(dlg.painted, QRegion(kA.ToQRect()) | QRegion(b->GetRect().ToQRect()));
    QCOMPARE(far->draws, farDraws);
    QCOMPARE(a->MouseState(), CControlBase::kNormal);

    // What the window shows is the whole window as it looks now.
    QCOMPARE(shown(), whole());
    // A new size makes a new buffer, painted whole.
    dlg.resize(420, 320);
    if (keepsBackBuffer) QTRY_COMPARE(dlg.BackBuffer().size(), QSize(420, 320) * dpr);
    QTRY_COMPARE(shown(), whole());
}

void TestRouting::leaveDropsTheHotControl() {
    ProbeControl* c = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) { c = d.Add(0, std::make_unique<ProbeControl>(&d, 1, kA)); };
    QVERIFY(Open(dlg));
    Move(dlg, Centre(kA));
    QCOMPARE(c->MouseState(), CControlBase::kHover);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&dlg, &leave);
    QCOMPARE(dlg.HotControl(), nullptr);
    QCOMPARE(c->MouseState(), CControlBase::kNormal);
    QCOMPARE(dlg.LastMousePoint(), QPoint(-1, -1));
    // The next move asks for tracking again and finds the control.
    Move(dlg, Centre(kA) + QPoint(1, 0));
    QCOMPARE(dlg.HotControl(), c);
}

void TestRouting::pressAfterLeaveWithoutMoveClicks() {
    ProbeControl* c = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) { c = d.Add(0, std::make_unique<ProbeControl>(&d, 1, kA)); };
    QVERIFY(Open(dlg));
    const QPoint start = dlg.pos();
    Move(dlg, Centre(kA));
    // A dialog opened over the window and went again; the pointer never moved.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&dlg, &leave);
    Press(dlg, Centre(kA));
    Release(dlg, Centre(kA));
    QCOMPARE(Describe(dlg.messages), Describe({{1, 0, kNotifyPress}, {1, 0, kNotifyClick}}));
    QCOMPARE(dlg.pos(), start); // no window drag
}

void TestRouting::doubleClickGoesToTheHotControl() {
    CColorSelectCheckButton* swatch = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) {
        swatch = d.Add(0, std::make_unique<CColorSelectCheckButton>(&d, 3180, kA, kA, QString()));
    };
    QVERIFY(Open(dlg));
    DoubleClick(dlg, Centre(kA));
    // Down, up, double click, up: the second press arrives as the double click.
    QCOMPARE(Describe(dlg.messages), QString("3180:0:1 3180:0:2 3180:0:10 3180:0:2"));
    QCOMPARE(dlg.PressedRect(), kNoRect); // set by the double click, cleared by the release after it
    QCOMPARE(swatch->MouseState(), CControlBase::kHover);
}

void TestRouting::pressOnAnotherControlDeactivatesThePressedOne() {
    ProbeControl *a = nullptr, *b = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) {
        a = d.Add(0, std::make_unique<ProbeControl>(&d, 1, kA));
        b = d.Add(0, std::make_unique<ProbeControl>(&d, 2, Rect{200, 20, 300, 80}));
    };
    QVERIFY(Open(dlg));
    Click(dlg, Centre(kA));
    QCOMPARE(dlg.PressedControl(), a);
    Click(dlg, QPoint(250, 50));
    QCOMPARE(a->deactivations, 1);
    QCOMPARE(b->deactivations, 0);
    QCOMPARE(dlg.PressedControl(), b);
}

void TestRouting::dragOnEmptySpotMovesTheWindow() {
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) { d.Add(0, std::make_unique<ProbeControl>(&d, 1, kA)); };
    QVERIFY(Open(dlg));
    const QPoint start = dlg.pos();
    Move(dlg, QPoint(300, 200));
    Press(dlg, QPoint(300, 200));
    Move(dlg, QPoint(330, 220));
    // The window followed the mouse: the same screen point is where the drag began.
    Release(dlg, QPoint(300, 200));
    QCOMPARE(dlg.pos(), start + QPoint(30, 20));
    QVERIFY(dlg.messages.empty());
    QCOMPARE(dlg.PressedRect(), kNoRect);
}

// A press and its release are one click however close together they come: only
// a move with the button held past the drag distance hands the window to the
// window system's move (which would otherwise run on after a release it never saw).
void TestRouting::clickOnEmptySpotMovesNothing_data() {
    QTest::addColumn<QPoint>("moveBy"); // between press and release; (0, 0): none
    QTest::addColumn<int>("systemMoves");
    QTest::newRow("tap") << QPoint(0, 0) << 0;
    QTest::newRow("jitter within the drag distance") << QPoint(1, 1) << 0;
    QTest::newRow("drag") << QPoint(30, 20) << 1;
}

void TestRouting::clickOnEmptySpotMovesNothing() {
    QFETCH(QPoint, moveBy);
    QFETCH(int, systemMoves);
    TestDlg dlg;
    int moves = 0;
    dlg.systemMove = [&moves] {
        ++moves;
        return true;
    };
    dlg.create = [&](TestDlg& d) { d.Add(0, std::make_unique<ProbeControl>(&d, 1, kA)); };
    QVERIFY(Open(dlg));
    const QPoint start = dlg.pos();
    const QPoint at(300, 200);
    Move(dlg, at);
    Press(dlg, at);
    if (!moveBy.isNull()) QTest::mouseMove(dlg.windowHandle(), at + moveBy);
    Release(dlg, at + moveBy);
    QCOMPARE(moves, systemMoves);
    QCOMPARE(dlg.pos(), start);
    // A later move with no button held moves nothing either.
    Move(dlg, at + QPoint(40, 40));
    QCOMPARE(moves, systemMoves);
    QCOMPARE(dlg.pos(), start);
}

void TestRouting::controlDeletedByItsOwnNotification() {
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) { d.Add(2, std::make_unique<ProbeControl>(&d, 9, kA)); };
    dlg.onMessage = [](TestDlg& d, const Msg& m) {
        if (m.msg == 9 && m.l == kNotifyClick) d.DeleteControl(d.FindControl(9));
    };
    QVERIFY(Open(dlg));
    Click(dlg, Centre(kA));
    QCOMPARE(dlg.FindControl(9), nullptr);
    QCOMPARE(dlg.HotControl(), nullptr);
    QCOMPARE(dlg.PressedControl(), nullptr);
    Move(dlg, Centre(kA) + QPoint(2, 2)); // nothing left to route to
    QCOMPARE(dlg.HotControl(), nullptr);
}

void TestRouting::messageTableRows() {
    TestDlg dlg;
    std::vector<int> seen;
    dlg.Messages().Add(1000, 1009, [&](int msg, WParam, LParam) -> LResult {
        seen.push_back(msg);
        return 1;
    });
    dlg.Messages().Add(1005,
                       [&](int, WParam, LParam) -> LResult { return 99; }); // shadowed by the range above
    dlg.Messages().Add(2000, 2000,
                       [&](int, WParam w, LParam l) -> LResult { return static_cast<LResult>(w) + l; });
    QCOMPARE(dlg.SendMessage(1000), LResult(1));
    QCOMPARE(dlg.SendMessage(1005), LResult(1));
    QCOMPARE(dlg.SendMessage(1009), LResult(1));
    QCOMPARE(dlg.SendMessage(1010), LResult(0));
    QCOMPARE(dlg.SendMessage(2000, 40, 2), LResult(42));
    QCOMPARE(seen, (std::vector<int>{1000, 1005, 1009}));
}

void TestRouting::postMessageIsQueued() {
    TestDlg dlg;
    int calls = 0;
    dlg.Messages().Add(1067, [&](int, WParam, LParam) -> LResult { return ++calls; });
    dlg.PostMessage(1067);
    QCOMPARE(calls, 0);
    QTRY_COMPARE(calls, 1);
}

void TestRouting::standardCloseIds_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("closes");
    QTest::newRow("close 2004") << 2004 << true;
    QTest::newRow("cancel 2011") << 2011 << true;
    QTest::newRow("confirm 2010") << 2010 << false;
}

void TestRouting::standardCloseIds() {
    QFETCH(int, id);
    QFETCH(bool, closes);
    ProbeControl* button = nullptr;
    TestDlg dlg;
    dlg.UseStandardCloseIds();
    dlg.create = [&](TestDlg& d) { button = d.Add(0, std::make_unique<ProbeControl>(&d, id, kA)); };
    QVERIFY(Open(dlg));
    Click(dlg, Centre(kA));
    QCOMPARE(dlg.isVisible(), !closes);
    QCOMPARE(button->imageReleases, closes ? 1 : 0);
    if (closes) QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void TestRouting::findControlSearchesGroupsInOrder() {
    TestDlg dlg;
    ProbeControl *late = nullptr, *early = nullptr;
    dlg.create = [&](TestDlg& d) {
        late = d.Add(4, std::make_unique<ProbeControl>(&d, 3400, kA));
        early = d.Add(1, std::make_unique<ProbeControl>(&d, 3400, kB));
    };
    dlg.InitDialog();
    QCOMPARE(dlg.FindControl(3400), early);
    QCOMPARE(dlg.FindControl(3188), nullptr);
    dlg.ReleaseControlImages();
    QCOMPARE(late->imageReleases + early->imageReleases, 2);
}

class TimerDlg : public TestDlg {
public:
    std::vector<int> fired;
    int killAfter = -1;

protected:
    void OnTimer(int id) override {
        fired.push_back(id);
        if (static_cast<int>(fired.size()) == killAfter) KillTimer(id);
    }
};

void TestRouting::numberedTimers() {
    TimerDlg dlg;
    dlg.SetTimer(30, 100000);
    QVERIFY(dlg.IsTimerArmed(30));
    dlg.SetTimer(30, 1);                // setting an armed timer restarts it with the new time
    QTRY_VERIFY(dlg.fired.size() >= 2); // it repeats
    QCOMPARE(dlg.fired.front(), 30);
    dlg.KillTimer(30);
    QVERIFY(!dlg.IsTimerArmed(30));
    dlg.KillTimer(12345); // unknown ids are ignored

    TimerDlg once;
    once.killAfter = 1; // killed from its own handler
    once.SetTimer(70, 1);
    QTRY_COMPARE(once.fired.size(), std::size_t(1));
    QVERIFY(!once.IsTimerArmed(70));
}

void TestRouting::popupSlots() {
    ProbeControl *a = nullptr, *b = nullptr;
    TestDlg dlg;
    dlg.create = [&](TestDlg& d) {
        a = d.Add(0, std::make_unique<ProbeControl>(&d, 1, kA));
        b = d.Add(0, std::make_unique<ProbeControl>(&d, 2, Rect{200, 20, 300, 80}));
    };
    QVERIFY(Open(dlg));
    auto* popup = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> watch(popup);
    popup->show();
    dlg.SetPopup(3, popup);
    QCOMPARE(dlg.Popup(3), popup);

    // a was pressed, the mouse is now over b: closing the pop-up deactivates a.
    Click(dlg, Centre(kA));
    Move(dlg, QPoint(250, 50));
    dlg.ClosePopup(3);
    QCOMPARE(dlg.Popup(3), nullptr);
    QCOMPARE(a->deactivations, 1);
    QCOMPARE(b->deactivations, 0);
    QCOMPARE(dlg.PressedControl(), nullptr);
    QTRY_VERIFY(watch.isNull()); // the close request arrived and the pop-up went

    // A pop-up that has already gone only empties its slot; empty slots and bad slots do nothing.
    auto* gone = new QWidget;
    dlg.SetPopup(4, gone);
    delete gone;
    QCOMPARE(dlg.Popup(4), nullptr);
    dlg.ClosePopup(4);
    dlg.ClosePopup(5);
    dlg.ClosePopup(-1);
    dlg.ClosePopup(11);
    QCOMPARE(dlg.Popup(11), nullptr);
}

QTEST_MAIN(TestRouting)
#include "tst_routing.moc"
