// The colour palette and DPI value dialogs and the device notices, driven by
// real mouse and key input.
#include <QLineEdit>
#include <QTest>

#include <memory>

#include "SkinTestSupport.h"
#include "device/ui/NoticeDialogs.h"
#include "skin/OpenDialogList.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"
#include "widgets/ColorPaletteDlg.h"
#include "widgets/DPIValueSettingDlg.h"
#include "widgets/DpiControls.h"

using namespace skintest;
using namespace tarvik;

namespace {

bool Show(QDialog& dlg) {
    dlg.show();
    if (!QTest::qWaitForWindowExposed(&dlg)) return false;
    QTest::mouseMove(dlg.windowHandle(), QPoint(dlg.width() - 1, dlg.height() - 1));
    return true;
}

void ClickAt(QDialog& dlg, QPoint p) {
    QTest::mouseMove(dlg.windowHandle(), p);
    QTest::mouseClick(dlg.windowHandle(), Qt::LeftButton, {}, p);
}

QPoint CentreOf(CDlgBase& dlg, int id) {
    return Centre(dlg.FindControl(id)->GetRect());
}

// Renders a dialog the way it paints itself.
QImage Shot(QWidget& w) {
    return w.grab().toImage();
}

// The DPI steps 5000, 10000, 20000.
const std::uint32_t kSteps[] = {100, 200, 400};

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void init() { SetUiScale(1.0); }

    void paletteEditsTheRightField_data();
    void paletteEditsTheRightField();
    void palettePicksDisplayedChartColours();
    void paletteBackgroundAndEdgeAreNotPicked();
    void paletteEnterConfirmsEscapeIsSwallowed();
    void paletteCloseLeavesTheField();
    void paletteEntersOpenDialogList();

    void stepIndexOf_data();
    void stepIndexOf();
    void typedValueAppliedWithReturn_data();
    void typedValueAppliedWithReturn();
    void confirmAppliesTheTypedValue();
    void arrowKeysMoveTheSliderFromTheEditBox();
    void singleStep();
    void labelsShowLowestAndHighestDpi();
    void dragThatLeavesTheSliderKeepsMoving();
    void closeKeepsTheShownValue();

    void resetDialogKeys();
    void resetDialogButtons_data();
    void resetDialogButtons();
    void attentionShowsEmptyHeadingAndMessage();
    void progressDialogClosesByItself();
    void progressDialogFollowsRealProgress();
};

// ---- colour palette -----------------------------------------------------------------------------

void TestDialogs::paletteEditsTheRightField_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("field"); // 0-7: DPI level; 100 + g * 10 + s: lighting slot; -1: none
    QTest::newRow("lighting 3/4") << 0 << 3 << 4 << 134;
    QTest::newRow("DPI level 5") << 1 << 5 << 0 << 5;
    QTest::newRow("DPI level 9 is level 0") << 1 << 9 << 7 << 0;
    QTest::newRow("DPI level -1 is level 0") << 1 << -1 << 0 << 0;
    QTest::newRow("lighting slot out of range") << 0 << 3 << 10 << -1;
}

void TestDialogs::paletteEditsTheRightField() {
    QFETCH(int, mode);
    QFETCH(int, group);
    QFETCH(int, slot);
    QFETCH(int, field);
    ProfileRecord record;
    for (int i = 0; i < kDpiLevels; ++i)
        record.DPILevelIndication[static_cast<std::size_t>(i)] = 0x10000u + i;
    for (int g = 0; g < kEffects; ++g)
        for (int s = 0; s < kColourSlots; ++s)
            record.Lighting1FixedColor[static_cast<std::size_t>(g)][static_cast<std::size_t>(s)] =
                0x20000u + g * 10 + s;
    CColorPaletteDlg dlg(&record, mode, group, slot);
    Colour* expected = nullptr;
    if (field >= 100)
        expected = &record.Lighting1FixedColor[static_cast<std::size_t>((field - 100) / 10)]
                                              [static_cast<std::size_t>(field % 10)];
    else if (field >= 0)
        expected = &record.DPILevelIndication[static_cast<std::size_t>(field)];
    QCOMPARE(dlg.Field(), expected);
    QCOMPARE(dlg.CurrentColour(), expected ? *expected : Colour(0));
}

void TestDialogs::palettePicksDisplayedChartColours() {
    ProfileRecord record;
    record.DPILevelIndication[2] = Rgb(1, 2, 3);
    CColorPaletteDlg dlg(&record, 1, 2, 0);
    QVERIFY(Show(dlg));
    QCOMPARE(static_cast<CStaticText*>(dlg.FindControl(2011))->GetText(), QStringLiteral("1"));
    const QImage before = Shot(dlg);
    // A point in area A and one in area B.
    for (QPoint p : {QPoint(100, 100), QPoint(260, 40)}) {
        const QColor shown = before.pixelColor(p);
        QVERIFY(FromQColor(shown) != 0x0F0F0F);
        ClickAt(dlg, p);
        QCOMPARE(dlg.CurrentColour(), FromQColor(shown));
        QCOMPARE(static_cast<CStaticText*>(dlg.FindControl(2011))->GetText(), QString::number(shown.red()));
        QCOMPARE(static_cast<CStaticText*>(dlg.FindControl(2012))->GetText(), QString::number(shown.green()));
        QCOMPARE(static_cast<CStaticText*>(dlg.FindControl(2013))->GetText(), QString::number(shown.blue()));
        // The swatch shows it.
        QCOMPARE(Shot(dlg).pixelColor(Centre(CColorPaletteDlg::SwatchRect())), shown);
    }
    QCOMPARE(record.DPILevelIndication[2], Rgb(1, 2, 3)); // not before confirming
}

void TestDialogs::paletteBackgroundAndEdgeAreNotPicked() {
    ProfileRecord record;
    record.DPILevelIndication[0] = Rgb(9, 8, 7);
    CColorPaletteDlg dlg(&record, 1, 0, 0);
    QVERIFY(Show(dlg));
    const QImage img = Shot(dlg);
    // A chart pixel of the dark background (15, 15, 15) inside area B.
    const Rect b = CColorPaletteDlg::PickAreaB();
    QPoint dark(-1, -1);
    for (int y = b.top; y < b.bottom && dark.x() < 0; ++y)
        for (int x = b.left; x < b.right; ++x)
            if (FromQColor(img.pixelColor(x, y)) == 0x0F0F0F) {
                dark = QPoint(x, y);
                break;
            }
    QVERIFY2(dark.x() >= 0, "the chart has background pixels between its swatches");
    ClickAt(dlg, dark);
    QCOMPARE(dlg.CurrentColour(), Rgb(9, 8, 7));
    // x = 222 lies right of area A (and left of B).
    ClickAt(dlg, QPoint(222, 100));
    QCOMPARE(dlg.CurrentColour(), Rgb(9, 8, 7));
    QCOMPARE(static_cast<CStaticText*>(dlg.FindControl(2011))->GetText(), QStringLiteral("9"));
}

void TestDialogs::paletteEnterConfirmsEscapeIsSwallowed() {
    ProfileRecord record;
    CColorPaletteDlg dlg(&record, 0, 2, 3);
    QVERIFY(Show(dlg));
    const QColor shown = Shot(dlg).pixelColor(100, 200);
    ClickAt(dlg, QPoint(100, 200));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
    QCOMPARE(record.Lighting1FixedColor[2][3], Colour(0));
    QTest::keyClick(&dlg, Qt::Key_Return);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(record.Lighting1FixedColor[2][3], FromQColor(shown));
}

void TestDialogs::paletteCloseLeavesTheField() {
    ProfileRecord record;
    record.Lighting1FixedColor[0][0] = Rgb(4, 5, 6);
    CColorPaletteDlg dlg(&record, 0, 0, 0);
    QVERIFY(Show(dlg));
    ClickAt(dlg, QPoint(100, 100));
    QVERIFY(dlg.CurrentColour() != Rgb(4, 5, 6));
    ClickAt(dlg, CentreOf(dlg, CDlgBase::kIdClose));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(record.Lighting1FixedColor[0][0], Rgb(4, 5, 6));
    // OK stores it.
    CColorPaletteDlg again(&record, 0, 0, 0);
    QVERIFY(Show(again));
    ClickAt(again, QPoint(100, 100));
    const Colour picked = again.CurrentColour();
    ClickAt(again, CentreOf(again, CDlgBase::kIdConfirm));
    QCOMPARE(again.result(), int(QDialog::Accepted));
    QCOMPARE(record.Lighting1FixedColor[0][0], picked);
}

void TestDialogs::paletteEntersOpenDialogList() {
    ClearOpenDialogs();
    ProfileRecord record;
    {
        auto dlg = std::make_unique<CColorPaletteDlg>(&record, 1, 0, 0);
        QVERIFY(Show(*dlg));
        QCOMPARE(OpenDialogList()[0].data(), dlg.get());
        CloseOpenDialogs(); // the exit paths close it like a cancel
        QVERIFY(!dlg->isVisible());
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
    }
    QVERIFY(OpenDialogList()[0].isNull());
}

// ---- DPI value dialog ---------------------------------------------------------------------------------

void TestDialogs::stepIndexOf_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::newRow("12000 -> 20000") << "12000" << 2;
    QTest::newRow("99999 -> last") << "99999" << 2;
    QTest::newRow("exact 10000") << "10000" << 1;
    QTest::newRow("between selects the higher") << "5001" << 1;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("negative") << "-5000" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("leading blanks, trailing letters") << "  12000dpi" << 2;
    QTest::newRow("huge") << "99999999999999999999" << 2;
    QTest::newRow("empty") << "" << 0;
}

void TestDialogs::stepIndexOf() {
    QFETCH(QString, text);
    QFETCH(int, index);
    TestDlg host;
    CDPIValueShowControl shown(&host, 3300, Rect{0, 0, 7, 132}, QString(), 3);
    CDPIValueSettingDlg dlg(&shown, 3, kSteps);
    QCOMPARE(dlg.StepIndexOf(text), index);
}

void TestDialogs::typedValueAppliedWithReturn_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("shown");
    QTest::newRow("12000") << "12000" << 2 << "20000";
    QTest::newRow("99999") << "99999" << 2 << "20000";
    QTest::newRow("letters") << "xyz" << 0 << "5000";
}

void TestDialogs::typedValueAppliedWithReturn() {
    QFETCH(QString, typed);
    QFETCH(int, index);
    QFETCH(QString, shown);
    TestDlg host;
    CDPIValueShowControl display(&host, 3300, Rect{0, 0, 7, 132}, QString(), 3);
    display.SetValue(1);
    CDPIValueSettingDlg dlg(&display, 3, kSteps);
    QVERIFY(Show(dlg));
    QLineEdit* edit = dlg.EditBox();
    QCOMPARE(edit->text(), QStringLiteral("10000"));
    QTRY_VERIFY(edit->hasFocus());
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QVERIFY(dlg.isVisible()); // Return applies; the dialog stays open
    QCOMPARE(dlg.Index(), index);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(dlg.Slider()->CurrentStop(), index);
    QCOMPARE(display.Value(), 1); // only confirming hands the index back
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
}

void TestDialogs::confirmAppliesTheTypedValue() {
    TestDlg host;
    CDPIValueShowControl display(&host, 3300, Rect{0, 0, 7, 132}, QString(), 3);
    CDPIValueSettingDlg dlg(&display, 3, kSteps);
    QVERIFY(Show(dlg));
    dlg.EditBox()->selectAll();
    QTest::keyClicks(dlg.EditBox(), QStringLiteral("12000"));
    QCOMPARE(dlg.Slider()->CurrentStop(), 0); // the slider has not moved
    ClickAt(dlg, CentreOf(dlg, CDlgBase::kIdConfirm));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(display.Value(), 2);
}

void TestDialogs::arrowKeysMoveTheSliderFromTheEditBox() {
    TestDlg host;
    CDPIValueShowControl display(&host, 3300, Rect{0, 0, 7, 132}, QString(), 3);
    CDPIValueSettingDlg dlg(&display, 3, kSteps);
    QVERIFY(Show(dlg));
    QLineEdit* edit = dlg.EditBox();
    edit->setCursorPosition(2);
    QTest::keyClick(edit, Qt::Key_Left); // at stop 0: swallowed
    QCOMPARE(dlg.Slider()->CurrentStop(), 0);
    QCOMPARE(edit->text(), QStringLiteral("5000"));
    QTest::keyClick(edit, Qt::Key_Right);
    QCOMPARE(dlg.Slider()->CurrentStop(), 1);
    QCOMPARE(edit->text(), QStringLiteral("10000"));
    QTest::keyClick(edit, Qt::Key_Right);
    QTest::keyClick(edit, Qt::Key_Right); // at the last stop: swallowed
    QCOMPARE(dlg.Slider()->CurrentStop(), 2);
    QCOMPARE(dlg.Index(), 2);
    QCOMPARE(edit->text(), QStringLiteral("20000"));
    QTest::keyClick(edit, Qt::Key_Left);
    QCOMPARE(dlg.Index(), 1);
    QVERIFY(edit->hasFocus());
}

void TestDialogs::singleStep() {
    TestDlg host;
    CDPIValueShowControl display(&host, 3300, Rect{0, 0, 7, 132}, QString(), 1);
    CDPIValueSettingDlg dlg(&display, 1, kSteps);
    QVERIFY(Show(dlg));
    QCOMPARE(dlg.Slider()->StopCount(), 1);
    QTest::keyClick(dlg.EditBox(), Qt::Key_Right);
    QTest::keyClick(dlg.EditBox(), Qt::Key_Left);
    QCOMPARE(dlg.Index(), 0);
    QCOMPARE(dlg.EditBox()->text(), QStringLiteral("5000"));
    for (const char* typed : {"99999", "5000", "1"}) {
        dlg.EditBox()->selectAll();
        QTest::keyClicks(dlg.EditBox(), QString::fromLatin1(typed));
        QTest::keyClick(dlg.EditBox(), Qt::Key_Return);
        QCOMPARE(dlg.Index(), 0);
    }
    // A step count of 0 is treated as one step.
    CDPIValueSettingDlg none(&display, 0, kSteps);
    QCOMPARE(none.StepCount(), 1);
    QCOMPARE(none.StepIndexOf(QStringLiteral("20000")), 0);
}

void TestDialogs::labelsShowLowestAndHighestDpi() {
    TestDlg host;
    CDPIValueShowControl display(&host, 3300, Rect{0, 0, 7, 132}, QString(), 3);
    CDPIValueSettingDlg dlg(&display, 3, kSteps);
    dlg.InitDialog();
    QStringList texts;
    for (const auto& c : dlg.Group(0))
        if (c->Id() == CDPIValueSettingDlg::kIdText) texts << c->GetText();
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts[1], QStringLiteral("5000"));
    QCOMPARE(texts[2], QStringLiteral("20000"));
}

void TestDialogs::dragThatLeavesTheSliderKeepsMoving() {
    TestDlg host;
    CDPIValueShowControl display(&host, 3300, Rect{0, 0, 7, 132}, QString(), 3);
    CDPIValueSettingDlg dlg(&display, 3, kSteps);
    QVERIFY(Show(dlg));
    const Rect thumb = dlg.Slider()->ThumbRect();
    const QPoint grab = Centre(thumb);
    QTest::mouseMove(dlg.windowHandle(), grab);
    QTest::mousePress(dlg.windowHandle(), Qt::LeftButton, {}, grab);
    QVERIFY(dlg.Slider()->IsDragging());
    QTest::mouseMove(dlg.windowHandle(), QPoint(420, 120)); // far right, below the slider
    QCOMPARE(dlg.Slider()->CurrentStop(), 2);
    QCOMPARE(dlg.EditBox()->text(), QStringLiteral("20000"));
    QTest::mouseRelease(dlg.windowHandle(), Qt::LeftButton, {}, QPoint(420, 120));
    QCOMPARE(dlg.Index(), 2);
}

void TestDialogs::closeKeepsTheShownValue() {
    TestDlg host;
    CDPIValueShowControl display(&host, 3300, Rect{0, 0, 7, 132}, QString(), 3);
    display.SetValue(1);
    CDPIValueSettingDlg dlg(&display, 3, kSteps);
    QVERIFY(Show(dlg));
    QTest::keyClick(dlg.EditBox(), Qt::Key_Right);
    ClickAt(dlg, CentreOf(dlg, CDlgBase::kIdClose));
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(display.Value(), 1);
}

// ---- notices ----------------------------------------------------------------------------------------

void TestDialogs::resetDialogKeys() {
    CFirmwareResetDlg dlg;
    QVERIFY(Show(dlg));
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
    QTest::keyClick(&dlg, Qt::Key_Return);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TestDialogs::resetDialogButtons_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << 2010 << int(QDialog::Accepted);
    QTest::newRow("cancel") << 2011 << int(QDialog::Rejected);
    QTest::newRow("close") << 2004 << int(QDialog::Rejected);
}

void TestDialogs::resetDialogButtons() {
    QFETCH(int, id);
    QFETCH(int, result);
    CFirmwareResetDlg dlg;
    QVERIFY(Show(dlg));
    ClickAt(dlg, CentreOf(dlg, id));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), result);
}

void TestDialogs::attentionShowsEmptyHeadingAndMessage() {
    CAttentionDlg dlg(QStringLiteral("not shown"), QStringLiteral("The mouse is not connected."));
    QVERIFY(Show(dlg));
    QCOMPARE(dlg.FindControl(CAttentionDlg::kIdHeading)->GetText(), QString());
    QCOMPARE(dlg.FindControl(CAttentionDlg::kIdMessage)->GetText(),
             QStringLiteral("The mouse is not connected."));
    ClickAt(dlg, CentreOf(dlg, CDlgBase::kIdConfirm));
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TestDialogs::progressDialogClosesByItself() {
    CProgressBarDlg dlg(QStringLiteral("Please wait"));
    std::vector<int> seen;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { seen.push_back(dlg.Progress()); });
    probe.start(5);
    QVERIFY(Show(dlg));
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 10000);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.Progress(), 100);
    // The bar grows in steps of 2 on the window's own thread.
    QVERIFY(!seen.empty());
    for (int p : seen) QVERIFY(p % 2 == 0 && p >= 0 && p <= 100);
    QCOMPARE(dlg.BandWidth(), 429);
}

void TestDialogs::progressDialogFollowsRealProgress() {
    CProgressBarDlg dlg(QStringLiteral("Please wait"));
    dlg.FollowProgress(0);
    QVERIFY(Show(dlg));
    // Nothing done yet: the bar does not move on its own.
    QCOMPARE(dlg.Progress(), 0);
    QVERIFY(!dlg.IsTimerArmed(CProgressBarDlg::kTimerStep));
    dlg.FollowProgress(40);
    QTRY_COMPARE_WITH_TIMEOUT(dlg.Progress(), 40, 5000);
    // Caught up: it waits there, and an older, smaller value does not move it back.
    QVERIFY(!dlg.IsTimerArmed(CProgressBarDlg::kTimerStep));
    dlg.FollowProgress(25);
    QCOMPARE(dlg.ProgressLimit(), 40);
    QVERIFY(!dlg.IsTimerArmed(CProgressBarDlg::kTimerStep));
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.BandWidth(), 40 * 429 / 100);
    // The work is done: the bar fills and the dialog ends as it does by itself.
    dlg.FollowProgress(100);
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 10000);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.Progress(), 100);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
