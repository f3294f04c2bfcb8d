// The controls that are not buttons, driven by real mouse input through a
// skinned window: scroll bar, slider, level bar, battery, tabs and the two
// macro lists.
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "SkinTestSupport.h"
#include "macro/MacroLibrary.h"
#include "macro/ui/MacroRows.h"
#include "skin/ScrollBar.h"
#include "skin/ShowLists.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"

using namespace skintest;
using namespace tarvik;

namespace {

// A plain window with a scroll bar or a slider: it adds nothing to the routing,
// so a drag that leaves the control goes on only because the window gives the
// pressed control every move.
class DragDlg : public TestDlg {
public:
    CVScrollBar* bar = nullptr;
    CSliderControl* slider = nullptr;
};

inline void MoveHeld(QWidget& w, QPoint p) {
    QTest::mouseMove(w.windowHandle(), p);
}

// Arrow strips of three 12 x 10 frames.
QImage Strip() {
    QImage img(36, 10, QImage::Format_ARGB32);
    img.fill(QColor(90, 90, 90));
    return img;
}

// The scroll bar of the tests: 12 x 120 at (100, 20); its track runs from 30 to 130 (101 pixels).
const Rect kBar{100, 20, 112, 140};

std::vector<Msg> Only(const std::vector<Msg>& all, int id) {
    std::vector<Msg> out;
    for (const Msg& m : all)
        if (m.msg == id) out.push_back(m);
    return out;
}

bool Contains(const std::vector<Msg>& all, const Msg& m) {
    return std::find(all.begin(), all.end(), m) != all.end();
}

// A small tree: Games (open) > [Shooter (open) > [Reload], Strategy], Office, Copy.
void FillLibrary(MacroLibrary& lib) {
    MacroLocation games, shooter, strategy;
    lib.AddChild(MacroLocation::None(), u"Games", true, &games);
    lib.NodeAt(games)->FolderIsOpen = true;
    lib.AddChild(games, u"Shooter", true, &shooter);
    lib.NodeAt(shooter)->FolderIsOpen = true;
    lib.AddChild(shooter, u"Reload", false, nullptr);
    lib.AddChild(games, u"Strategy", true, &strategy);
    lib.AddChild(MacroLocation::None(), u"Office", true, nullptr);
    lib.AddChild(MacroLocation::None(), u"Copy", false, nullptr);
}

} // namespace

class TestLists : public QObject {
    Q_OBJECT

private slots:
    void init() { SetUiScale(1.0); }
    void cleanup() { SetUiScale(1.0); }

    void scrollThumbGeometry_data();
    void scrollThumbGeometry();
    void scrollTotalZeroShowsWholeTrack();
    void scrollPressReportsThePart_data();
    void scrollPressReportsThePart();
    void scrollDragAboveTheTrackSendsZeroOnce();
    void scrollReleaseOutsideWithoutDragSendsNothingButSnaps();

    void sliderStops();
    void sliderReleaseSelectsNearestStop_data();
    void sliderReleaseSelectsNearestStop();
    void sliderDragReportsStopsAndContinuesOutside();

    void levelBarValuesAndFill();
    void levelBarDragReportsValues();

    void tabClickSetsPageAndSubPage_data();
    void tabClickSetsPageAndSubPage();
    void tabPictureIndex();

    void treeListSelectsTogglesAndReports();
    void treeListRowsAfterScrolling();
    void ensureVisible_data();
    void ensureVisible();
    void stepListSelectsAndShowsStepTexts();
};

// ---- scroll bar ------------------------------------------------------------------------------

void TestLists::scrollThumbGeometry_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");
    QTest::newRow("top") << 0 << 10 << 100 << 30 << 39;
    QTest::newRow("position 90 at the bottom") << 90 << 10 << 100 << 121 << 130;
    QTest::newRow("page larger than total") << 0 << 300 << 100 << 30 << 130;
    QTest::newRow("middle, rounded") << 33 << 25 << 100 << 63 << 87;
}

void TestLists::scrollThumbGeometry() {
    QFETCH(int, position);
    QFETCH(int, page);
    QFETCH(int, total);
    QFETCH(int, top);
    QFETCH(int, bottom);
    TestDlg dlg;
    CVScrollBar bar(&dlg, 2016, kBar);
    bar.SetArrows(Strip(), Strip());
    QCOMPARE(bar.TrackRect(), (Rect{100, 30, 112, 130}));
    bar.SetScrollInfo(position, page, total);
    QCOMPARE(bar.ThumbRect().top, top);
    QCOMPARE(bar.ThumbRect().bottom, bottom);
}

void TestLists::scrollTotalZeroShowsWholeTrack() {
    TestDlg dlg;
    CVScrollBar bar(&dlg, 2016, kBar);
    bar.SetArrows(Strip(), Strip());
    bar.SetScrollInfo(5, 10, 100);
    bar.SetScrollInfo(3, 3, 0);
    QCOMPARE(bar.ThumbRect(), bar.TrackRect());
    QCOMPARE(bar.Position(), 5); // the model is kept
}

void TestLists::scrollPressReportsThePart_data() {
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("part");
    QTest::newRow("top arrow") << 22 << 6;
    QTest::newRow("bottom arrow") << 136 << 7;
    QTest::newRow("thumb") << 85 << 0;
    QTest::newRow("track above") << 40 << 8;
    QTest::newRow("track below") << 120 << 9;
}

void TestLists::scrollPressReportsThePart() {
    QFETCH(int, y);
    QFETCH(int, part);
    TestDlg dlg;
    CVScrollBar* bar = nullptr;
    dlg.create = [&](TestDlg& d) {
        bar = d.Add(0, std::make_unique<CVScrollBar>(&d, 2016, kBar));
        bar->SetArrows(Strip(), Strip());
        bar->SetScrollInfo(50, 10, 100); // thumb 81-90
    };
    QVERIFY(Open(dlg));
    Move(dlg, QPoint(106, y));
    dlg.messages.clear();
    Press(dlg, QPoint(106, y));
    QCOMPARE(Describe(dlg.messages), Describe({{2016, static_cast<WParam>(part), 1}}));
    QCOMPARE(bar->IsDragging(), part == 0);
    Release(dlg, QPoint(106, y));
    QCOMPARE(Describe(dlg.messages), Describe({{2016, static_cast<WParam>(part), 1}, {2016, 0, 2}}));
}

void TestLists::scrollDragAboveTheTrackSendsZeroOnce() {
    DragDlg dlg;
    dlg.create = [&](TestDlg& d) {
        dlg.bar = d.Add(0, std::make_unique<CVScrollBar>(&d, 2016, kBar));
        dlg.bar->SetArrows(Strip(), Strip());
        dlg.bar->SetScrollInfo(50, 10, 100);
    };
    std::vector<int> positions;
    dlg.onMessage = [&](TestDlg&, const Msg& m) {
        if (m.msg == 2016 && m.l == 3) positions.push_back(dlg.bar->Position());
    };
    QVERIFY(Open(dlg));
    Move(dlg, QPoint(106, 85));
    Press(dlg, QPoint(106, 85)); // grabbed 4 pixels below the thumb's top
    MoveHeld(dlg, QPoint(106, 60));
    QCOMPARE(positions, std::vector<int>({25})); // (56 - 30) * 100 / 101
    MoveHeld(dlg, QPoint(106, 5));               // above the bar: clamped to its top
    MoveHeld(dlg, QPoint(110, 2));
    MoveHeld(dlg, QPoint(120, 1));
    QCOMPARE(positions, std::vector<int>({25, 0}));
    QCOMPARE(dlg.bar->DragRect().top, 30);
    dlg.messages.clear();
    Release(dlg, QPoint(300, 5)); // outside after a drag: the release is reported
    QCOMPARE(Describe(Only(dlg.messages, 2016)), Describe({{2016, 0, 2}}));
    QVERIFY(!dlg.bar->IsDragging());
    QCOMPARE(dlg.bar->ThumbRect().top, 30);
}

void TestLists::scrollReleaseOutsideWithoutDragSendsNothingButSnaps() {
    TestDlg dlg;
    CVScrollBar* bar = nullptr;
    dlg.create = [&](TestDlg& d) {
        bar = d.Add(0, std::make_unique<CVScrollBar>(&d, 2016, kBar));
        bar->SetArrows(Strip(), Strip());
        bar->SetScrollInfo(50, 10, 100);
    };
    QVERIFY(Open(dlg));
    Move(dlg, QPoint(106, 40));
    Press(dlg, QPoint(106, 40)); // the track above the thumb
    // The window scrolls by a page without telling the bar where its thumb goes.
    bar->SetScrollInfo(40, 10, 100);
    dlg.messages.clear();
    Release(dlg, QPoint(300, 200));
    QVERIFY(Only(dlg.messages, 2016).empty());
    QCOMPARE(bar->ThumbRect().top, 30 + 40); // placed from the stored position
    QCOMPARE(bar->MouseState(), 0);
}

// ---- slider ---------------------------------------------------------------------------------------

// N = 5 over a usable width of 100: left margin 6, right margin 7.
const Rect kSlider{50, 100, 163, 113};

void TestLists::sliderStops() {
    TestDlg dlg;
    CSliderControl s(&dlg, 2021, kSlider, QString(), 5, 6, 7);
    QCOMPARE(s.UsableWidth(), 100);
    QCOMPARE(s.Stops(), std::vector<int>({56, 81, 106, 131, 156}));
    s.SetStop(3);
    QCOMPARE(s.ThumbRect(), (Rect{125, 100, 138, 113}));
    s.SetStop(99); // clamped
    QCOMPARE(s.CurrentStop(), 4);
    CSliderControl none(&dlg, 2021, kSlider, QString(), 0, 6, 7);
    QCOMPARE(none.NearestStop(80), 0);
}

void TestLists::sliderReleaseSelectsNearestStop_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("stop");
    QTest::newRow("11 right of stop 0") << 67 << 0;
    QTest::newRow("12 right: the midpoint belongs to stop 1") << 68 << 1;
    QTest::newRow("left edge") << 50 << 0;
    QTest::newRow("between 2 and 3") << 119 << 3;
    QTest::newRow("right edge") << 162 << 4;
}

void TestLists::sliderReleaseSelectsNearestStop() {
    QFETCH(int, x);
    QFETCH(int, stop);
    TestDlg dlg;
    CSliderControl* s = nullptr;
    dlg.create = [&](TestDlg& d) {
        s = d.Add(0, std::make_unique<CSliderControl>(&d, 2021, kSlider, QString(), 5, 6, 7));
        s->SetStop(2);
    };
    QVERIFY(Open(dlg));
    dlg.messages.clear();
    Click(dlg, QPoint(x, 106));
    QCOMPARE(s->CurrentStop(), stop);
    QCOMPARE(s->LastSentStop(), stop);
    QCOMPARE(Describe(Only(dlg.messages, 2021)), Describe({{2021, 0, 1}, {2021, 0, 2}}));
}

void TestLists::sliderDragReportsStopsAndContinuesOutside() {
    DragDlg dlg;
    dlg.create = [&](TestDlg& d) {
        dlg.slider = d.Add(0, std::make_unique<CSliderControl>(&d, 2021, kSlider, QString(), 5, 6, 7));
    };
    QVERIFY(Open(dlg));
    Move(dlg, QPoint(56, 106));
    Press(dlg, QPoint(56, 106)); // on the thumb at stop 0
    QVERIFY(dlg.slider->IsDragging());
    dlg.messages.clear();
    MoveHeld(dlg, QPoint(90, 106));
    MoveHeld(dlg, QPoint(91, 106));
    // Every move reports the stop, also when it did not change.
    const std::vector<Msg> drags = Only(dlg.messages, 2021);
    QCOMPARE(drags.size(), std::size_t(2));
    for (const Msg& m : drags) QCOMPARE(m, (Msg{2021, 1, 3}));
    MoveHeld(dlg, QPoint(350, 250)); // far outside: clamped to the right end
    QCOMPARE(dlg.slider->CurrentStop(), 4);
    QCOMPARE(dlg.slider->ThumbRect().left, 156 - 6);
    Release(dlg, QPoint(350, 250));
    QVERIFY(!dlg.slider->IsDragging());
    QCOMPARE(dlg.slider->CurrentStop(), 4);
}

// ---- level bars ---------------------------------------------------------------------------------

void TestLists::levelBarValuesAndFill() {
    TestDlg dlg;
    CVerticalSliderControl bar(&dlg, 3310, Rect{20, 20, 30, 220}, QString(), 100);
    QCOMPARE(bar.ValueFromY(20), 99);
    QCOMPARE(bar.ValueFromY(0), 99);
    QCOMPARE(bar.ValueFromY(220), 0);
    QCOMPARE(bar.ValueFromY(219), 0);
    QCOMPARE(bar.ValueFromY(120), 49);
    bar.SetValue(99);
    QCOMPARE(bar.FillTop(), 20); // the whole bar
    bar.SetValue(0);
    QCOMPARE(bar.FillTop(), 218);
    bar.SetMaximum(0);
    QCOMPARE(bar.FillTop(), 220); // nothing, and no division by zero
    QCOMPARE(bar.ValueFromY(20), 0);
}

void TestLists::levelBarDragReportsValues() {
    TestDlg dlg;
    CVerticalSliderControl* bar = nullptr;
    dlg.create = [&](TestDlg& d) {
        bar = d.Add(
            0, std::make_unique<CVerticalSliderControl>(&d, 3310, Rect{20, 20, 30, 220}, QString(), 100));
    };
    QVERIFY(Open(dlg));
    Move(dlg, QPoint(25, 20));
    dlg.messages.clear();
    Press(dlg, QPoint(25, 20));
    QCOMPARE(bar->Value(), 99);
    MoveHeld(dlg, QPoint(25, 120));
    MoveHeld(dlg, QPoint(300, 260)); // below and beside the bar: the bottom value
    Release(dlg, QPoint(300, 260));  // outside: no click
    QCOMPARE(Describe(Only(dlg.messages, 3310)), Describe({{3310, 0, 1}, {3310, 49, 3}, {3310, 0, 3}}));
    QCOMPARE(bar->Value(), 0);
}

// ---- tabs ------------------------------------------------------------------------------------------

void TestLists::tabClickSetsPageAndSubPage_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("subPage");
    QTest::newRow("3008 -> sub-page 8") << 3008 << 0 << 8;
    QTest::newRow("3002 -> sub-page 1") << 3002 << 0 << 1;
    QTest::newRow("2052 -> page 3") << 2052 << 3 << 0;
    QTest::newRow("other ids leave both") << 3005 << 0 << 0;
}

void TestLists::tabClickSetsPageAndSubPage() {
    QFETCH(int, id);
    QFETCH(int, page);
    QFETCH(int, subPage);
    TestDlg dlg;
    ConfigureProgramIds(dlg);
    dlg.create = [&](TestDlg& d) {
        d.Add(0, std::make_unique<CTabControl>(&d, id, Rect{10, 10, 110, 35}, QStringLiteral("tab"), 0));
    };
    QVERIFY(Open(dlg));
    dlg.messages.clear();
    Click(dlg, QPoint(50, 20));
    QCOMPARE(dlg.Pages().Page(), page);
    QCOMPARE(dlg.Pages().SubPage(), subPage);
    QCOMPARE(Describe(Only(dlg.messages, id)), Describe({{id, 0, 1}, {id, 0, 2}}));
    dlg.messages.clear();
    RightClick(dlg, QPoint(50, 20));
    QCOMPARE(Describe(Only(dlg.messages, id)), Describe({{id, static_cast<WParam>(id), 11}}));
}

void TestLists::tabPictureIndex() {
    TestDlg dlg;
    ConfigureProgramIds(dlg);
    CTabControl page2(&dlg, 2051, Rect{0, 0, 100, 25}, QString(), 0);
    CTabControl sub7(&dlg, 3007, Rect{0, 0, 100, 25}, QString(), 0);
    QCOMPARE(page2.PictureIndex(), 0);
    dlg.Pages().ShowPage(2);
    QCOMPARE(page2.PictureIndex(), 2);
    page2.OnMouseMove(0, 5, 5);
    QCOMPARE(page2.PictureIndex(), 3);
    dlg.Pages().ShowSubPage(7);
    QCOMPARE(sub7.PictureIndex(), 2);
    sub7.OnMouseMove(0, 5, 5);
    QCOMPARE(sub7.PictureIndex(), 2);
}

// ---- macro lists --------------------------------------------------------------------------------------

void TestLists::treeListSelectsTogglesAndReports() {
    MacroLibrary lib;
    FillLibrary(lib);
    std::vector<int> published;
    MacroTreeRows rows(lib, [&](int row) { published.push_back(row); });
    QCOMPARE(rows.RowCount(), 6);
    TestDlg dlg;
    CEditShowList* list = nullptr;
    dlg.create = [&](TestDlg& d) {
        list = d.Add(0, std::make_unique<CEditShowList>(&d, Rect{10, 10, 210, 170}));
        list->LoadImages(); // 16 x 16 folder icons
        list->SetRows(&rows);
    };
    QVERIFY(Open(dlg));
    QCOMPARE(list->VisibleCount(), 8);

    // A press on a row's text selects it and publishes it.
    Click(dlg, QPoint(150, 10 + 2 * 20 + 5));
    QCOMPARE(list->Selected(), 2);
    QCOMPARE(published.back(), 2);
    QCOMPARE(rows.RowAt(2).name, QStringLiteral("Reload"));
    QCOMPARE(Describe(Only(dlg.messages, 2015)), Describe({{2015, 0, 2}})); // no press report

    // A press on the indent or icon of "Shooter" (depth 1: x - left < 32) closes it.
    Click(dlg, QPoint(10 + 20, 10 + 1 * 20 + 5));
    QCOMPARE(rows.RowCount(), 5);
    QVERIFY(!rows.RowAt(1).open);
    // The same press further right only selects.
    Click(dlg, QPoint(10 + 40, 10 + 1 * 20 + 5));
    QCOMPARE(rows.RowCount(), 5);

    // Below the last row: nothing selected.
    Click(dlg, QPoint(150, 10 + 7 * 20 + 5));
    QCOMPARE(list->Selected(), -1);
    QCOMPARE(published.back(), -1);

    // A double click inverts the row's open flag and reports 10.
    dlg.messages.clear();
    DoubleClick(dlg, QPoint(150, 10 + 5));
    QVERIFY(!rows.RowAt(0).open);
    QCOMPARE(rows.RowCount(), 3);
    QVERIFY(Contains(Only(dlg.messages, 2015), Msg{2015, 0, 10}));

    // A right release selects the row under the pointer and passes the point.
    QPoint reported;
    dlg.onMessage = [&](TestDlg&, const Msg& m) {
        if (m.msg == 2015 && m.l == 11) reported = *reinterpret_cast<const QPoint*>(m.w);
    };
    RightClick(dlg, QPoint(120, 10 + 2 * 20 + 3));
    QCOMPARE(list->Selected(), 2);
    QCOMPARE(reported, QPoint(120, 53));
}

void TestLists::treeListRowsAfterScrolling() {
    MacroLibrary lib;
    FillLibrary(lib);
    MacroTreeRows rows(lib);
    TestDlg dlg;
    CEditShowList* list = nullptr;
    dlg.create = [&](TestDlg& d) {
        list = d.Add(0, std::make_unique<CEditShowList>(&d, Rect{10, 10, 210, 50})); // two rows
        list->SetRows(&rows);
    };
    QVERIFY(Open(dlg));
    list->SetFirst(4);
    Click(dlg, QPoint(150, 15));
    QCOMPARE(list->Selected(), 4);
    Click(dlg, QPoint(150, 35));
    QCOMPARE(list->Selected(), 5);
    // Screen row 1 is now data row 6, past the end: nothing is selected.
    list->SetFirst(5);
    Click(dlg, QPoint(150, 35));
    QCOMPARE(list->Selected(), -1);
}

void TestLists::ensureVisible_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("expected");
    // Four visible rows.
    QTest::newRow("nothing selected, all fit") << 3 << 2 << -1 << 0;
    QTest::newRow("selection below the window") << 10 << 0 << 7 << 4;
    QTest::newRow("selection above does not scroll") << 10 << 5 << 1 << 5;
    QTest::newRow("window past the end pulls back") << 6 << 4 << 5 << 2;
    QTest::newRow("never below 0") << 2 << 1 << 0 << 0;
}

void TestLists::ensureVisible() {
    QFETCH(int, rows);
    QFETCH(int, first);
    QFETCH(int, selected);
    QFETCH(int, expected);
    struct Steps : StepRows {
        int n = 0;
        int StepCount() const override { return n; }
        Row StepAt(int) const override { return {}; }
    } steps;
    steps.n = rows;
    TestDlg dlg;
    CImageShowList list(&dlg, Rect{0, 0, 100, 80});
    QCOMPARE(list.VisibleCount(), 4);
    list.SetSteps(&steps);
    list.SetFirst(first);
    list.SetSelected(selected);
    list.EnsureVisible();
    QCOMPARE(list.First(), expected);
}

void TestLists::stepListSelectsAndShowsStepTexts() {
    MacroKey macro;
    const MacroAction steps[] = {MacroAction::Press(0x41), MacroAction::Delay(70000),
                                 MacroAction::Release(0x41), MacroAction::Move(0xE5, -3),
                                 MacroAction::Move(0xE7, 2)};
    for (std::size_t i = 0; i < std::size(steps); ++i) macro.SetAction(i, steps[i]);
    macro.MacroActionNum = 5;
    MacroStepRows rows(&macro);
    QCOMPARE(rows.StepAt(0).text, QStringLiteral("A"));
    QCOMPARE(rows.StepAt(1).text, QStringLiteral("70000ms"));
    QVERIFY(rows.StepAt(1).icon == StepRows::Icon::Time);
    QVERIFY(rows.StepAt(2).icon == StepRows::Icon::Up);
    QCOMPARE(rows.StepAt(3).text, QStringLiteral("Move Left 3"));
    QCOMPARE(rows.StepAt(4).text, QStringLiteral("Wheel Down 2"));

    TestDlg dlg;
    CImageShowList* list = nullptr;
    dlg.create = [&](TestDlg& d) {
        list = d.Add(0, std::make_unique<CImageShowList>(&d, Rect{10, 10, 210, 70}));
        list->SetSteps(&rows);
    };
    QVERIFY(Open(dlg));
    list->SetFirst(2);
    dlg.messages.clear();
    Click(dlg, QPoint(100, 10 + 20 + 5));
    QCOMPARE(list->Selected(), 3);
    QCOMPARE(Describe(Only(dlg.messages, 2020)), Describe({{2020, 0, 2}}));
    Click(dlg, QPoint(100, 10 + 2 * 20 + 5)); // data row 4, the last step
    QCOMPARE(list->Selected(), 4);
    list->SetFirst(3);
    Click(dlg, QPoint(100, 10 + 2 * 20 + 5)); // past the end: the selection stays
    QCOMPARE(list->Selected(), 4);
    rows.SetMacro(nullptr);
    Click(dlg, QPoint(100, 15));
    QCOMPARE(list->Selected(), 4); // no macro: presses are ignored
    dlg.messages.clear();
    DoubleClick(dlg, QPoint(100, 15));
    QVERIFY(Contains(Only(dlg.messages, 2020), Msg{2020, 0, 10}));
}

QTEST_MAIN(TestLists)
#include "tst_lists.moc"
