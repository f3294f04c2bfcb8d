// The mouse holds what the window shows. Random sequences of user actions run
// through the main window's message routing (the handlers its controls,
// pop-ups and dialogs call, with the dialogs and the macro manager answered as
// a user would) and through the in-process virtual mouse (its DPI button,
// another sensor). After each action has settled, the virtual mouse's whole
// state is compared with what the window shows: the controls against the
// current profile, and the mouse against the images of that profile and the
// library's macros its macro buttons name. The factory reset is left out: the
// virtual mouse forgets what it held and has no firmware defaults to compare.
//
// Seeded: TARVIK_MODEL_SEED picks the seed (default: from the clock) and
// TARVIK_MODEL_ACTIONS the number of actions (default 1000); a disagreement
// prints the seed and the actions that led to it.
#include <QFileInfo>
#include <QLineEdit>
#include <QRandomGenerator>

#include <random>

#include "MainWindowHarness.h"
#include "device/MacroUpload.h"
#include "device/Protocol.h"
#include "device/ReportCache.h"
#include "device/ui/NoticeDialogs.h"
#include "macro/ButtonFunctions.h"
#include "macro/MacroFiles.h"
#include "macro/MacroLibrary.h"
#include "macro/ui/MacroManagerDlg.h"
#include "macro/ui/MacroSelectDlg.h"
#include "mainwnd/MainLayout.h"
#include "mainwnd/ProfileNameDlg.h"
#include "model/PollingRates.h"
#include "skin/CheckButton.h"
#include "skin/ColorSelectButton.h"
#include "skin/ComboButton.h"
#include "skin/RadioButton.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "text/U16.h"
#include "widgets/ColorPaletteDlg.h"
#include "widgets/DPIValueSettingDlg.h"
#include "widgets/DpiControls.h"
#include "widgets/Popups.h"
#include "widgets/PowerManageButton.h"

using namespace tarvik;
using namespace tarvik::mainwnd;
using namespace mainwndtest;

namespace {

constexpr int kWait = 10000; // safety net of every wait on an event

// The sensor codes a status reply can name.
constexpr std::uint8_t kSensorCodes[] = {0x04, 0x12, 0x25, 0x27, 0x35, 0x60, 0x70, 0x89, 0x95, 0x99};

// The skinned dialogs have no meta-object of their own: found by their C++ type.
template <class T> T* OpenDialog(CTarvikDlg& window) {
    for (QDialog* d : window.findChildren<QDialog*>())
        if (auto* t = dynamic_cast<T*>(d); t && t->isVisible()) return t;
    return nullptr;
}

// Runs the event loop and the virtual clock until nothing the window started
// is still on its way: no send, status query or reset on the worker, no write
// on the saver thread, no send or deferred click waiting on its task.
bool Settle(Harness& h) {
    const auto busy = [&] {
        if (h.ThreadsBusy()) return true;
        for (const TaskId id :
             {IdOf(Task::SendChanges), TaskId{kTimerProfileOperation}, TaskId{kTimerLeftButtonNotice}})
            if (h.scheduler.Armed(id)) return true;
        for (int i = 0; i < 8; ++i)
            if (h.scheduler.Armed(kTimerFirstColourSlot + i)) return true;
        return false;
    };
    // Twice: what the posted results of the first round started settles too.
    return h.RunUntil([&] { return !busy(); }) && h.RunUntil([&] { return !busy(); });
}

// Notices are read and closed, as a user does; the progress dialog closes by itself.
void CloseNotices(CTarvikDlg& w) {
    while (CAttentionDlg* d = OpenDialog<CAttentionDlg>(w)) d->accept();
}

// What differs between the window, the current profile and the virtual mouse;
// empty when they agree.
QStringList Disagreements(Harness& h) {
    QStringList out;
    const auto expect = [&](bool ok, const QString& what) {
        if (!ok) out << what;
    };
    CTarvikDlg& w = *h.window;
    SettingsModel& m = h.Model();
    const int slot = m.GetCurrentProfile();
    const ProfileRecord& rec = m.Profiles[static_cast<std::size_t>(slot)];
    const auto control = [&](int id) { return w.FindControl(id); };

    // ---- the window shows the current profile
    for (int i = 0; i < kKeyCount; ++i) {
        const auto* combo = static_cast<CComboButton*>(control(kIdFirstCombo + i));
        expect(combo->DisplayText() == QString::fromStdU16String(rec.Keys[static_cast<std::size_t>(i)].Name),
               QStringLiteral("button %1 shows \"%2\"").arg(i + 1).arg(combo->DisplayText()));
    }
    const int rate = PollingRateAt(rec.PollingRate[0]).index;
    expect(w.Radios().IsSelected(kIdFirstRate + rate), QStringLiteral("rate tile %1 not selected").arg(rate));
    for (int i = 0; i < kShownLevels; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        const bool enabled = (rec.DPIOffOnFlag >> i & 1u) != 0;
        expect(static_cast<CCheckButton*>(control(kIdFirstLevelCheck + i))->IsChecked() == enabled,
               QStringLiteral("level %1 check").arg(i));
        expect(static_cast<CDPIValueShowControl*>(control(kIdFirstLevelValue + i))->Value() ==
                   rec.XYSetting[k],
               QStringLiteral("level %1 value").arg(i));
        expect(static_cast<CColorSelectButton*>(control(kIdFirstLevelColour + i))->GetColour() ==
                   rec.DPILevelIndication[k],
               QStringLiteral("level %1 colour").arg(i));
        const auto* button = static_cast<CDPIRadioButton*>(control(kIdFirstLevelButton + i));
        expect((button->TextColour() == Rgb(255, 0, 0)) == (i == rec.ActiveDpiLevel()),
               QStringLiteral("level %1 drawn as the active one").arg(i));
        expect(button->IsSelected() == enabled, QStringLiteral("level %1 button drawn as on").arg(i));
    }
    expect(w.Device().CurrentDpiLevel() == rec.CurrentDPILevel, QStringLiteral("current level"));
    expect(static_cast<CPowerManageButton*>(control(kIdPowerDial))->Value() ==
               m.GetSettingInt(slot, kSetPowerDownTime),
           QStringLiteral("power-down dial"));
    expect(static_cast<CCheckButton*>(control(kIdMotionWakeup))->IsChecked() ==
               (m.GetSettingInt(slot, kSetMotionWakeup) == 1),
           QStringLiteral("motion wake-up box"));
    expect(static_cast<CCheckButton*>(control(kIdLightOnMove))->IsChecked() ==
               (m.GetSettingInt(slot, kSetMoveLightingOnOffMode) == 1),
           QStringLiteral("lighting-on-move box"));
    expect(w.Radios().IsSelected(kIdLiftLow) == (m.GetSettingInt(slot, kSetLiftDetectionHeight) == 1),
           QStringLiteral("lift-off tile"));
    const std::size_t effect = std::min<std::size_t>(rec.Lighting1Mode[0], kEffects - 1);
    expect(static_cast<CComboButton*>(control(kIdLightingCombo))->DisplayText() ==
               QString::fromStdU16String(rec.Lighting1Name),
           QStringLiteral("lighting effect"));
    expect(static_cast<CSliderControl*>(control(kIdSpeedSlider))->CurrentStop() == rec.Lighting1Speed[effect],
           QStringLiteral("speed slider"));
    expect(static_cast<CSliderControl*>(control(kIdBrightnessSlider))->CurrentStop() ==
               rec.Lighting1Brightness[effect],
           QStringLiteral("brightness slider"));
    expect(w.Radios().IsSelected(kIdDirectionUp) == (rec.Lighting1Direction[effect] != 0),
           QStringLiteral("direction"));
    for (int i = 0; i < 8; ++i) {
        const auto* c = static_cast<CColorSelectCheckButton*>(control(kIdFirstColourSlot + i));
        const std::size_t k = static_cast<std::size_t>(i);
        expect(c->IsChecked() == (rec.Lighting1ColorSelected[effect][k] != 0) &&
                   c->GetColour() == rec.Lighting1FixedColor[effect][k],
               QStringLiteral("colour slot %1").arg(i));
    }

    // ---- the mouse holds it
    const VirtualMouse::State s = h.mouse->Snapshot();
    const auto hex = [](const auto& bytes) { return QString::fromStdString(HexString(bytes)); };
    // The mouse keeps the page as it was written; its level (the high nibble
    // of byte 0) moves with its DPI button, and is compared on its own.
    const DpiPage dpi = BuildDpiPage(rec, m.DpiDeviceCode);
    expect(s.dpiPage && ((*s.dpiPage)[0] & 0x0F) == (dpi[0] & 0x0F) &&
               std::equal(dpi.begin() + 1, dpi.begin() + kDpiCompared, s.dpiPage->begin() + 1),
           QStringLiteral("DPI page: mouse %1, window %2").arg(s.dpiPage ? hex(*s.dpiPage) : "-", hex(dpi)));
    expect(s.dpiLevel == rec.CurrentDPILevel,
           QStringLiteral("DPI level: mouse %1, window %2").arg(s.dpiLevel).arg(rec.CurrentDPILevel));
    expect(s.colors == BuildColours(rec), QStringLiteral("DPI colours"));
    expect(s.polling == PollingCode(rec),
           QStringLiteral("polling: mouse %1, window %2").arg(s.polling.value_or(0)).arg(PollingCode(rec)));
    const LightingPage lighting = BuildLightingPage(rec);
    const std::vector<std::uint8_t> held(lighting.begin(), lighting.begin() + LightingCompared(lighting));
    expect(
        s.lighting == held,
        QStringLiteral("lighting: mouse %1, window %2").arg(s.lighting ? hex(*s.lighting) : "-", hex(held)));
    expect(s.liftOff == LiftOffCode(rec), QStringLiteral("lift-off"));
    expect(s.debounce == DebounceValue(rec), QStringLiteral("debounce"));
    expect(s.power == PowerOptionBytes(rec),
           QStringLiteral("power options: mouse %1, window %2")
               .arg(s.power ? hex(*s.power) : "-", hex(PowerOptionBytes(rec))));
    expect(s.motionWakeup == MotionWakeupValue(rec), QStringLiteral("motion wake-up: mouse %1, window %2")
                                                         .arg(s.motionWakeup.value_or(0xFF))
                                                         .arg(MotionWakeupValue(rec)));
    const ButtonPage page = BuildButtonPage(rec);
    for (int p = 0; p < kKeyCount; ++p) {
        const auto at = page.begin() + 2 + 3 * p;
        const std::array<std::uint8_t, 3> action{at[0], at[1], at[2]};
        expect(s.buttons[static_cast<std::size_t>(p)] == action,
               QStringLiteral("button position %1: mouse %2, window %3")
                   .arg(p)
                   .arg(s.buttons[static_cast<std::size_t>(p)] ? hex(*s.buttons[static_cast<std::size_t>(p)])
                                                               : "-",
                        hex(action)));
    }
    // A macro button plays the library's macro of that name, as the macro
    // manager and the selection dialog show it.
    const MacroFinder library = LibraryFinder(*h.data.library);
    for (const KeySlot& key : rec.Keys) {
        if (key.Action.Function != kMacroFunction) continue;
        const std::uint8_t number = key.Action.Data1 & 0x0F;
        const MacroKey* shown = library(key.MacroKeyIndex);
        expect(shown != nullptr, QStringLiteral("a macro button whose macro is not in the library"));
        if (!shown) continue;
        const MacroImage image = BuildMacroImage(*shown, number);
        const std::vector<std::uint8_t> steps(image.begin() + 4,
                                              image.begin() + 4 + 3 * shown->MacroCommandActionNum);
        const auto found = s.macros.find(number);
        expect(found != s.macros.end() && found->second == steps,
               QStringLiteral("macro %1 of \"%2\": mouse %3, window %4")
                   .arg(number)
                   .arg(QString::fromStdU16String(shown->Name))
                   .arg(found != s.macros.end() ? hex(found->second) : QStringLiteral("-"), hex(steps)));
    }
    expect(s.malformedFrames == 0, QStringLiteral("malformed frames"));
    return out;
}

// ---- the model run

struct ModelRun {
    Harness& h;
    std::mt19937 rng;
    std::vector<QString> files;          // profiles to import
    std::vector<MacroLocation> macros;   // library macros to choose
    std::vector<ButtonChoice> functions; // menu choices
    QStringList log;
    bool stuck = false; // something awaited never came

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool Coin() { return Pick(2) == 1; }
    CTarvikDlg& W() { return *h.window; }
    template <class T> T* Control(int id) { return static_cast<T*>(W().FindControl(id)); }
    void Click(int id) { W().SendMessage(id, 0, kNotifyClick); }
    // A press and release in the middle of a control, as the window routes
    // them to it: the control makes its own change and notifies the window.
    void ClickOn(int id) {
        CControlBase* c = W().FindControl(id);
        const QPoint p = skintest::Centre(c->GetRect());
        c->OnLButtonDown(kMkLButton, p.x(), p.y());
        c->OnLButtonUp(0, p.x(), p.y());
    }

    // Runs the harness (its virtual clock too) until `ready` holds.
    template <class F> void WaitFor(F ready, const char* what) {
        if (h.RunUntil(ready)) return;
        log << QStringLiteral("(%1 never came)").arg(QLatin1String(what));
        stuck = true;
    }

    // A dialog the last step opened, or null after the wait.
    template <class T> T* WaitForDialog() {
        T* d = nullptr;
        WaitFor([&] { return (d = OpenDialog<T>(W())) != nullptr; }, "the dialog");
        return d;
    }

    // One random user action; its description goes into the log.
    void Act() {
        const int current = h.Model().GetCurrentProfile();
        switch (Pick(21)) {
        case 0: { // a polling-rate tile
            const int tile = Pick(4);
            log << QStringLiteral("rate tile %1").arg(tile);
            ClickOn(kIdFirstRate + tile);
            break;
        }
        case 1: { // a DPI level's tick box or its level button
            const int level = Pick(kShownLevels);
            const bool box = Coin();
            log << QStringLiteral("level %1 %2").arg(level).arg(box ? "tick box" : "button");
            ClickOn((box ? kIdFirstLevelCheck : kIdFirstLevelButton) + level);
            break;
        }
        case 2: { // a DPI level's value, typed into its dialog
            const int level = Pick(kShownLevels);
            const int steps = static_cast<int>(h.Model().DpiStepCount);
            const int dpi =
                50 * static_cast<int>(h.Model().DpiStepTable[static_cast<std::size_t>(Pick(steps))]);
            log << QStringLiteral("level %1 value %2").arg(level).arg(dpi);
            Click(kIdFirstLevelValue + level);
            if (auto* d = WaitForDialog<CDPIValueSettingDlg>()) {
                d->EditBox()->setText(QString::number(dpi));
                d->ApplyTypedValue();
                d->SendMessage(CDlgBase::kIdConfirm, 0, kNotifyClick);
            }
            break;
        }
        case 3: // a DPI level's colour, from the palette
            PickColour(kIdFirstLevelColour + Pick(kShownLevels), kNotifyClick);
            break;
        case 4: { // a lighting effect from its pop-up
            static constexpr int kNames[] = {109, 100, 101, 102, 103, 110, 105, 106, 107, 108};
            const int effect = Pick(kEffects);
            log << QStringLiteral("lighting effect %1").arg(effect);
            PopupResult r{QString::fromStdU16String(LanguageString(kNames[effect])),
                          {static_cast<std::uint8_t>(effect), 0, 0},
                          1};
            W().SendMessage(kMsgLightingChosen, kIdLightingCombo, reinterpret_cast<LParam>(&r));
            break;
        }
        case 5: { // a lighting colour slot: a click selects, a double click opens the palette
            const int k = Pick(8);
            if (!Control<CControlBase>(kIdFirstColourSlot + k)->IsShown()) return Act();
            if (Coin()) {
                log << QStringLiteral("colour slot %1 click").arg(k);
                Click(kIdFirstColourSlot + k);
            } else {
                PickColour(kIdFirstColourSlot + k, kNotifyDoubleClick);
            }
            break;
        }
        case 6: { // the speed or brightness slider
            const bool speed = Coin();
            auto* slider = Control<CSliderControl>(speed ? kIdSpeedSlider : kIdBrightnessSlider);
            const int stop = Pick(static_cast<int>(slider->Stops().size()));
            log << QStringLiteral("%1 slider stop %2").arg(speed ? "speed" : "brightness").arg(stop);
            slider->SetStop(stop);
            Click(speed ? kIdSpeedSlider : kIdBrightnessSlider);
            break;
        }
        case 7: { // direction or lift-off tile
            static constexpr int kIds[] = {kIdDirectionUp, kIdDirectionDown, kIdLiftLow, kIdLiftHigh};
            const int id = kIds[Pick(4)];
            log << QStringLiteral("tile %1").arg(id);
            ClickOn(id);
            break;
        }
        case 8: { // the power-down dial
            const int minutes = 1 + Pick(10);
            log << QStringLiteral("power-down %1 min").arg(minutes);
            Control<CPowerManageButton>(kIdPowerDial)->SetValue(minutes);
            Click(kIdPowerDial);
            break;
        }
        case 9: { // lighting on move or motion wake-up
            const int id = Coin() ? kIdLightOnMove : kIdMotionWakeup;
            log << QStringLiteral("box %1").arg(id);
            ClickOn(id);
            break;
        }
        case 10:
        case 11: { // a button's function from the menu, or a macro of the library
            const int button = Pick(kKeyCount);
            if (Coin() && !macros.empty()) {
                const MacroLocation at =
                    macros[static_cast<std::size_t>(Pick(static_cast<int>(macros.size())))];
                const MacroSelectResult r = ChooseMacro(*h.data.library, at);
                log << QStringLiteral("button %1 macro %2")
                           .arg(button + 1)
                           .arg(QString::fromStdU16String(r.choice ? r.choice->name : u"-"));
                // The menu's macro item opens the selection dialog, where the
                // macro is chosen and confirmed.
                W().SendMessage(kMsgMacroReleased, kIdFirstCombo + button);
                if (auto* d = WaitForDialog<CMacroSelectDlg>()) {
                    d->SelectNode(at);
                    d->SendMessage(CDlgBase::kIdConfirm, 0, kNotifyClick);
                }
            } else {
                const ButtonChoice& c =
                    functions[static_cast<std::size_t>(Pick(static_cast<int>(functions.size())))];
                log << QStringLiteral("button %1 function %2")
                           .arg(button + 1)
                           .arg(QString::fromStdU16String(c.name));
                PopupResult r{QString::fromStdU16String(c.name),
                              {c.action.Function, c.action.Data1, c.action.Data2},
                              3};
                W().SendMessage(kMsgFunctionChosen, kIdFirstCombo + button, reinterpret_cast<LParam>(&r));
            }
            break;
        }
        case 12:
        case 13: { // another profile from the list
            const int position = Pick(h.Model().GetShowCount());
            log << QStringLiteral("select show position %1 (slot %2)")
                       .arg(position)
                       .arg(h.Model().GetShowList(position));
            W().SendMessage(kMsgProfileChosen, CComboProfilePopup::kClicked, position + 2);
            break;
        }
        case 14: { // add a profile
            log << QStringLiteral("add profile");
            W().SendMessage(kMsgProfileChosen, CComboProfilePopup::kClicked, 7);
            if (h.Model().GetShowCount() >= kProfileCount) break; // a notice says so
            if (auto* d = WaitForDialog<CAddProfileDlg>()) {
                d->EditBox()->setText(QStringLiteral("Added %1").arg(Pick(100)));
                QTest::keyClick(d->EditBox(), Qt::Key_Return);
            }
            break;
        }
        case 15: { // delete a profile (the current one is refused)
            const int position = Pick(h.Model().GetShowCount());
            const int slot = h.Model().GetShowList(position);
            log << QStringLiteral("delete slot %1%2").arg(slot).arg(slot == current ? " (current)" : "");
            ProfileCommand(slot, 3);
            break;
        }
        case 16: { // import a profile file into a shown slot, often the current one
            const int slot = Coin() ? current : h.Model().GetShowList(Pick(h.Model().GetShowCount()));
            const QString& file = files[static_cast<std::size_t>(Pick(static_cast<int>(files.size())))];
            log << QStringLiteral("import %1 into slot %2%3")
                       .arg(QFileInfo(file).fileName())
                       .arg(slot)
                       .arg(slot == current ? " (current)" : "");
            h.chosenPath = file;
            ProfileCommand(slot, 0);
            break;
        }
        case 17:
        case 18: { // the DPI button on the mouse
            log << QStringLiteral("DPI button on the mouse");
            const int before = W().Device().LevelReportsHandled();
            // The report comes on the reader thread: waited for without moving the
            // clock, also when it changes nothing (a single enabled level). Going on
            // before it was handled would let it arrive during the next action.
            if (h.mouse->PressDpiButton()) {
                if (!QTest::qWaitFor([&] { return W().Device().LevelReportsHandled() > before; }, kWait)) {
                    log << QStringLiteral("(the level report never came)");
                    stuck = true;
                }
            }
            break;
        }
        case 20: { // a library macro edited in the macro manager: a key more, or another loop count
            if (macros.empty()) return Act();
            const MacroLocation at = macros[static_cast<std::size_t>(Pick(static_cast<int>(macros.size())))];
            Click(kIdMacroManager);
            auto* d = WaitForDialog<CMacroManagerDlg>();
            if (!d) break;
            MacroKey* macro = h.data.library->MacroAt(at);
            if (Coin() && macro->MacroCommandActionNum < 40) {
                const auto key = static_cast<std::uint8_t>(0x41 + Pick(26));
                log << QStringLiteral("manager: key %1 added to %2")
                           .arg(key)
                           .arg(QString::fromStdU16String(macro->Name));
                for (const MacroAction& step :
                     {MacroAction::Press(key), MacroAction::Delay(10 + Pick(200)), MacroAction::Release(key)})
                    static_cast<void>(macro->InsertAction(macro->MacroActionNum, step));
                macro->MacroCommandActionNum = static_cast<std::uint8_t>(macro->MacroCommandActionNum + 2);
            } else {
                macro->MacroKeyLoopNum = static_cast<std::uint8_t>(1 + Pick(9));
                log << QStringLiteral("manager: %1 loops %2")
                           .arg(QString::fromStdU16String(macro->Name))
                           .arg(macro->MacroKeyLoopNum);
            }
            // The manager ends once it has written the library.
            d->SendMessage(CDlgBase::kIdClose, 0, kNotifyClick);
            WaitFor([this] { return OpenDialog<CMacroManagerDlg>(W()) == nullptr; }, "the manager's end");
            break;
        }
        case 19: { // the mouse reports another sensor
            const std::uint8_t code = kSensorCodes[Pick(static_cast<int>(std::size(kSensorCodes)))];
            log << QStringLiteral("sensor 0x%1").arg(code, 2, 16, QLatin1Char('0'));
            h.mouse->SetSensorCode(code);
            bool answered = false;
            // As the status poll asks.
            W().Device().QueryStatus([&](const StatusResult&) { answered = true; });
            WaitFor([&] { return answered; }, "the status answer");
            break;
        }
        }
    }

    void PickColour(int id, LParam code) {
        // A point of the palette's chart: a fraction across and down pick area A.
        const double fx = Pick(100) / 100.0, fy = Pick(100) / 100.0;
        log << QStringLiteral("palette of %1 at %2,%3").arg(id).arg(fx).arg(fy);
        W().SendMessage(id, 0, code);
        auto* d = WaitForDialog<CColorPaletteDlg>();
        if (!d) return;
        if (!QTest::qWaitForWindowExposed(d)) {
            log << QStringLiteral("(the palette on the screen never came)");
            stuck = true;
        }
        const Rect a = CColorPaletteDlg::PickAreaA();
        skintest::Click(*d, QPoint(a.left + static_cast<int>(fx * (a.Width() - 1)),
                                   a.top + static_cast<int>(fy * (a.Height() - 1))));
        d->SendMessage(CDlgBase::kIdConfirm, 0, kNotifyClick);
    }

    void ProfileCommand(int slot, int code) {
        PopupResult r{QString(), {static_cast<std::uint8_t>(code), 0, 0}, 1};
        W().SendMessage(kMsgProfileCommand, 2049 + slot, reinterpret_cast<LParam>(&r));
    }
};

// Profile files to import: the current profile with its values varied.
std::vector<QString> MakeImportFiles(Harness& h, std::mt19937& rng, int count) {
    std::vector<QString> files;
    SettingsModel scratch;
    for (int n = 0; n < count; ++n) {
        ProfileRecord rec = h.Current();
        auto pick = [&](int k) { return std::uniform_int_distribution<int>(0, k - 1)(rng); };
        rec.Settings[kSetProfileName].Value = u"Imported " + FromUtf8(std::to_string(n));
        const int rate = pick(4);
        rec.PollingRate = {static_cast<std::uint8_t>(rate), 0, 0};
        rec.PollingRateName = PollingRateAt(rate).name;
        rec.DPIOffOnFlag = static_cast<std::uint8_t>(1 + pick(31));
        rec.CurrentDPILevel = 0;
        for (auto& xy : rec.XYSetting)
            xy = static_cast<std::uint16_t>(pick(static_cast<int>(h.Model().DpiStepCount)));
        for (auto& c : rec.DPILevelIndication) c = Rgb(pick(256), pick(256), pick(256));
        scratch.Profiles[0] = rec;
        scratch.SetSettingInt(0, kSetPowerDownTime, 1 + pick(10));
        scratch.SetSettingInt(0, kSetMotionWakeup, pick(2));
        scratch.SetSettingInt(0, kSetMoveLightingOnOffMode, pick(2));
        scratch.SetSettingInt(0, kSetLiftDetectionHeight, 1 + pick(2));
        scratch.SetSettingInt(0, kSetKeyDebounce, 2 * pick(5));
        const QString path = h.dir.filePath(QStringLiteral("import-%1.psf").arg(n));
        if (!scratch.WriteProfileFile(0, path.toStdString())) return {};
        files.push_back(path);
    }
    return files;
}

// A few macros in the library for the buttons to take.
std::vector<MacroLocation> AddLibraryMacros(MacroLibrary& library) {
    std::vector<MacroLocation> out;
    for (int n = 0; n < 3; ++n) {
        MacroLocation at;
        const std::u16string name = u"Model " + FromUtf8(std::to_string(n));
        if (library.AddChild(MacroLocation::None(), name, false, &at) != MacroLibrary::AddResult::Added)
            continue;
        MacroKey* macro = library.MacroAt(at);
        for (int k = 0; k <= n * 4; ++k) {
            const auto key = static_cast<std::uint8_t>(0x41 + k);
            static_cast<void>(macro->InsertAction(macro->MacroActionNum, MacroAction::Press(key)));
            static_cast<void>(macro->InsertAction(macro->MacroActionNum, MacroAction::Delay(20 + 10 * k)));
            static_cast<void>(macro->InsertAction(macro->MacroActionNum, MacroAction::Release(key)));
            macro->MacroCommandActionNum = static_cast<std::uint8_t>(macro->MacroCommandActionNum + 2);
        }
        out.push_back(at);
    }
    return out;
}

std::vector<ButtonChoice> MenuChoices() {
    std::vector<ButtonChoice> out;
    for (const FunctionMenuItem& item : FunctionMenu())
        if (item.IsDirect()) out.push_back(ChoiceOf(item));
    for (FunctionSubMenu menu : {FunctionSubMenu::Dpi, FunctionSubMenu::Multimedia, FunctionSubMenu::Office,
                                 FunctionSubMenu::WindowsManagement, FunctionSubMenu::DpiLock})
        for (const SubMenuItem& item : SubMenuItems(menu)) out.push_back(ChoiceOf(menu, item));
    return out;
}

quint32 Seed() {
    bool ok = false;
    const quint32 given = qEnvironmentVariable("TARVIK_MODEL_SEED").toUInt(&ok);
    return ok ? given : QRandomGenerator::global()->generate();
}

int ActionCount() {
    bool ok = false;
    const int given = qEnvironmentVariableIntValue("TARVIK_MODEL_ACTIONS", &ok);
    return ok && given > 0 ? given : 1000;
}

} // namespace

class TestMouseModel : public QObject {
    Q_OBJECT
private slots:
    // Changes that come past the window's own controls reach the mouse: the
    // power options and motion wake-up of another profile, an import into the
    // current profile, and the DPI defaults of a new sensor.
    void changeReachesTheMouse_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("another profile selected") << QStringLiteral("select");
        QTest::newRow("import into the current profile") << QStringLiteral("import");
        QTest::newRow("sensor reported by the mouse") << QStringLiteral("sensor");
    }
    void changeReachesTheMouse() {
        QFETCH(QString, change);
        Harness h;
        QVERIFY(h.Start());
        SettingsModel& m = h.Model();
        // The mouse starts out holding the whole current profile.
        h.window->Device().Cache().Forget();
        h.window->Device().RequestSend(SendGroups::All());
        QVERIFY(Settle(h));
        QVERIFY2(Disagreements(h).isEmpty(), qPrintable(Disagreements(h).join("; ")));
        const int current = m.GetCurrentProfile();
        if (change == "select") {
            const int other = m.GetShowList(1);
            QVERIFY(other != current);
            m.SetSettingInt(other, kSetPowerDownTime, m.GetSettingInt(current, kSetPowerDownTime) % 10 + 1);
            m.SetSettingInt(other, kSetMotionWakeup, 1 - m.GetSettingInt(current, kSetMotionWakeup));
            h.window->SendMessage(kMsgProfileChosen, CComboProfilePopup::kClicked, 3);
            QCOMPARE(m.GetCurrentProfile(), other);
        } else if (change == "import") {
            std::mt19937 rng(7);
            const std::vector<QString> files = MakeImportFiles(h, rng, 1);
            QCOMPARE(files.size(), std::size_t(1));
            h.chosenPath = files[0];
            PopupResult r{QString(), {0, 0, 0}, 1};
            h.window->SendMessage(kMsgProfileCommand, 2049 + current, reinterpret_cast<LParam>(&r));
            RUN_UNTIL_COMPARE(h, h.Current().Settings[kSetProfileName].Value, std::u16string(u"Imported 0"));
        } else {
            h.mouse->SetSensorCode(m.SensorId == 0x3399 ? 0x04 : 0x99);
            bool answered = false;
            h.window->Device().QueryStatus([&](const StatusResult& r) { answered = r.sensorChanged; });
            QVERIFY(h.RunUntil([&] { return answered; }));
        }
        QVERIFY(Settle(h));
        const QStringList differ = Disagreements(h);
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join("; ")));
    }

    // Random sequences of user actions; after each one has settled the mouse
    // holds what the window shows.
    void randomActions() {
        const quint32 seed = Seed();
        const int actions = ActionCount();
        Harness h;
        const std::vector<MacroLocation> macros = AddLibraryMacros(*h.data.library);
        QVERIFY(h.Start());
        ModelRun run{h, std::mt19937(seed), {}, macros, MenuChoices(), {}};
        run.files = MakeImportFiles(h, run.rng, 4);
        QVERIFY(!run.files.empty());
        // The mouse starts out holding the whole current profile.
        h.window->Device().Cache().Forget();
        h.window->Device().RequestSend(SendGroups::All());
        QVERIFY(Settle(h));
        QStringList differ = Disagreements(h);
        QVERIFY2(differ.isEmpty(), qPrintable(differ.join("; ")));
        int done = 0;
        // Settings, buttons and macros written so far (not the status queries).
        const auto written = [&h] {
            int n = 0;
            for (std::uint8_t command = kCmdSetButton; command <= kCmdMacroChunk; ++command)
                n += h.writes.Count(command);
            return n;
        };
        int wrote = 0; // actions after which the mouse was written to
        for (; done < actions; ++done) {
            const int before = written();
            run.Act();
            bool settled = Settle(h);
            CloseNotices(*h.window);
            settled = Settle(h) && settled;
            differ = Disagreements(h);
            if (!settled || run.stuck || !differ.isEmpty()) break;
            if (written() != before) ++wrote;
        }
        const QStringList last = run.log.mid(std::max(0, static_cast<int>(run.log.size()) - 12));
        const QString why =
            QStringLiteral("seed %1 (TARVIK_MODEL_SEED=%1), action %2 of %3: %4\nlast actions:\n  %5")
                .arg(seed)
                .arg(done + 1)
                .arg(actions)
                .arg(differ.isEmpty() ? QStringLiteral("did not settle") : differ.join("; "))
                .arg(last.join("\n  "));
        QVERIFY2(done == actions, qPrintable(why));
        qInfo("seed %u: %d actions (%d of them wrote to the mouse), the mouse agreed with the window after "
              "each",
              seed, actions, wrote);
    }
};

QTEST_MAIN(TestMouseModel)
#include "tst_mousemodel.moc"
