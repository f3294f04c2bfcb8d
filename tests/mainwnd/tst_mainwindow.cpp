// The main window on the in-process virtual mouse, driven with real mouse and
// key events through the skin's routing: start-up layout, the panels, sends and
// the delayed save, the DPI level checks, the lighting rows, the profile
// operations, the factory reset, the on-screen display, the keyboard filter,
// the start-up notice and the end without a device. The session's timers run on
// the harness's virtual scheduler.
#include <QFontMetrics>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>

#include "MainWindowHarness.h"
#include "app/AppOptions.h"
#include "app/ShutdownSignals.h"
#include "device/Protocol.h"
#include "device/ui/NoticeDialogs.h"
#include "emulator/SocketBackend.h"
#include "macro/ui/FunctionPopups.h"
#include "macro/ui/MacroManagerDlg.h"
#include "macro/ui/MacroSelectDlg.h"
#include "macro/ui/ShortcutDlg.h"
#include "mainwnd/MainLayout.h"
#include "mainwnd/ProfileNameDlg.h"
#include "model/ProfileSlots.h"
#include "skin/CheckButton.h"
#include "skin/ComboButton.h"
#include "skin/RadioButton.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "widgets/Battery.h"
#include "widgets/DpiControls.h"
#include "widgets/Popups.h"
#include "widgets/PowerManageButton.h"

Q_DECLARE_METATYPE(tarvik::mainwnd::PanelState)
Q_DECLARE_METATYPE(tarvik::SendGroups)

using namespace tarvik;
using namespace tarvik::mainwnd;
using namespace mainwndtest;
using skintest::Centre;

namespace {

constexpr int kWait = 10000; // safety net of every wait on an event

QString Artefact(const QString& name) {
    return QStringLiteral(TARVIK_TEST_ARTIFACTS "/") + name;
}

PanelState Open(std::initializer_list<Panel> panels) {
    PanelState s;
    for (Panel p : panels) s[p] = true;
    return s;
}

template <class T> T* Active(Harness& h) {
    return dynamic_cast<T*>(h.window->ActiveDialog());
}

// Clicks a skinned dialog's button through the window system.
void ClickButton(CDlgBase& dialog, int id) {
    CControlBase* c = dialog.FindControl(id);
    QVERIFY(c);
    skintest::Click(dialog, Centre(c->GetRect()));
}

QString MessageOf(QDialog* dialog) {
    auto* notice = dynamic_cast<CAttentionDlg*>(dialog);
    return notice ? notice->Message() : QString();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    // ---- layout rules -------------------------------------------------------------------

    void columnLayout_data() {
        QTest::addColumn<PanelState>("open");
        QTest::addColumn<bool>("sensorPage");
        QTest::addColumn<int>("polling");
        QTest::addColumn<int>("liftOff");
        QTest::addColumn<int>("pointer");
        QTest::newRow("start") << StartPanels() << false << 473 << -1 << 503;
        QTest::newRow("none open, lift-off page") << PanelState{} << true << 97 << 127 << 157;
        QTest::newRow("none open, no lift-off page") << PanelState{} << false << 97 << -1 << 127;
        QTest::newRow("polling and lift-off open")
            << Open({Panel::Polling, Panel::LiftOff}) << true << 97 << 307 << 422;
        QTest::newRow("lift-off open without its page") << Open({Panel::LiftOff}) << false << 97 << -1 << 127;
    }
    void columnLayout() {
        QFETCH(PanelState, open);
        QFETCH(bool, sensorPage);
        QFETCH(int, polling);
        QFETCH(int, liftOff);
        QFETCH(int, pointer);
        const auto places = ColumnLayout(open, sensorPage);
        auto at = [&](Panel p) { return places[static_cast<std::size_t>(p)]; };
        QCOMPARE(at(Panel::Dpi).headerTop, 37);
        QCOMPARE(at(Panel::Polling).headerTop, polling);
        QCOMPARE(at(Panel::LiftOff).shown, liftOff >= 0);
        if (liftOff >= 0) QCOMPARE(at(Panel::LiftOff).headerTop, liftOff);
        QCOMPARE(at(Panel::Pointer).headerTop, pointer);
    }

    void openingRules_data() {
        QTest::addColumn<PanelState>("before");
        QTest::addColumn<int>("opened");
        QTest::addColumn<PanelState>("after");
        QTest::newRow("pointer while DPI is open")
            << Open({Panel::Dpi, Panel::Lighting, Panel::Polling, Panel::LiftOff}) << int(Panel::Pointer)
            << Open({Panel::Dpi, Panel::Pointer});
        QTest::newRow("DPI while lighting is open") << Open({Panel::Lighting, Panel::Polling, Panel::Pointer})
                                                    << int(Panel::Dpi) << Open({Panel::Dpi, Panel::Lighting});
        QTest::newRow("polling with DPI and lighting open")
            << Open({Panel::Dpi, Panel::Lighting}) << int(Panel::Polling)
            << Open({Panel::Dpi, Panel::Polling});
        QTest::newRow("lift-off with only pointer open")
            << Open({Panel::Pointer}) << int(Panel::LiftOff) << Open({Panel::LiftOff, Panel::Pointer});
        QTest::newRow("lighting alone") << PanelState{} << int(Panel::Lighting) << Open({Panel::Lighting});
    }
    void openingRules() {
        QFETCH(PanelState, before);
        QFETCH(int, opened);
        QFETCH(PanelState, after);
        before[static_cast<Panel>(opened)] = true; // the header checked itself
        QCOMPARE(AfterOpening(static_cast<Panel>(opened), before), after);
    }

    // ---- start-up -------------------------------------------------------------------------

    void startupLayout_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("1") << 1.0;
        QTest::newRow("1.5") << 1.5;
    }
    void startupLayout() {
        QFETCH(double, scale);
        Harness h(scale);
        QVERIFY(h.Start());
        QCOMPARE(h.window->size(), QSize(Scaled(1127), Scaled(740)));
        QCOMPARE(h.window->Panels(), StartPanels());
        QCOMPARE(h.RectOf(kIdHeaderPolling).top, Scaled(473));
        QCOMPARE(h.RectOf(kIdHeaderDpi).top, Scaled(37));
        // Open panels show their controls, closed ones do not.
        QVERIFY(h.window->FindControl(kIdFirstLevelCheck)->IsShown());
        QVERIFY(h.window->FindControl(kIdLightingCombo)->IsShown());
        QVERIFY(!h.window->FindControl(kIdFirstRate)->IsShown());
        QVERIFY(!h.window->FindControl(kIdMouseSettings)->IsShown());
        // The controls show the current profile.
        const ProfileRecord& rec = h.Current();
        auto* combo = static_cast<CComboButton*>(h.window->FindControl(kIdFirstCombo));
        QCOMPARE(combo->DisplayText(), QString::fromStdU16String(rec.Keys[0].Name));
        QVERIFY(!combo->DisplayText().isEmpty());
        // One version: the label's text, then the program's own.
        auto* version = static_cast<CStaticText*>(h.window->FindControl(kIdVersion));
        QCOMPARE(version->GetText(),
                 QString::fromStdU16String(LanguageString(3)) + QStringLiteral(": ") + app::VersionNumber());
        // "Sleep when idle: 6 min", with its space.
        auto* power = static_cast<CStaticText*>(h.window->FindControl(kIdPowerLabel));
        QVERIFY2(power->GetText().contains(QRegularExpression(QStringLiteral(": \\d+ "))),
                 qPrintable(power->GetText()));
    }

    void screenshots_data() {
        QTest::addColumn<double>("scale");
        QTest::newRow("1") << 1.0;
        QTest::newRow("1.5") << 1.5;
        QTest::newRow("2") << 2.0;
    }
    void screenshots() {
        QFETCH(double, scale);
        Harness h(scale);
        QVERIFY(h.Start());
        const QImage shot = h.window->grab().toImage();
        QCOMPARE(shot.size(), QSize(Scaled(1127), Scaled(740)));
        QVERIFY(shot.save(Artefact(QStringLiteral("main-window-scale-%1.png").arg(scale))));
        // The pointer over the third combo marks button 3 on the mouse picture.
        skintest::Move(*h.window, Centre(h.RectOf(kIdFirstCombo + 2)));
        RUN_UNTIL_COMPARE(h, h.window->HighlightedButton(), 3);
        const QImage marked = h.window->grab().toImage();
        QVERIFY(marked.copy(ScaledRect(553, 251, 577, 275).ToQRect()) !=
                shot.copy(ScaledRect(553, 251, 577, 275).ToQRect()));
        QVERIFY(marked.save(Artefact(QStringLiteral("main-window-button3-scale-%1.png").arg(scale))));
    }

    // Every text the window shows fits its rectangle at every scale: the
    // labels, values and captions of all panels, and the DPI values.
    void noTextIsCut_data() {
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("english");
        for (const bool english : {true, false})
            for (const double scale : {1.0, 1.5, 2.0})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(english ? "en" : "zh").arg(scale)))
                    << scale << english;
    }
    void noTextIsCut() {
        QFETCH(double, scale);
        QFETCH(bool, english);
        Harness h(scale, [english](const QString& config) { SelectLanguage(config, english); });
        QVERIFY(h.Start());
        // The widest values: brightness "100%", speed 5, the 10000 DPI level.
        h.Current().Lighting1Mode[0] = 3;
        h.Current().Lighting1Brightness[3] = 3;
        h.window->RefreshFromProfile();
        QStringList cut;
        for (int g = 0; g < CDlgBase::kGroupCount; ++g) {
            for (const auto& c : h.window->Group(g)) {
                QString text;
                if (auto* label = dynamic_cast<CStaticText*>(c.get())) text = label->GetText();
                if (auto* level = dynamic_cast<CDPIRadioButton*>(c.get()))
                    text = QString::number(level->Step() * 50);
                if (text.isEmpty()) continue;
                // As the text drawing decides whether to cut with an ellipsis.
                if (QFontMetrics(c->Font()).elidedText(text, Qt::ElideRight, c->GetRect().Width()) != text)
                    cut << QStringLiteral("%1 \"%2\"").arg(c->Id()).arg(text);
                // A text of the left part stays inside its frame (x 36-266, foot at 694).
                const Rect r = c->GetRect();
                if (r.left < Scaled(266) && r.bottom <= Scaled(700) &&
                    (r.right > Scaled(266) || r.bottom > Scaled(694)))
                    cut << QStringLiteral("%1 \"%2\" crosses its frame").arg(c->Id()).arg(text);
            }
        }
        // The polling rate's caption lies beside the rate tiles, not across them.
        for (int caption = kIdFirstRateCaption; caption < kIdFirstRateCaption + 4; ++caption)
            for (int rate = kIdFirstRate; rate < kIdFirstRate + 4; ++rate)
                if (h.RectOf(caption).Intersects(h.RectOf(rate)))
                    cut << QStringLiteral("caption %1 over rate %2").arg(caption).arg(rate);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(", "))));
    }

    // ---- title bar, session end ----------------------------------------------------------------

    // The close and minimise buttons, clicked through the pointer: without a
    // notification area (as here) both minimise the window, which stays.
    void titleButtonsMinimiseWithoutATray_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("close") << int(kIdWindowClose);
        QTest::newRow("minimise") << int(kIdWindowMinimise);
    }
    void titleButtonsMinimiseWithoutATray() {
        QFETCH(int, id);
        Harness h;
        QVERIFY(h.Start());
        QVERIFY(h.window->FindControl(id) != nullptr);
        h.ClickControl(id);
        QVERIFY(h.RunUntil([&] { return h.window->isMinimized(); }));
        QCOMPARE(h.endCode, -1);
        h.window->BringUp();
        QVERIFY(h.RunUntil([&] { return !h.window->isMinimized() && h.window->isVisible(); }));
    }

    // Every control a click reaches has a row in the window's message table
    // (a swapped or borrowed id gives a button that does nothing).
    void everyClickableControlIsHandled() {
        Harness h;
        QVERIFY(h.Start());
        QStringList unhandled;
        for (int g = 0; g < CDlgBase::kGroupCount; ++g) {
            for (const auto& c : h.window->Group(g)) {
                if (!c || !c->IsInteractive() || c->IsDisabled()) continue;
                // A combo reports through its combo message, the others through their id.
                const auto* combo = dynamic_cast<const CComboButton*>(c.get());
                const int msg = combo ? combo->ComboMessage() : c->Id();
                if (!h.window->HandlesMessage(msg)) unhandled << QString::number(c->Id());
            }
        }
        QVERIFY2(unhandled.isEmpty(), qPrintable(unhandled.join(QLatin1Char(' '))));
    }

    // The end of the session (the session manager's die reaches Qt as the
    // application's quit request): the window saves and the program ends,
    // although a close of the window only hides it.
    void sessionEndSavesAndEnds() {
        Harness h;
        QVERIFY(h.Start());
        app::EndWithSession(*qApp, [&h] { h.window->Exit(); });
        // The virtual clock stands still: the change's send and save wait.
        h.ClickControl(kIdHeaderPolling);
        h.ClickControl(kIdFirstRate + 2);
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(qApp, &quit);
        QCOMPARE(h.endCode, 0);
        h.session->Shutdown(); // what main() does when the event loop has ended
        QCOMPARE(ReadProfile(h.SlotFile(h.Model().GetCurrentProfile())).PollingRate[0], std::uint8_t(2));
    }

    // ---- sending and saving ------------------------------------------------------------------

    // A click while a send runs and its progress dialog is up reaches its
    // control and is sent: the dialog takes no input.
    void clickDuringASendReachesItsControl() {
        Harness h;
        QVERIFY(h.Start());
        h.ClickControl(kIdHeaderPolling);
        h.ClickControl(kIdFirstRate + 2); // 500 Hz
        QVERIFY(h.RunUntil(
            [&] { return h.window->ProgressDialog() && h.window->ProgressDialog()->isVisible(); }));
        const std::uint8_t before = h.Current().DPIOffOnFlag;
        h.ClickControl(kIdFirstLevelCheck + 1);
        QVERIFY(h.window->ProgressDialog() != nullptr); // still up: the click came during the send
        const std::uint8_t after = h.Current().DPIOffOnFlag;
        QCOMPARE(after, std::uint8_t(before & ~0x02));
        QVERIFY(h.RunUntil(
            [&] { return h.mouse->Snapshot().dpiPage && (*h.mouse->Snapshot().dpiPage)[1] == after; }));
        QCOMPARE(h.mouse->Snapshot().polling, std::optional<std::uint8_t>(2));
    }

    void pollingClickSendsOneReportAndSaves() {
        Harness h;
        QVERIFY(h.Start());
        h.ClickControl(kIdHeaderPolling);
        QCOMPARE(h.window->Panels(), Open({Panel::Dpi, Panel::Polling}));
        QVERIFY(h.window->FindControl(kIdFirstRate + 2)->IsShown());
        h.ClickControl(kIdFirstRate + 2); // 500 Hz
        RUN_UNTIL_COMPARE(h, h.mouse->Snapshot().polling, std::optional<std::uint8_t>(2));
        QCOMPARE(h.writes.Count(0x07), 1);
        QCOMPARE(h.Current().PollingRateName, std::u16string(u"500HZ"));
        // Saved once the delayed save has run.
        RUN_UNTIL_COMPARE(h, ReadProfile(h.SlotFile(h.Model().GetCurrentProfile())).PollingRate[0], 2);
        QCOMPARE(h.writes.Count(0x07), 1);
    }

    // The end comes before the change's send (and so before its delayed save):
    // the change is written all the same.
    void changeBeforeItsSendIsSavedAtTheEnd() {
        Harness h;
        QVERIFY(h.Start());
        // The virtual clock stands still: the send waits.
        h.ClickControl(kIdHeaderPolling);
        h.ClickControl(kIdFirstRate + 2);
        QCOMPARE(h.writes.Count(0x07), 0);
        h.session->Shutdown();
        QCOMPARE(ReadProfile(h.SlotFile(h.Model().GetCurrentProfile())).PollingRate[0], std::uint8_t(2));
    }

    // A change that waits for its send is still sent when the mouse reports a
    // level change before the send runs.
    void waitingChangeSurvivesLevelReport() {
        Harness h;
        QVERIFY(h.Start());
        const std::uint8_t before = h.Current().DPIOffOnFlag;
        h.ClickControl(kIdFirstLevelCheck + 4);
        const std::uint8_t after = h.Current().DPIOffOnFlag;
        QCOMPARE(after, std::uint8_t(before & ~0x10));
        QVERIFY(h.mouse->PressDpiButton());
        // The report comes on the reader thread while the send still waits (the
        // virtual clock stands still until RunUntil).
        QVERIFY(QTest::qWaitFor([&] { return h.window->Osd().Dialog() != nullptr; }, kWait));
        QVERIFY(h.scheduler.Armed(Task::SendChanges));
        QVERIFY(h.RunUntil([&] { return h.mouse->Snapshot().dpiPage.has_value(); }));
        QCOMPARE((*h.mouse->Snapshot().dpiPage)[1], after);
    }

    // ---- DPI levels ------------------------------------------------------------------------

    void levelCheckRules_data() {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("ordinal");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("nowChecked");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("ordinalAfter");
        QTest::newRow("only enabled level") << 0x04 << 0 << 2 << false << true << 0;
        QTest::newRow("off: the current one") << 0x1F << 2 << 2 << false << false << 1;
        QTest::newRow("off: the current one at 0") << 0x1F << 0 << 0 << false << false << 0;
        QTest::newRow("off: below the current one") << 0x1F << 3 << 1 << false << false << 2;
        QTest::newRow("off: above the current one") << 0x1F << 1 << 4 << false << false << 1;
        QTest::newRow("on: below the current one") << 0x1C << 1 << 0 << true << false << 2;
        QTest::newRow("on: above the current one") << 0x03 << 1 << 4 << true << false << 1;
        QTest::newRow("ordinal beyond the levels") << 0x03 << 5 << 0 << false << false << 5;
    }
    void levelCheckRules() {
        QFETCH(int, mask);
        QFETCH(int, ordinal);
        QFETCH(int, level);
        QFETCH(bool, nowChecked);
        QFETCH(bool, refused);
        QFETCH(int, ordinalAfter);
        const LevelCheckOutcome r =
            AfterLevelCheck(static_cast<std::uint8_t>(mask), ordinal, level, nowChecked);
        QCOMPARE(r.refused, refused);
        QCOMPARE(r.ordinal, ordinalAfter);
    }

    void levelChecksThroughTheWindow() {
        Harness h;
        QVERIFY(h.Start());
        // Levels 0-4 and 6 enabled, the third enabled level current.
        h.Current().DPIOffOnFlag = 0x5F;
        h.Current().CurrentDPILevel = 2;
        h.window->RefreshFromProfile();
        h.ClickControl(kIdFirstLevelCheck + 1);
        QCOMPARE(h.Current().DPIOffOnFlag, std::uint8_t(0x5D)); // level 6 keeps its bit
        QCOMPARE(h.Current().CurrentDPILevel, std::uint8_t(1));
        QVERIFY(h.RunUntil([&] { return h.writes.Count(0x05) == 1; }));

        // The only enabled level cannot be switched off.
        h.Current().DPIOffOnFlag = 0x08;
        h.Current().CurrentDPILevel = 0;
        h.window->RefreshFromProfile();
        h.ClickControl(kIdFirstLevelCheck + 3);
        auto* check = static_cast<CCheckButton*>(h.window->FindControl(kIdFirstLevelCheck + 3));
        QVERIFY(check->IsChecked());
        QCOMPARE(h.Current().DPIOffOnFlag, std::uint8_t(0x08));
        QVERIFY(!h.window->Device().SendRequested(SendGroup::MainSettings));
    }

    // A change made in the window makes one request, for exactly the groups it
    // touched, and the model's notification repaints it: the model listener,
    // which would request every group a settings change can touch, leaves the
    // send to the handler.
    void oneChangeRequestsItsGroups_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<SendGroups>("groups");
        QTest::newRow("power-down dial") << int{kIdPowerDial} << SendGroups(SendGroup::PowerOptions);
        QTest::newRow("lighting on move") << int{kIdLightOnMove} << SendGroups(SendGroup::PowerOptions);
        QTest::newRow("motion wake-up") << int{kIdMotionWakeup} << SendGroups(SendGroup::MotionWakeup);
        QTest::newRow("lift-off low") << int{kIdLiftLow} << SendGroups(SendGroup::MainSettings);
    }
    void oneChangeRequestsItsGroups() {
        QFETCH(int, id);
        QFETCH(SendGroups, groups);
        Harness h;
        QVERIFY(h.Start());
        DeviceController& device = h.window->Device();
        const auto requested = [&] {
            SendGroups r;
            for (const SendGroup g : {SendGroup::Buttons, SendGroup::MainSettings, SendGroup::PowerOptions,
                                      SendGroup::MotionWakeup})
                if (device.SendRequested(g)) r |= g;
            return r;
        };
        // The start's own send has taken its requests.
        QTRY_VERIFY_WITH_TIMEOUT(requested().Empty(), kWait);
        if (id == kIdPowerDial) {
            static_cast<CPowerManageButton*>(h.window->FindControl(id))->SetValue(9);
        } else if (id != kIdLiftLow) {
            auto* box = static_cast<CCheckButton*>(h.window->FindControl(id));
            box->SetChecked(!box->IsChecked());
        }
        const ProfileRecord before = h.Current();
        h.window->SendMessage(id, 0, kNotifyClick);
        QVERIFY(!(h.Current() == before));
        QCOMPARE(requested(), groups);
        if (id == kIdPowerDial) {
            auto* power = static_cast<CStaticText*>(h.window->FindControl(kIdPowerLabel));
            QVERIFY2(power->GetText().contains(QStringLiteral(" 9")), qPrintable(power->GetText()));
        }
    }

    // ---- lighting ------------------------------------------------------------------------------

    void lightingRows_data() {
        QTest::addColumn<int>("effect");
        QTest::addColumn<bool>("speed");
        QTest::addColumn<bool>("brightness");
        QTest::addColumn<int>("colours");
        QTest::addColumn<bool>("direction");
        QTest::newRow("0") << 0 << false << false << 0 << false;
        QTest::newRow("1") << 1 << true << false << 0 << true;
        QTest::newRow("2") << 2 << true << false << 7 << false;
        QTest::newRow("3") << 3 << false << true << 1 << false;
        QTest::newRow("4") << 4 << true << false << 0 << false;
        QTest::newRow("5") << 5 << true << false << 0 << false;
        QTest::newRow("6") << 6 << false << false << 8 << false;
        QTest::newRow("7") << 7 << true << false << 2 << false;
        QTest::newRow("8") << 8 << true << false << 0 << false;
        QTest::newRow("9") << 9 << true << false << 0 << false;
    }
    void lightingRows() {
        QFETCH(int, effect);
        QFETCH(bool, speed);
        QFETCH(bool, brightness);
        QFETCH(int, colours);
        QFETCH(bool, direction);
        Harness h;
        QVERIFY(h.Start());
        // The effect with its name, as the lighting pop-up stores them.
        static constexpr int kNames[] = {109, 100, 101, 102, 103, 110, 105, 106, 107, 108};
        h.Current().Lighting1Mode[0] = static_cast<std::uint8_t>(effect);
        h.Current().Lighting1Name = LanguageString(kNames[effect]);
        h.window->RefreshFromProfile(ModelChange::Lighting);
        auto shown = [&](int id) { return h.window->FindControl(id)->IsShown(); };
        QCOMPARE(shown(kIdSpeedSlider), speed);
        QCOMPARE(shown(kIdSpeedValue), speed);
        QCOMPARE(shown(kIdBrightnessSlider), brightness);
        QCOMPARE(shown(kIdColoursLabel), colours > 0);
        int count = 0;
        for (int i = 0; i < 8; ++i) count += shown(kIdFirstColourSlot + i) ? 1 : 0;
        QCOMPARE(count, colours);
        QCOMPARE(shown(kIdDirectionUp), direction);
        QVERIFY(h.window->grab().toImage().save(
            Artefact(QStringLiteral("main-window-lighting-%1.png").arg(effect))));
    }

    // The effect chosen from the lighting pop-up is stored and sent; deselecting
    // the last colour of the static effect is refused with its notice.
    void lightingEffectAndColourSlots() {
        Harness h;
        QVERIFY(h.Start());
        h.ClickControl(kIdLightingCombo);
        auto* list = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotLighting));
        QVERIFY(list);
        QVERIFY(QTest::qWaitForWindowExposed(list));
        ClickItem(*list, 3); // the static effect
        QCOMPARE(h.Current().Lighting1Mode[0], std::uint8_t(3));
        QCOMPARE(h.Current().Lighting1Name, LanguageString(102));
        QVERIFY(h.RunUntil([&] { return h.writes.Count(0x08) == 1; }));
        QVERIFY(h.window->FindControl(kIdBrightnessSlider)->IsShown());

        h.Current().Lighting1ColorSelected[3][0] = 1;
        h.window->RefreshFromProfile(ModelChange::Lighting);
        // The send's progress dialog holds the window until it has closed.
        QVERIFY(h.RunUntil([&] { return h.window->ProgressDialog() == nullptr; }));
        h.ClickControl(kIdFirstColourSlot);
        RUN_UNTIL_COMPARE(h, MessageOf(h.window->ActiveDialog()),
                          QString::fromStdU16String(LanguageString(153)));
        QCOMPARE(h.Current().Lighting1ColorSelected[3][0], std::uint8_t(1));
    }

    // ---- profiles ------------------------------------------------------------------------------------

    void selectProfileFromTheList() {
        Harness h;
        QVERIFY(h.Start());
        SettingsModel& m = h.Model();
        const int second = m.GetShowList(1);
        m.Profiles[second].PollingRate = {1, 0, 0}; // 250 Hz: the selection sends it
        h.ClickControl(kIdProfileButton);
        auto* list = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileList));
        QVERIFY(list);
        QVERIFY(QTest::qWaitForWindowExposed(list));
        ClickItem(*list, 3); // show position 1
        QCOMPARE(m.GetCurrentProfile(), second);
        QVERIFY(h.window->Popup(CTarvikDlg::kSlotProfileList) == nullptr);
        RUN_UNTIL_COMPARE(h, h.mouse->Snapshot().polling, std::optional<std::uint8_t>(4));
        auto* combo = static_cast<CComboButton*>(h.window->FindControl(kIdFirstCombo));
        QCOMPARE(combo->DisplayText(), QString::fromStdU16String(h.Current().Keys[0].Name));
    }

    void addProfileRefusesAnEmptyName() {
        Harness h;
        QVERIFY(h.Start());
        SettingsModel& m = h.Model();
        m.SetShowCount(3);
        h.ClickControl(kIdProfileButton);
        auto* list = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileList));
        QVERIFY(list);
        QVERIFY(QTest::qWaitForWindowExposed(list));
        ClickItem(*list, 7); // the add entry
        QVERIFY(h.RunUntil([&] { return Active<CAddProfileDlg>(h) != nullptr; }));
        CAddProfileDlg* dialog = Active<CAddProfileDlg>(h);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        ClickButton(*dialog, CDlgBase::kIdConfirm);
        QVERIFY(h.RunUntil([&] { return dialog->OpenNotice() != nullptr; }));
        QCOMPARE(static_cast<CAttentionDlg*>(dialog->OpenNotice())->Message(),
                 QString::fromStdU16String(LanguageString(147)));
        QVERIFY(dialog->isVisible());
        dialog->OpenNotice()->accept();
        QVERIFY(h.RunUntil([&] { return dialog->OpenNotice() == nullptr; }));
        QTest::keyClicks(dialog->EditBox(), QStringLiteral("Racing"));
        QTest::keyClick(dialog->EditBox(), Qt::Key_Return);
        RUN_UNTIL_COMPARE(h, m.GetShowCount(), 4);
        QCOMPARE(m.Profiles[static_cast<std::size_t>(m.GetShowList(3))].Settings[kSetProfileName].Value,
                 std::u16string(u"Racing"));
        h.window->Saver().Drain(); // the save runs on the saver thread
        bool ok = false;
        QCOMPARE(ReadProfile(h.SlotFile(m.GetShowList(3)), &ok).Settings[kSetProfileName].Value,
                 std::u16string(u"Racing"));
        QVERIFY(ok);
    }

    // Rename and delete through the context menu of the profile list.
    void renameAndDeleteFromTheContextMenu() {
        Harness h;
        QVERIFY(h.Start());
        SettingsModel& m = h.Model();
        const int current = m.GetCurrentProfile();
        const int other = m.GetShowList(1);
        auto command = [&](int showPosition, int code) {
            h.ClickControl(kIdProfileButton);
            auto* list = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileList));
            QVERIFY(list);
            QVERIFY(QTest::qWaitForWindowExposed(list));
            ClickItem(*list, showPosition + 2, Qt::RightButton);
            auto* menu = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileCommands));
            QVERIFY(menu);
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            ClickItem(*menu, code + 1);
        };

        command(1, 2); // rename
        QVERIFY(h.RunUntil([&] { return Active<CEditProfileDlg>(h) != nullptr; }));
        CEditProfileDlg* edit = Active<CEditProfileDlg>(h);
        QCOMPARE(edit->EditBox()->text(), QString::fromStdU16String(m.Profiles[other].Settings[0].Value));
        edit->EditBox()->setText(QStringLiteral("Office"));
        QTest::keyClick(edit->EditBox(), Qt::Key_Return);
        RUN_UNTIL_COMPARE(h, m.Profiles[other].Settings[0].Value, std::u16string(u"Office"));
        h.window->Saver().Drain();
        QCOMPARE(ReadProfile(h.SlotFile(other)).Settings[0].Value, std::u16string(u"Office"));

        const int count = m.GetShowCount();
        command(0, 3); // delete the current profile: refused
        RUN_UNTIL_COMPARE(h, MessageOf(h.window->ActiveDialog()),
                          QString::fromStdU16String(LanguageString(152)));
        QCOMPARE(m.GetShowCount(), count);
        h.window->ActiveDialog()->accept();
        QVERIFY(h.RunUntil([&] { return h.window->ActiveDialog() == nullptr; }));

        command(1, 3); // delete another one
        RUN_UNTIL_COMPARE(h, m.GetShowCount(), count - 1);
        QCOMPARE(m.GetShowList(4), other);
        QCOMPARE(m.GetCurrentProfile(), current);
    }

    void exportAndImport() {
        Harness h;
        QVERIFY(h.Start());
        SettingsModel& m = h.Model();
        const int from = m.GetShowList(0), to = m.GetShowList(1);
        m.Profiles[from].Settings[0].Value = u"Exported";
        m.Profiles[from].PollingRate = {1, 0, 0};
        auto run = [&](int code, int showPosition) {
            h.ClickControl(kIdProfileButton);
            auto* list = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileList));
            QVERIFY(list);
            QVERIFY(QTest::qWaitForWindowExposed(list));
            ClickItem(*list, showPosition + 2, Qt::RightButton);
            auto* menu = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileCommands));
            QVERIFY(menu);
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            const std::size_t asked = h.requests.size();
            ClickItem(*menu, code + 1);
            RUN_UNTIL_COMPARE(h, h.requests.size(), asked + 1);
        };

        // Export to a file that does not exist yet: a save dialog.
        h.chosenPath = h.dir.filePath(QStringLiteral("new-name.psf"));
        run(1, 0);
        QCOMPARE(h.requests.back().kind, FileRequest::Kind::Save);
        h.window->Saver().Drain(); // the export is written on the saver thread
        bool ok = false;
        QCOMPARE(ReadProfile(h.chosenPath, &ok).Settings[0].Value, std::u16string(u"Exported"));
        QVERIFY(ok);

        // Import it into another slot: an open dialog.
        run(0, 1);
        QCOMPARE(h.requests.back().kind, FileRequest::Kind::Open);
        QCOMPARE(m.Profiles[to].Settings[0].Value, std::u16string(u"Exported"));
        QCOMPARE(m.Profiles[to].PollingRate[0], std::uint8_t(1));
        h.window->Saver().Drain();
        QCOMPARE(ReadProfile(h.SlotFile(to)).Settings[0].Value, std::u16string(u"Exported"));

        // A file the model refuses is reported to the user.
        h.chosenPath = h.dir.filePath(QStringLiteral("damaged.psf"));
        QFile damaged(h.chosenPath);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("not a profile\n");
        damaged.close();
        run(0, 1);
        QVERIFY(h.RunUntil([&] {
            return MessageOf(h.window->ActiveDialog())
                .startsWith(QStringLiteral("The profile was not imported"));
        }));
    }

    // Profile operations save on the saver thread; an exit right after them
    // still leaves every file with the last state (nothing lost, no older copy last).
    void profileOperationsThenExitLeaveTheirFiles() {
        Harness h;
        QVERIFY(h.Start());
        SettingsModel& m = h.Model();
        const int count = m.GetShowCount();
        const int other = m.GetShowList(1);
        const int added = m.GetShowList(count);
        auto rename = [&](const QString& name) {
            h.ClickControl(kIdProfileButton);
            auto* list = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileList));
            QVERIFY(list);
            QVERIFY(QTest::qWaitForWindowExposed(list));
            ClickItem(*list, 3, Qt::RightButton); // show position 1
            auto* menu = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileCommands));
            QVERIFY(menu);
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            ClickItem(*menu, 3); // rename
            QVERIFY(h.RunUntil([&] { return Active<CEditProfileDlg>(h) != nullptr; }));
            Active<CEditProfileDlg>(h)->EditBox()->setText(name);
            QTest::keyClick(Active<CEditProfileDlg>(h)->EditBox(), Qt::Key_Return);
            RUN_UNTIL_COMPARE(h, m.Profiles[other].Settings[0].Value, name.toStdU16String());
        };
        rename(QStringLiteral("Office"));
        rename(QStringLiteral("Office 2"));
        h.ClickControl(kIdProfileButton);
        auto* list = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotProfileList));
        QVERIFY(list);
        QVERIFY(QTest::qWaitForWindowExposed(list));
        ClickItem(*list, 7); // add
        QVERIFY(h.RunUntil([&] { return Active<CAddProfileDlg>(h) != nullptr; }));
        Active<CAddProfileDlg>(h)->EditBox()->setText(QStringLiteral("Added"));
        QTest::keyClick(Active<CAddProfileDlg>(h)->EditBox(), Qt::Key_Return);
        RUN_UNTIL_COMPARE(h, m.GetShowCount(), count + 1);
        h.session->Shutdown(); // at once, the saves possibly still running

        QCOMPARE(ReadProfile(h.SlotFile(other)).Settings[0].Value, std::u16string(u"Office 2"));
        QCOMPARE(ReadProfile(h.SlotFile(added)).Settings[0].Value, std::u16string(u"Added"));
        SettingsModel reread(m.DataFolder());
        QVERIFY(reread.ReadSettingsFile(reread.SettingsPath()).ok());
        QCOMPARE(reread.GetShowCount(), count + 1);
        QCOMPARE(reread.GetShowList(count), added);
    }

    // A save that fails on the saver thread reaches the user as a notice.
    void failedSaveIsShown() {
        Harness h;
        QVERIFY(h.Start());
        SettingsModel& m = h.Model();
        const int other = m.GetShowList(1);
        // A folder where the slot's file was: no save can rename over it (also as root).
        QVERIFY(QFile::remove(h.SlotFile(other)));
        QVERIFY(QDir().mkdir(h.SlotFile(other)));
        const SlotResult r = RenameProfile(m, other, u"Office"); // as the rename dialog does
        QVERIFY(r.saved.ok());                                   // handed to the saver
        QVERIFY(h.RunUntil([&] {
            return MessageOf(h.window->ActiveDialog())
                .startsWith(QStringLiteral("The profiles could not be saved: "));
        }));
    }

    // ---- button functions ---------------------------------------------------------------------------

    // A DPI-lock resolution from the sub-menu of button 2, then the disabled
    // function on button 1, the only left button: put back, with its notice.
    void functionMenuAndLeftButtonRule() {
        Harness h;
        QVERIFY(h.Start());
        h.ClickControl(kIdFirstCombo + 1);
        auto* menu = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotFunctionMenu));
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        const int lock = menu->IndexOfValue(15);
        QVERIFY(lock >= 0);
        QTest::mouseMove(menu->windowHandle(), Centre(menu->Items()[static_cast<std::size_t>(lock)].rect));
        QVERIFY(h.RunUntil([&] { return h.window->Popup(CTarvikDlg::kSlotSubMenu) != nullptr; }));
        auto* sub = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotSubMenu));
        QVERIFY(QTest::qWaitForWindowExposed(sub));
        ClickItem(*sub, 7); // "800"
        QCOMPARE(h.Current().Keys[1].Action, (KeyAction{0x50, 0x07, 0x00}));
        QCOMPARE(h.Current().Keys[1].Name, LanguageString(36) + u"-800");
        QVERIFY(h.RunUntil([&] { return h.window->Popup(CTarvikDlg::kSlotFunctionMenu) == nullptr; }));
        QVERIFY(h.RunUntil([&] { return h.writes.Count(0x04) > 0; }));
        QVERIFY(h.RunUntil([&] { return h.window->ProgressDialog() == nullptr; }));

        const int writes = h.writes.Count(0x04);
        h.ClickControl(kIdFirstCombo);
        menu = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotFunctionMenu));
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        ClickItem(*menu, 16); // disabled
        QCOMPARE(h.Current().Keys[0].Action, (KeyAction{0x10, 0x01, 0x00}));
        RUN_UNTIL_COMPARE(h, MessageOf(h.window->ActiveDialog()),
                          QString::fromStdU16String(LanguageString(151)));
        auto* combo = static_cast<CComboButton*>(h.window->FindControl(kIdFirstCombo));
        QCOMPARE(combo->DisplayText(), QString::fromStdU16String(LanguageString(20)));
        QCOMPARE(h.writes.Count(0x04), writes);
        QVERIFY(!h.window->Device().SendRequested(SendGroup::Buttons));
    }

    // The library's macro "Combo" (A pressed for 120 ms, then 30 ms) chosen for
    // button 2 through the function menu and the selection dialog.
    static void ChooseComboForButton2(Harness& h, MacroLocation& at) {
        QVERIFY(h.data.library->AddChild(MacroLocation::None(), u"Combo", false, &at) ==
                MacroLibrary::AddResult::Added);
        MacroKey* macro = h.data.library->MacroAt(at);
        QVERIFY(macro);
        for (const MacroAction& step : {MacroAction::Press(0x41), MacroAction::Delay(120),
                                        MacroAction::Release(0x41), MacroAction::Delay(30)})
            QVERIFY(macro->InsertAction(macro->MacroActionNum, step));
        macro->MacroCommandActionNum = 2;
        QVERIFY(h.Start());
        h.ClickControl(kIdFirstCombo + 1);
        auto* menu = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotFunctionMenu));
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        ClickItem(*menu, 9); // macro
        QVERIFY(
            h.RunUntil([&] { return dynamic_cast<CMacroSelectDlg*>(h.window->ActiveDialog()) != nullptr; }));
        auto* select = static_cast<CMacroSelectDlg*>(h.window->ActiveDialog());
        QVERIFY(QTest::qWaitForWindowExposed(select));
        select->SelectNode(at);
        ClickButton(*select, CDlgBase::kIdConfirm);
    }

    // A macro of the library chosen for button 2 through the function menu and
    // the selection dialog reaches the virtual mouse: the button's action and
    // the macro's steps.
    void macroChosenThroughTheMenuReachesTheMouse() {
        Harness h;
        MacroLocation at;
        ChooseComboForButton2(h, at);
        if (QTest::currentTestFailed()) return;

        QCOMPARE(h.Current().Keys[1].Name, LanguageString(190) + u"Combo");
        QVERIFY(h.RunUntil([&] { return h.mouse->Snapshot().buttons[1].has_value(); }));
        // Macro 1, loop type 2 with count 1; A pressed for 120 ms, then 30 ms.
        QCOMPARE(*h.mouse->Snapshot().buttons[1], (std::array<std::uint8_t, 3>{0x90, 0x21, 0x01}));
        QVERIFY(h.RunUntil([&] { return h.mouse->Snapshot().macros.count(1) == 1; }));
        QCOMPARE(h.mouse->Snapshot().macros.at(1),
                 (std::vector<std::uint8_t>{0x30, 0x78, 0x04, 0xB0, 0x1E, 0x04}));
    }

    // After the macro manager closes, the window reads the library it wrote
    // and sends the buttons: the edited macro of button 2 reaches the mouse.
    void macroManagerEditReachesTheMouse() {
        Harness h;
        MacroLocation at;
        ChooseComboForButton2(h, at);
        if (QTest::currentTestFailed()) return;
        QVERIFY(h.RunUntil([&] { return h.mouse->Snapshot().macros.count(1) == 1; }));
        const std::vector<std::uint8_t> before = h.mouse->Snapshot().macros.at(1);
        // The send's progress dialog holds the window until the send is over.
        QVERIFY(h.RunUntil([&] { return h.window->ActiveDialog() == nullptr; }));

        h.ClickControl(mainwnd::kIdMacroManager);
        QVERIFY(
            h.RunUntil([&] { return dynamic_cast<CMacroManagerDlg*>(h.window->ActiveDialog()) != nullptr; }));
        auto* manager = static_cast<CMacroManagerDlg*>(h.window->ActiveDialog());
        QVERIFY(QTest::qWaitForWindowExposed(manager));
        // An edit the manager holds: B pressed and released after A.
        MacroKey* macro = h.data.library->MacroAt(at);
        QVERIFY(macro);
        for (const MacroAction& step : {MacroAction::Press(0x42), MacroAction::Delay(40),
                                        MacroAction::Release(0x42), MacroAction::Delay(40)})
            QVERIFY(macro->InsertAction(macro->MacroActionNum, step));
        macro->MacroCommandActionNum = 4;
        ClickButton(*manager, CDlgBase::kIdClose);
        QVERIFY(h.RunUntil([&] { return h.window->ActiveDialog() == nullptr; }));
        QVERIFY(h.RunUntil([&] { return h.mouse->Snapshot().macros.at(1).size() > before.size(); }));
        // The library file holds the edit the mouse got.
        MacroLibrary reread;
        QVERIFY(static_cast<bool>(LoadMainLibrary(reread, MacroLibraryPath(h.DataFolder()))));
        const MacroKey* saved = reread.MacroAt(FindByPath(reread, u"Combo"));
        QVERIFY(saved);
        QCOMPARE(saved->MacroActionNum, 8u);
    }

    // The tray's exit closes an open key dialog first and ends with 0.
    void exitClosesOpenDialogs() {
        Harness h;
        QVERIFY(h.Start());
        h.ClickControl(kIdFirstCombo + 2);
        auto* menu = dynamic_cast<CListPopup*>(h.window->Popup(CTarvikDlg::kSlotFunctionMenu));
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        ClickItem(*menu, 10); // shortcut
        QVERIFY(h.RunUntil([&] { return dynamic_cast<CShortcutDlg*>(h.window->ActiveDialog()) != nullptr; }));
        QPointer<QDialog> dialog = h.window->ActiveDialog();
        h.window->Exit();
        QCOMPARE(h.endCode, 0);
        QVERIFY(h.RunUntil([&] { return dialog.isNull() || !dialog->isVisible(); }));
    }

    // ---- lighting sliders, battery, pointer panel ------------------------------------------------

    // The label follows the drag at once; the send waits until the drag has ended.
    void sliderDragSendsAfterItEnded() {
        Harness h;
        QVERIFY(h.Start());
        auto* slider = static_cast<CSliderControl*>(h.window->FindControl(kIdSpeedSlider));
        auto* value = static_cast<CStaticText*>(h.window->FindControl(kIdSpeedValue));
        QVERIFY(slider->IsShown());
        const Rect thumb = slider->ThumbRect();
        const QPoint start = Centre(thumb);
        skintest::Move(*h.window, start);
        skintest::Press(*h.window, start);
        const int last = slider->Stops().back();
        QTest::mouseMove(h.window->windowHandle(), QPoint(last + Scaled(20), start.y()));
        QCOMPARE(value->GetText(), QString::number(kSpeedStops));
        QCOMPARE(h.Current().Lighting1Speed[1], std::uint8_t(kSpeedStops - 1));
        QVERIFY(!h.window->Device().SendRequested(SendGroup::MainSettings));
        const QPoint outside(last + Scaled(20), start.y() + Scaled(40));
        QTest::mouseMove(h.window->windowHandle(), outside);
        skintest::Release(*h.window, outside);
        QCOMPARE(h.writes.Count(0x08), 0);
        skintest::Move(*h.window, outside + QPoint(0, Scaled(5)));
        RUN_UNTIL_COMPARE(h, h.writes.Count(0x08), 1);
    }

    void batteryFromTheStatusPoll_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("charge");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("textShown");
        QTest::newRow("not charging") << 55 << 0 << QStringLiteral("55%") << true;
        QTest::newRow("charging") << 40 << 1 << QStringLiteral("40%") << false;
        QTest::newRow("full") << 30 << 2 << QStringLiteral("100%") << true;
    }
    void batteryFromTheStatusPoll() {
        QFETCH(int, level);
        QFETCH(int, charge);
        QFETCH(QString, text);
        QFETCH(bool, textShown);
        Harness h;
        h.mouse->SetBattery(static_cast<std::uint8_t>(level));
        h.mouse->SetChargeState(static_cast<std::uint8_t>(charge));
        QVERIFY(h.Start());
        auto* label = static_cast<CStaticText*>(h.window->FindControl(kIdBatteryText));
        auto* gauge = static_cast<CBattery*>(h.window->FindControl(kIdBattery));
        // The label starts empty: wait for the gauge to show the answer.
        RUN_UNTIL_COMPARE(h, gauge->Mode(), charge);
        RUN_UNTIL_COMPARE(h, label->GetText(), text);
        QCOMPARE(label->IsVisible(), textShown);
    }

    void mouseSettingsWithoutAProgram() {
        Harness h;
        QVERIFY(h.Start());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", h.dir.path().toLocal8Bit()); // no desktop's settings program there
        h.ClickControl(kIdHeaderPointer);
        QVERIFY(h.window->FindControl(kIdMouseSettings)->IsShown());
        h.ClickControl(kIdMouseSettings);
        qputenv("PATH", path);
        QVERIFY(h.RunUntil(
            [&] { return MessageOf(h.window->ActiveDialog()).contains(QStringLiteral("mouse settings")); }));
    }

    // ---- factory reset, on-screen display ---------------------------------------------------------------

    void factoryResetWithProgress() {
        Harness h;
        QVERIFY(h.Start());
        SettingsModel& m = h.Model();
        const int slot = m.GetCurrentProfile();
        const std::u16string name = h.Current().Settings[0].Value;
        h.Current().PollingRate = {0, 0, 0};
        h.Current().DPIOffOnFlag = 0x03;
        h.ClickControl(kIdFactoryReset);
        QVERIFY(h.RunUntil([&] { return Active<CFirmwareResetDlg>(h) != nullptr; }));
        CFirmwareResetDlg* confirm = Active<CFirmwareResetDlg>(h);
        QVERIFY(QTest::qWaitForWindowExposed(confirm));
        QTest::keyClick(confirm, Qt::Key_Return); // Enter is OK
        RUN_UNTIL_COMPARE(h, h.mouse->Snapshot().factoryResets, std::uint64_t(1));
        QVERIFY(h.RunUntil([&] { return h.window->ProgressDialog() != nullptr; }));
        // It closes by itself.
        QVERIFY(h.RunUntil([&] { return h.window->ProgressDialog() == nullptr; }));

        SettingsModel defaults(m.DataFolder());
        defaults.Ini = m.Ini;
        defaults.SensorId = m.SensorId;
        defaults.BuildDpiTables();
        defaults.ResetProfileToDefaults(slot);
        ProfileRecord expected = defaults.Profiles[slot];
        expected.Settings[0].Value = name;
        QCOMPARE(h.Current().DPIOffOnFlag, expected.DPIOffOnFlag);
        QVERIFY(h.Current() == expected);
        h.window->Saver().Drain();
        const ProfileRecord onDisk = ReadProfile(h.SlotFile(slot));
        QVERIFY(onDisk.Settings == expected.Settings);
        QCOMPARE(onDisk.DPIOffOnFlag, expected.DPIOffOnFlag);
        QCOMPARE(onDisk.PollingRate, expected.PollingRate);
        QVERIFY(onDisk.XYSetting == expected.XYSetting);
        // Nothing is sent for the defaults: the mouse holds them now.
        QCOMPARE(h.writes.Count(0x05), 0);
    }

    void onScreenDisplayAfterPressDpi() {
        Harness h;
        QVERIFY(h.Start());
        QVERIFY(h.mouse->PressDpiButton(2));
        QVERIFY(h.RunUntil([&] { return h.window->Osd().Dialog() != nullptr; }));
        COSDDialog* osd = h.window->Osd().Dialog();
        OsdTexts expected = MakeOsdTexts(h.Current(), 1, h.Model());
        QCOMPARE(osd->Title(), QString::fromStdString(expected.title));
        QCOMPARE(osd->Value(), QString::fromStdString(expected.value));
        QCOMPARE(osd->Rate(), QStringLiteral("1000Hz"));
        // A second report updates the display that is up and keeps it.
        QVERIFY(h.mouse->PressDpiButton(3));
        expected = MakeOsdTexts(h.Current(), 2, h.Model());
        // The report comes on the reader thread: waited for without moving the
        // clock, which would run the display's countdown and close it.
        const QString title = QString::fromStdString(expected.title);
        QVERIFY(
            QTest::qWaitFor([&] { return h.window->Osd().Dialog() != osd || osd->Title() == title; }, 10000));
        QCOMPARE(h.window->Osd().Dialog(), osd);
        QCOMPARE(osd->Title(), title);
        QCOMPARE(h.window->Osd().Countdown(), OsdDisplay::kCountdown);
        QCOMPARE(osd->Value(), QString::fromStdString(expected.value));
        // The DPI panel shows the new level in red.
        auto* button = static_cast<CDPIRadioButton*>(h.window->FindControl(kIdFirstLevelButton + 2));
        QCOMPARE(button->TextColour(), Rgb(255, 0, 0));
    }

    // ---- keyboard ---------------------------------------------------------------------------

    void keyboardFilter_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("notice");
        QTest::newRow("enter") << QStringLiteral("\n") << false;
        QTest::newRow("escape") << QStringLiteral("\x1b") << false;
        QTest::newRow("the word twice") << QStringLiteral("ABOUTABOUT") << true;
        QTest::newRow("a restart with its first letter") << QStringLiteral("ABAABOUTABOUT") << true;
        QTest::newRow("once") << QStringLiteral("ABOUT") << false;
        QTest::newRow("broken by enter") << QStringLiteral("ABOUT\nABOUT") << false;
        QTest::newRow("broken by a letter") << QStringLiteral("ABOUTABOXT") << false;
    }
    void keyboardFilter() {
        QFETCH(QString, keys);
        QFETCH(bool, notice);
        Harness h;
        QVERIFY(h.Start());
        for (QChar c : keys) {
            const Qt::Key key = c == u'\n'     ? Qt::Key_Return
                                : c == u'\x1b' ? Qt::Key_Escape
                                               : static_cast<Qt::Key>(c.unicode());
            QTest::keyClick(h.window.get(), key);
        }
        // Enter and Escape never close the window.
        QVERIFY(h.window->isVisible());
        QCOMPARE(h.window->result(), 0);
        QCOMPARE(h.window->ActiveDialog() != nullptr, notice);
        if (notice) QVERIFY(MessageOf(h.window->ActiveDialog()).contains(QStringLiteral("support")));
    }

    // ---- without a device -------------------------------------------------------------------------

    void startupNoticeWithoutDevice_data() {
        QTest::addColumn<bool>("plugA");
        QTest::addColumn<bool>("plugB");
        QTest::addColumn<bool>("notice");
        QTest::newRow("none") << false << false << true;
        QTest::newRow("only B") << false << true << false;
    }
    void startupNoticeWithoutDevice() {
        QFETCH(bool, plugA);
        QFETCH(bool, plugB);
        QFETCH(bool, notice);
        Harness h;
        if (!plugA) h.mouse->Unplug(Identity::A);
        if (!plugB) h.mouse->Unplug(Identity::B);
        QVERIFY(h.Start());
        QVERIFY(h.RunUntil([&] { return !h.scheduler.Armed(kTimerStartupNotice); }));
        QCOMPARE(h.window->StartupNotice() != nullptr, notice);
        if (notice)
            QCOMPARE(static_cast<CAttentionDlg*>(h.window->StartupNotice())->Message(),
                     QString::fromStdU16String(LanguageString(155)));
    }

    // socket: with nobody behind it: the window starts without a device.
    void socketWithoutDaemon() {
        QTemporaryDir sockets;
        Harness h(
            1.0, {},
            std::make_unique<SocketBackend>(sockets.filePath(QStringLiteral("nobody.sock")).toStdString()));
        QVERIFY(h.Start());
        QVERIFY(!h.window->Link().Connected());
        QVERIFY(h.RunUntil([&] { return h.window->StartupNotice() != nullptr; }));
        // No mouse has reported a level: the gauge is empty and no percentage shows.
        QCOMPARE(static_cast<CBattery*>(h.window->FindControl(kIdBattery))->Mode(), int(CBattery::kUnknown));
        QCOMPARE(static_cast<CStaticText*>(h.window->FindControl(kIdBatteryText))->GetText(), QString());
    }

    void unplugEverythingEndsTheProgram() {
        Harness h;
        QVERIFY(h.Start());
        h.mouse->Unplug(Identity::A);
        QVERIFY(h.RunUntil([&] { return !h.window->Link().Present(Identity::A); }));
        QCOMPARE(h.endCode, -1); // one identity is left
        h.mouse->Unplug(Identity::B);
        RUN_UNTIL_COMPARE(h, h.endCode, 0);
        QVERIFY(!h.window->isVisible());
        QVERIFY(!h.window->ShownFlag());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
