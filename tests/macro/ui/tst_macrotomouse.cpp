// From the keyboard to the mouse: a macro bound to a button through the
// selection dialog is recorded in the macro manager; after the manager closes,
// the main window's sequence (reload the library, resync request, send the
// buttons) brings the recorded steps into the virtual mouse. The device side
// runs without a window, as the main window drives it.
#include <QDir>

#include "MacroWindowsTestSupport.h"
#include "commands/ProfileEdits.h"
#include "device/DeviceController.h"
#include "device/EventQueue.h"
#include "device/MacroUpload.h"
#include "emulator/SimBackend.h"
#include "emulator/VirtualMouse.h"
#include "macro/ButtonFunctions.h"
#include "macro/MacroFiles.h"
#include "macro/ui/MacroManagerDlg.h"
#include "macro/ui/MacroSelectDlg.h"
#include "model/SettingsModel.h"

using namespace macrouitest;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<std::uint8_t> out;
    for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

} // namespace

class TestMacroToMouse : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetUiScale(1.0);
        QVERIFY(LoadEnglish());
        qunsetenv("DISPLAY"); // the recorder takes the synthetic key events
    }
    void recordedMacroReachesTheMouse();
    void aMacroTooLongNeverReachesAButton();
};

void TestMacroToMouse::recordedMacroReachesTheMouse() {
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath(QStringLiteral("config")));
    SettingsModel model(std::filesystem::path(data.path().toStdString()));
    model.LoadSettingsModel();
    model.BuildDpiTables();
    const std::filesystem::path file = model.ConfigDir() / "MacroLibraryFile.mlf";
    MacroLibrary library;
    MacroLocation m;
    library.AddChild(MacroLocation::None(), u"m", false, &m);

    auto mouse = std::make_shared<VirtualMouse>();
    SimBackend sim(mouse);
    EventQueue queue;
    VirtualClock clock;
    VirtualScheduler scheduler;
    DeviceLink link(sim, queue.Poster());
    DeviceController controller(model, link, clock, scheduler, queue.Poster());
    controller.SetMacroFinder(LibraryFinder(library));
    link.ScanDevices();
    controller.PrimeCaches();

    TestDlg mainWindow;
    QVERIFY(Show(mainWindow));
    // Button 3 (profile button 2) gets the still empty macro through the
    // selection dialog, as the main window stores its 1066.
    std::optional<edits::EditResult> assigned;
    mainWindow.onMessage = [&](TestDlg&, const Msg& msg) {
        if (msg.msg != CMacroSelectDlg::kResultMessage) return;
        const auto* r = reinterpret_cast<const MacroSelectResult*>(msg.l);
        assigned = edits::AssignFunction(model, model.GetCurrentProfile(), 2, *r->choice, r->macro);
    };
    {
        CMacroSelectDlg select(&mainWindow, library);
        QVERIFY(Show(select));
        ClickAt(select, RowCentre(*select.FindControl(CEditShowList::kId), 0));
        ClickId(select, CDlgBase::kIdConfirm);
        QVERIFY(assigned && assigned->Changed());
    }
    ProfileRecord& current = model.Profiles[static_cast<std::size_t>(model.GetCurrentProfile())];
    QCOMPARE(current.Keys[2].Action, (KeyAction{kFnMacro, 0, 0}));

    // Recorded in the manager: A, 120 ms, release, 30 ms, right Shift, 250 ms, release.
    {
        CMacroManagerDlg manager(&mainWindow, library, file,
                                 [&] { return std::span<const KeySlot>(current.Keys); });
        QVERIFY(Show(manager));
        ClickAt(manager, RowCentre(*manager.FindControl(CEditShowList::kId), 0));
        ClickId(manager, CMacroManagerDlg::kIdRecord);
        SendTimedKey(manager, false, Qt::Key_A, 38, 5000);
        SendTimedKey(manager, true, Qt::Key_A, 38, 5120);
        SendTimedKey(manager, false, Qt::Key_Shift, 62, 5150);
        SendTimedKey(manager, true, Qt::Key_Shift, 62, 5400);
        QCoreApplication::sendPostedEvents();
        ClickId(manager, CDlgBase::kIdClose);
        QTRY_VERIFY(!manager.isVisible()); // once the library is written
        QVERIFY(manager.LibrarySaved());
    }

    // The main window after the manager: reload, resync, send the buttons.
    QVERIFY(LoadMainLibrary(library, file));
    controller.RequestResync();
    QVERIFY(HasMacroButton(current));
    controller.RequestSend(SendGroup::Buttons);
    std::optional<ApplyResult> sent;
    controller.ApplyToDevice([&](const ApplyResult& r) { sent = r; });
    QVERIFY(queue.RunUntil([&] { return sent.has_value(); }, std::chrono::seconds(10)));
    QVERIFY(sent->sent);

    const VirtualMouse::State state = mouse->Snapshot();
    // Macro 1, loop type 2 with count 1, on device position 2.
    QVERIFY(state.buttons[2].has_value());
    QCOMPARE(*state.buttons[2], (std::array<std::uint8_t, 3>{0x90, 0x21, 0x01}));
    // Each key step with the delay after it: A (usage 04) 120 ms and 30 ms,
    // right Shift (modifier bit 0x20) 250 ms and 0.
    QCOMPARE(state.macros.at(1),
             Bytes({0x30, 0x78, 0x04, 0xB0, 0x1E, 0x04, 0x20, 0xFA, 0x20, 0xA0, 0x00, 0x20}));
    QCOMPARE(int(current.Keys[2].Macro.MacroCommandActionNum), 4);
}

// Button 3 already plays a macro the mouse holds. A macro longer than the mouse
// takes is refused in the selection dialog, so the button and the mouse keep
// the old one; when the button's own macro grows past the limit in the
// manager, the button is switched off (the mouse gets 00 00 00, not a number
// it holds no macro for), said once, and not again at the next start.
void TestMacroToMouse::aMacroTooLongNeverReachesAButton() {
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath(QStringLiteral("config")));
    SettingsModel model(std::filesystem::path(data.path().toStdString()));
    model.LoadSettingsModel();
    model.BuildDpiTables();
    const std::filesystem::path file = model.ConfigDir() / "MacroLibraryFile.mlf";
    MacroLibrary library;
    MacroLocation old, big;
    library.AddChild(MacroLocation::None(), u"old", false, &old);
    library.AddChild(MacroLocation::None(), u"big", false, &big);
    MacroKey& oldMacro = *library.MacroAt(old);
    oldMacro.InsertAction(0, MacroAction::Press(0x41));
    oldMacro.InsertAction(1, MacroAction::Release(0x41));
    oldMacro.MacroCommandActionNum = 2;
    MacroKey& bigMacro = *library.MacroAt(big);
    for (int i = 0; i < 168; ++i)
        bigMacro.InsertAction(bigMacro.ValidCount(),
                              i % 2 ? MacroAction::Release(0x42) : MacroAction::Press(0x42));
    bigMacro.MacroCommandActionNum = 168;

    auto mouse = std::make_shared<VirtualMouse>();
    SimBackend sim(mouse);
    EventQueue queue;
    VirtualClock clock;
    VirtualScheduler scheduler;
    DeviceLink link(sim, queue.Poster());
    DeviceController controller(model, link, clock, scheduler, queue.Poster());
    controller.SetMacroFinder(LibraryFinder(library));
    link.ScanDevices();
    controller.PrimeCaches();
    auto send = [&]() -> ApplyResult {
        controller.RequestSend(SendGroup::Buttons);
        std::optional<ApplyResult> sent;
        controller.ApplyToDevice([&](const ApplyResult& r) { sent = r; });
        if (!queue.RunUntil([&] { return sent.has_value(); }, std::chrono::seconds(10))) return {};
        return *sent;
    };
    ProfileRecord& current = model.Profiles[static_cast<std::size_t>(model.GetCurrentProfile())];

    TestDlg mainWindow;
    QVERIFY(Show(mainWindow));
    int results = 0;
    mainWindow.onMessage = [&](TestDlg&, const Msg& msg) {
        if (msg.msg != CMacroSelectDlg::kResultMessage) return;
        ++results;
        const auto* r = reinterpret_cast<const MacroSelectResult*>(msg.l);
        static_cast<void>(edits::AssignFunction(model, model.GetCurrentProfile(), 2, *r->choice, r->macro));
    };
    auto choose = [&](int row) {
        CMacroSelectDlg select(&mainWindow, library);
        if (!Show(select)) return false;
        ClickAt(select, RowCentre(*select.FindControl(CEditShowList::kId), row));
        ClickId(select, CDlgBase::kIdConfirm);
        return true;
    };
    QVERIFY(choose(0));
    QCOMPARE(results, 1);
    QVERIFY(send().sent);
    const std::array<std::uint8_t, 3> playsOld{0x90, 0x21, 0x01};
    QCOMPARE(*mouse->Snapshot().buttons[2], playsOld);
    const std::vector<std::uint8_t> oldImage = mouse->Snapshot().macros.at(1);

    // "big" is refused with its step count and the limit; the dialog stays.
    {
        DialogAnswers answers;
        CMacroSelectDlg select(&mainWindow, library);
        QVERIFY(Show(select));
        ClickAt(select, RowCentre(*select.FindControl(CEditShowList::kId), 1));
        ClickId(select, CDlgBase::kIdConfirm);
        QTRY_COMPARE(answers.notices, QStringList{QStringLiteral("168 steps: the mouse holds at most 125.")});
        QVERIFY(select.isVisible());
    }
    QCOMPARE(results, 1);
    QCOMPARE(current.Keys[2].Name, LanguageString(190) + u"old");
    const ApplyResult unchanged = send();
    QCOMPARE(unchanged.reportsWritten, 0);
    QCOMPARE(*mouse->Snapshot().buttons[2], playsOld);
    QCOMPARE(mouse->Snapshot().macros.at(1), oldImage);

    // "old" recorded to 126 key steps in the manager.
    {
        CMacroManagerDlg manager(&mainWindow, library, file,
                                 [&] { return std::span<const KeySlot>(current.Keys); });
        QVERIFY(Show(manager));
        ClickAt(manager, RowCentre(*manager.FindControl(CEditShowList::kId), 0));
        ClickId(manager, CMacroManagerDlg::kIdRecord);
        for (int i = 0; i < 126; ++i)
            SendTimedKey(manager, i % 2, Qt::Key_A, 38, static_cast<ulong>(1000 + 10 * i));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(int(library.MacroAt(old)->MacroCommandActionNum), 126);
        QVERIFY(manager.FindControl(CMacroManagerDlg::kIdStepCount)->IsShown());
        ClickId(manager, CDlgBase::kIdClose);
        QTRY_VERIFY(!manager.isVisible());
        QVERIFY(manager.LibrarySaved());
    }
    QVERIFY(LoadMainLibrary(library, file));
    controller.RequestResync();
    const ApplyResult off = send();
    QCOMPARE(off.refusedMacros.size(), std::size_t(1));
    QCOMPARE(off.refusedMacros[0].button, 2);
    QCOMPARE(int(off.refusedMacros[0].steps), 126);
    QCOMPARE(off.disabledButtons, std::vector<int>{2});
    QCOMPARE(current.Keys[2].Action, KeyAction{});
    QCOMPARE(current.Keys[2].Name, LanguageString(34));
    QCOMPARE(*mouse->Snapshot().buttons[2], (std::array<std::uint8_t, 3>{0, 0, 0}));

    // The next start primes the caches from the profile and sends: the button
    // stays off, and nothing is refused or told again.
    controller.PrimeCaches();
    const ApplyResult again = send();
    QVERIFY(again.refusedMacros.empty());
    QVERIFY(again.disabledButtons.empty());
}

QTEST_MAIN(TestMacroToMouse)
#include "tst_macrotomouse.moc"
