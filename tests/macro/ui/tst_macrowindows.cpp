// The macro manager, the macro selection dialog and the step and name dialogs,
// driven by real clicks, pop-up choices and synthetic key events through the
// key capture path (the event times are the events' own), with the dialogs
// they open answered by a watcher.
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>

#include <optional>

#include "MacroWindowsTestSupport.h"
#include "macro/ButtonFunctions.h"
#include "macro/MacroFiles.h"
#include "macro/ui/DialogParts.h"
#include "macro/ui/MacroManagerDlg.h"
#include "macro/ui/MacroSelectDlg.h"
#include "macro/ui/StepDialogs.h"
#include "skin/CheckButton.h"
#include "skin/OpenDialogList.h"
#include "text/Log.h"
#include "widgets/Popups.h"

using namespace macrouitest;

namespace {

using Mgr = CMacroManagerDlg;

// X keycodes (evdev + 8) and Qt keys of the keys the tests press.
struct XKey {
    int qt;
    int x;
};
constexpr XKey kA{Qt::Key_A, 38}, kB{Qt::Key_B, 56}, kRightShift{Qt::Key_Shift, 62},
    kLeftShift{Qt::Key_Shift, 50};

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

// The window that opens the manager or the selection dialog; keeps a copy of
// the selection dialog's result.
struct Parent : TestDlg {
    std::optional<ButtonChoice> choice;
    std::optional<MacroKey> macro;
    Parent() {
        onMessage = [this](TestDlg&, const Msg& m) {
            if (m.msg != CMacroSelectDlg::kResultMessage) return;
            const auto* r = reinterpret_cast<const MacroSelectResult*>(m.l);
            choice = r->choice;
            if (r->macro) macro = *r->macro;
        };
    }
};

// Clicks tree row `row` of the manager or the selection dialog.
void ClickTreeRow(CDlgBase& dlg, int row) {
    ClickAt(dlg, RowCentre(*dlg.FindControl(CEditShowList::kId), row));
}

// A macro of `delays` delays of 10 ms followed by `keySteps` key steps (press
// and release of A in turn), so the last step is a key step.
void Fill(MacroKey& m, int keySteps, int delays) {
    for (int i = 0; i < delays; ++i) m.InsertAction(m.ValidCount(), MacroAction::Delay(10));
    for (int i = 0; i < keySteps; ++i)
        m.InsertAction(m.ValidCount(), (i % 2) ? MacroAction::Release(0x41) : MacroAction::Press(0x41));
    m.MacroCommandActionNum = static_cast<std::uint8_t>(keySteps);
}

// The library as "path" lines, in file order.
QStringList Paths(const MacroLibrary& lib) {
    QStringList out;
    lib.ForEach([&](const MacroLocation& at, const MacroItem& item) {
        out << QString::fromStdU16String(PathOf(lib, at)) + (item.IsFolder ? QStringLiteral("/") : QString());
    });
    return out;
}

} // namespace

class TestMacroWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetUiScale(1.0);
        QVERIFY(LoadEnglish());
        // Only the program's own windows are captured: the synthetic key
        // events are what the recorder receives.
        qunsetenv("DISPLAY");
    }
    void init() { ClearOpenDialogs(); }

    void recordingTakesTheKeysWithTheirDelays_data();
    void recordingTakesTheKeysWithTheirDelays();
    void recordingStopsAtTheStepLimit();
    void recordingBelongsToItsMacro();
    void insertionsWithinTheLimits_data();
    void insertionsWithinTheLimits();
    void stepEditsAndDeletion();
    void stepEditorsPauseTheRecording();
    void treeCommands_data();
    void treeCommands();
    void newIsRefusedInAFullList();
    void filesGoThroughTheFileDialogs();
    void saveDialogAsksBeforeOverwriting();
    void fileNamesAndDamagedFiles();
    void failedSavesAreShown();
    void loopSettings();
    void scrollingFollowsBarAndWheel();
    void selectionRefusesFoldersAndHandsOverTheMacro();
    void closeRequestsSaveAndEndEverything_data();
    void closeRequestsSaveAndEndEverything();
    void stepDialogs_data();
    void stepDialogs();
    void ownNoticesFitTheirLine_data();
    void ownNoticesFitTheirLine();
};

// ---- recording ------------------------------------------------------------------------------

void TestMacroWindows::recordingTakesTheKeysWithTheirDelays_data() {
    // Per event: Qt key, X keycode, flags (1 release, 2 auto-repeat), event time.
    QTest::addColumn<QList<int>>("events");
    QTest::addColumn<bool>("delays");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("count");
    const QList<int> aThenRightShift{
        kA.qt,          kA.x,          0, 1000, kA.qt,          kA.x,          1, 1120,
        kRightShift.qt, kRightShift.x, 0, 1150, kRightShift.qt, kRightShift.x, 1, 1400};
    QTest::newRow("A, wait, release, then right Shift")
        << aThenRightShift << true << "41000000 03000078 41800000 0300001E A1000000 030000FA A1800000" << 4;
    QTest::newRow("without delays") << aThenRightShift << false << "41000000 41800000 A1000000 A1800000" << 4;
    QTest::newRow("a held key repeats its press")
        << QList<int>{kA.qt, kA.x, 0, 1000, kA.qt, kA.x, 2, 1030, kA.qt, kA.x, 2, 1060, kA.qt, kA.x, 1, 1100}
        << true << "41000000 03000064 41800000" << 2;
    QTest::newRow("a pause of 5 s counts 4095 ms") << QList<int>{kA.qt, kA.x, 0, 1000, kA.qt, kA.x, 1, 6000}
                                                   << true << "41000000 03000FFF 41800000" << 2;
    QTest::newRow("the time wraps at 2^31") << QList<int>{kA.qt, kA.x, 0, 0x7FFFFFF6, kA.qt, kA.x, 1, 0x14}
                                            << true << "41000000 0300001E 41800000" << 2;
    // A key held when the recording started, or a modifier another program lets go.
    QTest::newRow("a release whose press was not recorded is dropped")
        << QList<int>{kLeftShift.qt, kLeftShift.x, 1, 900,  kA.qt, kA.x, 0, 1000,
                      kA.qt,         kA.x,         1, 1100, kA.qt, kA.x, 1, 1200}
        << true << "41000000 03000064 41800000" << 2;
}

void TestMacroWindows::recordingTakesTheKeysWithTheirDelays() {
    QFETCH(QList<int>, events);
    QFETCH(bool, delays);
    QFETCH(QString, steps);
    QFETCH(int, count);
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    Fill(*f.library.MacroAt(m), 4, 0); // recording discards these
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    ClickTreeRow(dlg, 0);
    QCOMPARE(dlg.Editor().CurrentMacro(), f.library.MacroAt(m));
    if (!delays) ClickId(dlg, Mgr::kIdRecordDelays);
    ClickId(dlg, Mgr::kIdRecord);
    QVERIFY(dlg.Recording());
    QVERIFY(dlg.Hook().IsReceiving());
    // Keys typed into other programs cannot be captured here, and the window says so.
    const CControlBase* note = dlg.FindControl(Mgr::kIdCaptureNote);
    QVERIFY(note->IsShown());
    QCOMPARE(note->GetText(), CKeyboardHook::GlobalCaptureProblem());

    for (qsizetype i = 0; i + 3 < events.size(); i += 4)
        SendTimedKey(dlg, events[i + 2] & 1, events[i], static_cast<quint32>(events[i + 1]),
                     static_cast<ulong>(static_cast<unsigned>(events[i + 3])), events[i + 2] & 2);
    QCoreApplication::sendPostedEvents(); // the key messages
    const MacroKey& rec = *f.library.MacroAt(m);
    QCOMPARE(StepsHex(rec), steps);
    QCOMPARE(int(rec.MacroCommandActionNum), count);
    // The step list shows the macro down to its last step.
    const auto* list = static_cast<const CImageShowList*>(dlg.FindControl(CImageShowList::kId));
    QCOMPARE(list->DataRowCount(), static_cast<int>(rec.ValidCount()));

    // Stopping saves the library (written on the saver's thread).
    ClickId(dlg, Mgr::kIdRecord);
    QVERIFY(!dlg.Recording());
    QVERIFY(!dlg.Hook().IsStarted());
    QTRY_COMPARE(dlg.SavesPending(), 0);
    QVERIFY(dlg.LastSave().ok());
    MacroLibrary saved;
    QVERIFY(saved.Load(f.File()).ok());
    QCOMPARE(StepsHex(*saved.MacroAt(m)), steps);
}

// The 169th key event ends the recording with its notice; nothing is added,
// the capture stops and the library is saved. Keys after it are not recorded.
void TestMacroWindows::recordingStopsAtTheStepLimit() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    ClickTreeRow(dlg, 0);
    ClickId(dlg, Mgr::kIdRecord);
    DialogAnswers answers;
    // Past the most the mouse takes, the window shows the count against it.
    const CControlBase* count = dlg.FindControl(Mgr::kIdStepCount);
    ulong t = 1000;
    for (int i = 0; i < 170; ++i, t += 10) {
        SendTimedKey(dlg, i % 2, kA.qt, kA.x, t);
        if (i == 124 || i == 125) {
            QCoreApplication::sendPostedEvents();
            QCOMPARE(count->IsShown(), i == 125);
            if (i == 125) QCOMPARE(count->GetText(), QStringLiteral("126/125 steps"));
        }
    }
    QTRY_COMPARE(answers.notices, QStringList{L(235)});
    const MacroKey& rec = *f.library.MacroAt(m);
    QCOMPARE(int(rec.MacroCommandActionNum), 168);
    QCOMPARE(rec.ValidCount(), std::size_t(168 + 167));
    QVERIFY(!dlg.Recording());
    QVERIFY(!dlg.Hook().IsStarted());
    QVERIFY(!static_cast<const CCheckButton*>(dlg.FindControl(Mgr::kIdRecord))->IsChecked());
    QTRY_COMPARE(dlg.SavesPending(), 0);
    MacroLibrary saved;
    QVERIFY(saved.Load(f.File()).ok());
    QCOMPARE(int(saved.MacroAt(m)->MacroCommandActionNum), 168);
}

// ---- step insertion -------------------------------------------------------------------------

void TestMacroWindows::insertionsWithinTheLimits_data() {
    QTest::addColumn<int>("keySteps");  // the macro's key steps (MacroCommandActionNum)
    QTest::addColumn<int>("delays");    // and its delay steps
    QTest::addColumn<int>("kind");      // the insert pop-up's item value − 1
    QTest::addColumn<QString>("typed"); // the step editor's answer ("" none)
    QTest::addColumn<int>("notice");
    QTest::addColumn<int>("count");    // MacroCommandActionNum afterwards
    QTest::addColumn<int>("added");    // steps added
    QTest::addColumn<QString>("last"); // the selected step afterwards
    QTest::newRow("a click does not fit 167") << 167 << 0 << 0 << "" << 237 << 167 << 0 << "";
    QTest::newRow("a move fits 167") << 167 << 0 << 7 << "3" << 0 << 168 << 1 << "E60000FD";
    QTest::newRow("a right click into 166") << 166 << 0 << 1 << "" << 0 << 168 << 3 << "E1800000";
    QTest::newRow("a delay into 336 steps") << 100 << 236 << 3 << "" << 237 << 100 << 0 << "";
    QTest::newRow("a new delay of 200 ms counts one") << 10 << 0 << 3 << "200" << 0 << 11 << 1 << "030000C8";
    QTest::newRow("a key") << 10 << 0 << 4 << "B" << 0 << 12 << 3 << "42800000";
}

void TestMacroWindows::insertionsWithinTheLimits() {
    QFETCH(int, keySteps);
    QFETCH(int, delays);
    QFETCH(int, kind);
    QFETCH(QString, typed);
    QFETCH(int, notice);
    QFETCH(int, count);
    QFETCH(int, added);
    QFETCH(QString, last);
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    MacroKey& macro = *f.library.MacroAt(m);
    Fill(macro, keySteps, delays);
    const std::size_t before = macro.ValidCount();
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    ClickTreeRow(dlg, 0);
    DialogAnswers answers;
    if (kind == kInsertKey)
        answers.Queue(DialogAnswers::For<CActionKeyModifyDlg>([](CActionKeyModifyDlg& d) {
            SendTimedKey(d, false, kB.qt, kB.x, 5);
            QCoreApplication::sendPostedEvents();
            ClickId(d, CDlgBase::kIdConfirm);
        }));
    else if (kind == kInsertDelay && !typed.isEmpty())
        answers.Queue(TypeAndConfirm<CActionTimeModifyDlg>(typed));
    else if (kind >= kMoveLeft && !typed.isEmpty())
        answers.Queue(TypeAndConfirm<CActionXYModifyDlg>(typed));

    ClickId(dlg, Mgr::kIdInsert);
    QVERIFY(ChoosePopupItem(dlg, Mgr::kInsertPopupSlot, kind + 1));
    // The choice runs once the pop-up has gone.
    QTRY_VERIFY(dlg.Popup(Mgr::kInsertPopupSlot) == nullptr);
    if (notice)
        QTRY_COMPARE(answers.notices, QStringList{L(notice)});
    else
        QTRY_COMPARE(macro.ValidCount(), before + static_cast<std::size_t>(added));
    QVERIFY(answers.Idle());
    QVERIFY2(answers.unexpected.isEmpty(), qPrintable(answers.unexpected.join(' ')));
    QCOMPARE(int(macro.MacroCommandActionNum), count);
    QCOMPARE(macro.ValidCount(), before + static_cast<std::size_t>(added));
    const int selected = static_cast<const CImageShowList*>(dlg.FindControl(CImageShowList::kId))->Selected();
    if (last.isEmpty()) return;
    QCOMPARE(StepsHex(macro).split(' ').at(selected), last);
}

// Editing a delay across 127 ms counts one step more or less; a click step
// cannot be edited; deleting a key step counts one less, and the selection
// moves to the step before when the last one goes.
void TestMacroWindows::stepEditsAndDeletion() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    MacroKey& macro = *f.library.MacroAt(m);
    for (const MacroAction a : {MacroAction::Press(0xE0), MacroAction::Delay(50), MacroAction::Release(0xE0),
                                MacroAction::Press(0x41)})
        macro.InsertAction(macro.ValidCount(), a);
    macro.MacroCommandActionNum = 3;
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    ClickTreeRow(dlg, 0);
    CDlgBase& steps = dlg;
    const CControlBase& list = *steps.FindControl(CImageShowList::kId);
    DialogAnswers answers;

    answers.Queue(TypeAndConfirm<CActionTimeModifyDlg>(QStringLiteral("300")));
    ClickAt(dlg, RowCentre(list, 1));
    ClickId(dlg, Mgr::kIdEditStep);
    QCOMPARE(StepsHex(macro), QStringLiteral("E0000000 0300012C E0800000 41000000"));
    QCOMPARE(int(macro.MacroCommandActionNum), 4);

    // A double click edits too; a mouse-button step opens nothing.
    QTest::mouseDClick(dlg.windowHandle(), Qt::LeftButton, {}, RowCentre(list, 0));
    QCOMPARE(answers.answered, 1);

    ClickAt(dlg, RowCentre(list, 3));
    ClickId(dlg, Mgr::kIdDeleteStep);
    QCOMPARE(StepsHex(macro), QStringLiteral("E0000000 0300012C E0800000"));
    QCOMPARE(int(macro.MacroCommandActionNum), 3);
    QCOMPARE(static_cast<const CImageShowList&>(list).Selected(), 2);
}

// A step editor opened during a recording takes its keys for itself: what is
// typed into it is not recorded, and the recording goes on afterwards.
void TestMacroWindows::stepEditorsPauseTheRecording() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    ClickTreeRow(dlg, 0);
    ClickId(dlg, Mgr::kIdRecord);
    SendTimedKey(dlg, false, kA.qt, kA.x, 100);
    QCoreApplication::sendPostedEvents();
    DialogAnswers answers;
    // Confirmed with Enter: its release comes once the capture runs again.
    answers.Queue(DialogAnswers::For<CActionTimeModifyDlg>([](CActionTimeModifyDlg& d) {
        d.Field()->clear();
        d.Field()->setFocus();
        SendTimedKey(d, false, Qt::Key_5, 14, 200, false, QStringLiteral("5"));
        SendTimedKey(d, true, Qt::Key_5, 14, 210, false, QStringLiteral("5"));
        QCoreApplication::sendPostedEvents();
        SendTimedKey(d, false, Qt::Key_Return, 36, 220);
    }));
    ClickId(dlg, Mgr::kIdInsert);
    QVERIFY(ChoosePopupItem(dlg, Mgr::kInsertPopupSlot, kInsertDelay + 1));
    QTRY_VERIFY(answers.Idle());
    QTRY_VERIFY(dlg.Hook().IsReceiving());
    SendTimedKey(dlg, true, Qt::Key_Return, 36, 250);
    SendTimedKey(dlg, false, kB.qt, kB.x, 300);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(StepsHex(*f.library.MacroAt(m)), QStringLiteral("41000000 03000005 030000C8 42000000"));
    QCOMPARE(int(f.library.MacroAt(m)->MacroCommandActionNum), 2);
}

// ---- tree commands ----------------------------------------------------------------------------

void TestMacroWindows::treeCommands_data() {
    QTest::addColumn<int>("row"); // tree row clicked first (-1: a click below the rows)
    QTest::addColumn<int>(
        "command"); // -1: the new-macro button, -2: the delete button; else a menu item value − 1
    QTest::addColumn<QString>("typed"); // the name dialog's answer; "cancel" cancels the confirmation
    QTest::addColumn<int>("notice");
    QTest::addColumn<QStringList>("paths"); // the library afterwards
    // The rows: 0 "F" (open), 1 "F/used" (bound to a button), 2 "F/free", 3 "top".
    const QStringList start{"F/", "top", "F/used", "F/free"};
    QTest::newRow("new macro into a folder")
        << 0 << -1 << "fresh" << 0 << QStringList{"F/", "top", "F/used", "F/free", "F/fresh"};
    QTest::newRow("new macro with an empty name") << 0 << -1 << "" << 242 << start;
    QTest::newRow("new macro named with blanks only") << 0 << -1 << "   " << 242 << start;
    QTest::newRow("new macro beside a macro, name taken") << 3 << -1 << "top" << 241 << start;
    QTest::newRow("new folder from the menu")
        << -1 << int(Mgr::kCmdNewFolder) << "G" << 0 << QStringList{"F/", "top", "G/", "F/used", "F/free"};
    QTest::newRow("rename") << 3 << int(Mgr::kCmdRename) << "renamed" << 0
                            << QStringList{"F/", "renamed", "F/used", "F/free"};
    QTest::newRow("rename to a sibling's name") << 2 << int(Mgr::kCmdRename) << "used" << 241 << start;
    QTest::newRow("rename to blanks") << 3 << int(Mgr::kCmdRename) << " " << 242 << start;
    QTest::newRow("delete a folder in use") << 0 << -2 << "" << 257 << start;
    QTest::newRow("delete, cancelled") << 3 << -2 << "cancel" << 0 << start;
    QTest::newRow("delete") << 2 << int(Mgr::kCmdDelete) << "" << 0 << QStringList{"F/", "top", "F/used"};
    QTest::newRow("delete with nothing selected") << -1 << -2 << "" << 233 << start;
}

void TestMacroWindows::treeCommands() {
    QFETCH(int, row);
    QFETCH(int, command);
    QFETCH(QString, typed);
    QFETCH(int, notice);
    QFETCH(QStringList, paths);
    LibraryFolder f;
    const MacroLocation folder = f.Add(MacroLocation::None(), u"F", true);
    f.Add(MacroLocation::None(), u"top", false);
    const MacroLocation used = f.Add(folder, u"used", false);
    f.Add(folder, u"free", false);
    f.library.NodeAt(folder)->FolderIsOpen = true;
    // The current profile's button 2 plays "used".
    std::array<KeySlot, kKeyCount> keys{};
    keys[2].Action = {kFnMacro, 0, 0};
    keys[2].MacroKeyIndex = f.library.MacroAt(used)->MacroKeyIndex;
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File(), [&keys] { return std::span<const KeySlot>(keys); });
    QVERIFY(Show(dlg));
    // The manager opened with every folder closed; a double click opens F.
    QTest::mouseDClick(dlg.windowHandle(), Qt::LeftButton, {},
                       RowCentre(*dlg.FindControl(CEditShowList::kId), 0));
    QCOMPARE(f.library.RowCount(), 4);
    ClickTreeRow(dlg, row < 0 ? 10 : row);

    DialogAnswers answers;
    if (command == Mgr::kCmdRename)
        answers.Queue(TypeAndConfirm<CMacroKeyRenameDlg>(typed));
    else if (command == -1 || command == Mgr::kCmdNewFolder)
        answers.Queue(TypeAndConfirm<CMacroKeyOrFolderNameDlg>(typed));
    else
        answers.Queue(DialogAnswers::For<CConfirmDlg>([typed](CConfirmDlg& d) {
            ClickId(d, typed == QLatin1String("cancel") ? CDlgBase::kIdCancel : CDlgBase::kIdConfirm);
        }));

    if (command == -1) {
        ClickId(dlg, Mgr::kIdNewMacro);
    } else if (command == -2) {
        ClickId(dlg, Mgr::kIdDeleteNode);
    } else {
        const QPoint at = RowCentre(*dlg.FindControl(CEditShowList::kId), row < 0 ? 10 : row);
        ClickAt(dlg, at, Qt::RightButton);
        QVERIFY(ChoosePopupItem(dlg, Mgr::kTreeMenuSlot, command + 1));
    }
    if (notice) QTRY_COMPARE(answers.notices, QStringList{L(notice)});
    QTRY_COMPARE(Paths(f.library), paths);
    if (notice != 233) QTRY_VERIFY(answers.Idle());
    QVERIFY(answers.notices.size() <= 1);
    QVERIFY2(answers.unexpected.isEmpty(), qPrintable(answers.unexpected.join(' ')));
    // A new node is the selection, and its row is the tree's selected row.
    if (command == -1 && !notice) {
        QCOMPARE(PathOf(f.library, dlg.Editor().Selection()), std::u16string(u"F/fresh"));
        QCOMPARE(static_cast<const CEditShowList*>(dlg.FindControl(CEditShowList::kId))->Selected(), 3);
    }
}

// ---- files -----------------------------------------------------------------------------------

// The context menu's file commands ask the file dialog with their title, filter,
// suffix and proposed name, and act on the path it answers.
void TestMacroWindows::filesGoThroughTheFileDialogs() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    Fill(*f.library.MacroAt(m), 2, 1);
    f.Add(MacroLocation::None(), u"n", false);
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    std::vector<FileDialogRequest> asked;
    QString answer;
    dlg.SetFileDialog([&](QWidget* owner, const FileDialogRequest& r) {
        if (owner != &dlg) return QString();
        asked.push_back(r);
        return answer;
    });
    QVERIFY(Show(dlg));
    DialogAnswers answers;
    auto run = [&](int row, int command, const QString& path) {
        answer = path;
        const std::size_t before = asked.size();
        const QPoint at = RowCentre(*dlg.FindControl(CEditShowList::kId), row);
        ClickAt(dlg, at, Qt::RightButton);
        if (!ChoosePopupItem(dlg, Mgr::kTreeMenuSlot, command + 1)) return false;
        return QTest::qWaitFor([&] { return asked.size() > before; });
    };

    const QString mkf = f.dir.filePath(QStringLiteral("m.mkf"));
    QVERIFY(run(0, Mgr::kCmdExportMacro, mkf));
    QCOMPARE(int(asked.back().mode), int(FileDialogRequest::Mode::Save));
    QCOMPARE(asked.back().title, L(253));
    QCOMPARE(asked.back().filter, QStringLiteral("mkf file(*.mkf)"));
    QCOMPARE(asked.back().defaultSuffix, QStringLiteral("mkf"));
    QCOMPARE(asked.back().initialName, QStringLiteral("m.mkf"));
    MacroLibrary exported;
    MacroLocation fileSelection;
    QVERIFY(exported.Load(std::filesystem::path(mkf.toStdString()), &fileSelection).ok());
    QCOMPARE(fileSelection, m);

    // Importing it where "m" exists is refused with its notice.
    QVERIFY(run(1, Mgr::kCmdImportMacro, mkf));
    QCOMPARE(int(asked.back().mode), int(FileDialogRequest::Mode::Open));
    QCOMPARE(asked.back().title, L(254));
    QTRY_COMPARE(answers.notices, QStringList{L(241)});
    QCOMPARE(Paths(f.library), (QStringList{"m", "n"}));

    // The library with nothing selected: "AllMacroKey.mbf"; imported into a
    // new folder it brings every top-level node.
    const QString mbf = f.dir.filePath(QStringLiteral("all.mbf"));
    QVERIFY(run(5, Mgr::kCmdExportLibrary, mbf));
    QCOMPARE(asked.back().title, L(255));
    QCOMPARE(asked.back().initialName, QStringLiteral("AllMacroKey.mbf"));
    QCOMPARE(asked.back().filter, QStringLiteral("mbf file(*.mbf)"));
    QVERIFY(std::filesystem::exists(mbf.toStdString()));
    dlg.Editor().Select(MacroLocation::None());
    dlg.Editor().NewFolder(u"F");
    QVERIFY(run(2, Mgr::kCmdImportLibrary, mbf));
    QCOMPARE(asked.back().title, L(256));
    QCOMPARE(asked.back().directory, QDir::currentPath());
    QTRY_COMPARE(Paths(f.library), (QStringList{"m", "n", "F/", "F/m", "F/n"}));

    // A cancelled dialog does nothing; an export that cannot be written is shown.
    QVERIFY(run(0, Mgr::kCmdExportMacro, QString()));
    QVERIFY(run(0, Mgr::kCmdExportMacro, f.dir.filePath(QStringLiteral("missing/m.mkf"))));
    QTRY_COMPARE(answers.notices, (QStringList{L(241), L(259)}));
}

// The save dialog takes a new name, adds the suffix and asks before it
// overwrites; the open dialog takes existing files only.
void TestMacroWindows::saveDialogAsksBeforeOverwriting() {
    QWidget owner;
    const auto save =
        MakeFileDialog(&owner, {FileDialogRequest::Mode::Save, QStringLiteral("t"), MacroFileFilter(),
                                QStringLiteral("mkf"), QStringLiteral("m.mkf"), QDir::tempPath()});
    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(save->fileMode(), QFileDialog::AnyFile);
    QVERIFY(!save->testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(save->defaultSuffix(), QStringLiteral("mkf"));
    QCOMPARE(save->nameFilters(), QStringList{MacroFileFilter()});
    QCOMPARE(save->windowTitle(), QStringLiteral("t"));
    const auto open =
        MakeFileDialog(&owner, {FileDialogRequest::Mode::Open, QStringLiteral("t"), LibraryFileFilter(),
                                QStringLiteral("mbf"), QString(), QString()});
    QCOMPARE(open->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(open->fileMode(), QFileDialog::ExistingFile);
}

// A library that cannot be saved is shown when a recording ends and when the
// window closes; it stays in memory, and the window says the file does not
// hold it.
void TestMacroWindows::failedSavesAreShown() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    const std::filesystem::path file = f.File().parent_path() / "missing" / "MacroLibraryFile.mlf";
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, file);
    QVERIFY(Show(dlg));
    DialogAnswers answers;
    ClickTreeRow(dlg, 0);
    ClickId(dlg, Mgr::kIdRecord);
    SendTimedKey(dlg, false, kA.qt, kA.x, 10);
    QCoreApplication::sendPostedEvents();
    ClickId(dlg, Mgr::kIdRecord);
    QTRY_COMPARE(answers.notices, QStringList{L(258)});
    QVERIFY(!dlg.LastSave().ok());
    ClickId(dlg, CDlgBase::kIdClose);
    QTRY_COMPARE(answers.notices, (QStringList{L(258), L(258)}));
    QTRY_VERIFY(!dlg.isVisible());
    QVERIFY(!dlg.LibrarySaved());
    QCOMPARE(StepsHex(*f.library.MacroAt(m)), QStringLiteral("41000000"));
}

// ---- loop settings and scrolling -------------------------------------------------------------

void TestMacroWindows::loopSettings() {
    LibraryFolder f;
    const MacroLocation a = f.Add(MacroLocation::None(), u"a", false);
    const MacroLocation b = f.Add(MacroLocation::None(), u"b", false);
    f.library.MacroAt(b)->MacroKeyLoopType = 4;
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    // The library is saved as it is edited: no OK or cancel is drawn.
    QVERIFY(!dlg.FindControl(CDlgBase::kIdConfirm));
    QVERIFY(!dlg.FindControl(CDlgBase::kIdCancel));
    DialogAnswers answers;
    const RadioGroups& radios = dlg.Radios();
    // No macro: a radio click selects nothing.
    ClickId(dlg, Mgr::kIdLoopOnce);
    QCOMPARE(radios.SelectedIn(Mgr::kIdLoopOnce), 0);
    QVERIFY(!dlg.CountEdit()->isVisible());

    ClickTreeRow(dlg, 0); // type 2, count 1
    QCOMPARE(radios.SelectedIn(Mgr::kIdLoopOnce), int(Mgr::kIdLoopCount));
    QVERIFY(dlg.CountEdit()->isVisible());
    QCOMPARE(dlg.CountEdit()->text(), QStringLiteral("1"));
    dlg.CountEdit()->setFocus();
    dlg.CountEdit()->selectAll();
    QTest::keyClicks(dlg.CountEdit(), QStringLiteral("300"));
    QCOMPARE(dlg.CountEdit()->text(), QStringLiteral("255"));
    QCOMPARE(int(f.library.MacroAt(a)->MacroKeyLoopNum), 255);
    // Cleared, the field stays empty for the next digits.
    QTest::keyClick(dlg.CountEdit(), Qt::Key_Backspace);
    QTest::keyClick(dlg.CountEdit(), Qt::Key_Backspace);
    QTest::keyClick(dlg.CountEdit(), Qt::Key_Backspace);
    QCOMPARE(dlg.CountEdit()->text(), QString());
    QTest::keyClicks(dlg.CountEdit(), QStringLiteral("7"));
    QCOMPARE(dlg.CountEdit()->text(), QStringLiteral("7"));
    QCOMPARE(int(f.library.MacroAt(a)->MacroKeyLoopNum), 7);
    // Left empty, it shows the count again.
    QTest::keyClick(dlg.CountEdit(), Qt::Key_Backspace);
    QTest::keyClick(dlg.CountEdit(), Qt::Key_Return);
    QCOMPARE(dlg.CountEdit()->text(), QStringLiteral("7"));
    QTest::keyClick(dlg.CountEdit(), Qt::Key_Backspace);
    QTest::keyClicks(dlg.CountEdit(), QStringLiteral("0"));
    QCOMPARE(dlg.CountEdit()->text(), QStringLiteral("1"));
    QTest::keyClicks(dlg.CountEdit(), QStringLiteral("x"));
    QTRY_COMPARE(answers.notices, QStringList{L(175)});
    // Enter and Escape do not end the window.
    QTest::keyClick(dlg.CountEdit(), Qt::Key_Escape);
    QTest::keyClick(dlg.CountEdit(), Qt::Key_Return);
    QVERIFY(dlg.isVisible());

    ClickTreeRow(dlg, 1);
    QCOMPARE(radios.SelectedIn(Mgr::kIdLoopOnce), int(Mgr::kIdLoopHeld));
    QVERIFY(!dlg.CountEdit()->isVisible());
    ClickId(dlg, Mgr::kIdLoopOnce);
    QCOMPARE(int(f.library.MacroAt(b)->MacroKeyLoopType), 1);
    ClickId(dlg, Mgr::kIdLoopCount);
    QCOMPARE(int(f.library.MacroAt(b)->MacroKeyLoopType), 2);
    QVERIFY(dlg.CountEdit()->isVisible());
}

// Arrow clicks and wheel notches move one row, track clicks one page (the
// visible rows less one); the bar follows the list, and a recording holds it.
void TestMacroWindows::scrollingFollowsBarAndWheel() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    Fill(*f.library.MacroAt(m), 40, 0);
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    ClickTreeRow(dlg, 0);
    const auto* list = static_cast<const CImageShowList*>(dlg.FindControl(CImageShowList::kId));
    const auto* bar = static_cast<const CVScrollBar*>(dlg.FindControl(Mgr::kIdStepScroll));
    const int page = list->VisibleCount() - 1;
    QCOMPARE(bar->Total(), 40);
    QCOMPARE(bar->Page(), list->VisibleCount());

    const QPoint down = skintest::Centre(bar->BottomArrowRect());
    ClickAt(dlg, down);
    QCOMPARE(list->First(), 1);
    ClickAt(dlg, QPoint(down.x(), bar->ThumbRect().bottom + 3));
    QCOMPARE(list->First(), 1 + page);
    QCOMPARE(bar->Position(), list->First());
    const QPoint over = RowCentre(*list, 2);
    QWheelEvent wheel(over, dlg.mapToGlobal(over), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&dlg, &wheel);
    QCOMPARE(list->First(), page - 1);
    for (int i = 0; i < 5; ++i) ClickAt(dlg, QPoint(down.x(), bar->ThumbRect().bottom + 3));
    QCOMPARE(list->First(), 40 - list->VisibleCount()); // never past the end

    ClickId(dlg, Mgr::kIdRecord);
    ClickAt(dlg, skintest::Centre(bar->TopArrowRect()));
    QCOMPARE(list->First(), 0); // the recording emptied the list
    QVERIFY(bar->IsDisabled());
    ClickId(dlg, Mgr::kIdRecord);
    QVERIFY(!bar->IsDisabled());
}

// ---- macro selection ---------------------------------------------------------------------

void TestMacroWindows::selectionRefusesFoldersAndHandsOverTheMacro() {
    LibraryFolder f;
    const MacroLocation folder = f.Add(MacroLocation::None(), u"F", true);
    const MacroLocation m = f.Add(folder, u"inner", false);
    MacroKey& macro = *f.library.MacroAt(m);
    Fill(macro, 4, 3);
    macro.MacroKeyLoopType = 1;
    f.library.NodeAt(folder)->FolderIsOpen = true;
    Fill(*f.library.MacroAt(f.Add(MacroLocation::None(), u"long", false)), 126, 0);
    Parent parent;
    QVERIFY(Show(parent));
    CMacroSelectDlg dlg(&parent, f.library);
    QVERIFY(Show(dlg));
    QCOMPARE(OpenDialogList()[0].data(), &dlg);
    DialogAnswers answers;
    // Every folder closed at first; OK with nothing or a folder selected is refused.
    const auto* tree = static_cast<const CEditShowList*>(dlg.FindControl(CEditShowList::kId));
    QCOMPARE(tree->DataRowCount(), 2);
    ClickId(dlg, CDlgBase::kIdConfirm);
    ClickTreeRow(dlg, 0);
    ClickId(dlg, CDlgBase::kIdConfirm);
    // A macro longer than the mouse takes: the button keeps what it has.
    ClickTreeRow(dlg, 1);
    ClickId(dlg, CDlgBase::kIdConfirm);
    QTRY_COMPARE(answers.notices,
                 (QStringList{L(234), L(234), QStringLiteral("126 steps: the mouse holds at most 125.")}));
    QVERIFY(dlg.isVisible());
    QVERIFY(!parent.choice);

    // A double click opens the folder; its macro is chosen.
    QTest::mouseDClick(dlg.windowHandle(), Qt::LeftButton, {}, RowCentre(*tree, 0));
    QCOMPARE(tree->DataRowCount(), 3);
    ClickTreeRow(dlg, 1);
    ClickId(dlg, CDlgBase::kIdConfirm);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(parent.choice && parent.macro);
    QCOMPARE(parent.choice->name, LanguageString(190) + u"inner");
    QCOMPARE(parent.choice->action, (KeyAction{kFnMacro, 0, 0}));

    // The main window copies it into the button.
    ProfileRecord profile;
    profile.Keys[0].Action = {kFnMouseButton, 0x01, 0}; // the left button stays
    const AssignOutcome out =
        AssignButtonWithRule(profile, kFirstButtonControl + 2, *parent.choice, &*parent.macro);
    QVERIFY(out.assigned && !out.reverted);
    const KeySlot& slot = profile.Keys[2];
    QCOMPARE(slot.MacroKeyIndex, macro.MacroKeyIndex);
    QCOMPARE(StepsHex(slot.Macro), StepsHex(macro));
    QCOMPARE(int(slot.Macro.MacroKeyLoopType), 1);
}

// ---- close requests ------------------------------------------------------------------------

void TestMacroWindows::closeRequestsSaveAndEndEverything_data() {
    QTest::addColumn<QString>("state"); // what runs when the request comes
    QTest::addColumn<QString>("saved"); // the steps the library file holds afterwards
    QTest::newRow("idle") << "idle"
                          << "41000000";
    QTest::newRow("recording") << "recording"
                               << "41000000 03000014 41800000";
    QTest::newRow("a key step being inserted") << "key dialog"
                                               << "41000000";
    QTest::newRow("a notice") << "notice"
                              << "41000000";
    QTest::newRow("a file dialog") << "file dialog"
                                   << "41000000";
}

void TestMacroWindows::closeRequestsSaveAndEndEverything() {
    QFETCH(QString, state);
    QFETCH(QString, saved);
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    Fill(*f.library.MacroAt(m), 1, 0);
    Parent parent;
    QVERIFY(Show(parent));
    auto dlg = std::make_unique<Mgr>(&parent, f.library, f.File());
    // A file dialog of the program's kind: modal over the manager.
    dlg->SetFileDialog([](QWidget* owner, const FileDialogRequest&) {
        QDialog d(owner);
        d.exec();
        return QString();
    });
    QVERIFY(Show(*dlg));
    ClickTreeRow(*dlg, 0);
    QCOMPARE(OpenDialogList()[0].data(), dlg.get());

    // Whatever runs on top of the window is found by a watcher, which then
    // sends the close request as the main window's exit paths do. It runs
    // from the start: the dialogs run their own event loops.
    bool requested = false, ready = false;
    QPointer<QWidget> onTop;
    bool sawOnTop = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (requested) return;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != dlg.get() && w != &parent && qobject_cast<QDialog*>(w) && w->isVisible()) onTop = w;
        if (ready || onTop) {
            sawOnTop = onTop;
            requested = true;
            CloseOpenDialogs();
        }
    });
    watch.start(5);
    if (state == QLatin1String("recording")) {
        ClickId(*dlg, Mgr::kIdRecord);
        SendTimedKey(*dlg, false, kA.qt, kA.x, 100);
        SendTimedKey(*dlg, true, kA.qt, kA.x, 120);
        QCoreApplication::sendPostedEvents();
        QVERIFY(dlg->Hook().IsReceiving());
    } else if (state == QLatin1String("key dialog")) {
        ClickId(*dlg, Mgr::kIdInsert);
        QVERIFY(ChoosePopupItem(*dlg, Mgr::kInsertPopupSlot, kInsertKey + 1));
    } else if (state == QLatin1String("notice")) {
        ClickTreeRow(*dlg, 5); // nothing selected: delete answers with a notice
        ClickId(*dlg, Mgr::kIdDeleteNode);
    } else if (state == QLatin1String("file dialog")) {
        const QPoint at = RowCentre(*dlg->FindControl(CEditShowList::kId), 0);
        ClickAt(*dlg, at, Qt::RightButton);
        QVERIFY(ChoosePopupItem(*dlg, Mgr::kTreeMenuSlot, Mgr::kCmdImportMacro + 1));
    }
    ready = state == QLatin1String("idle") || state == QLatin1String("recording");
    QTRY_VERIFY(requested);
    QTRY_VERIFY(!dlg->isVisible());
    // What ran on top of the window has ended (and, where it lived on the
    // handler's stack, is gone).
    QCOMPARE(sawOnTop, !ready);
    QVERIFY(!onTop || !onTop->isVisible());
    QVERIFY(!dlg->Hook().IsStarted());
    QVERIFY(!dlg->Recording());
    QVERIFY(dlg->LibrarySaved());
    MacroLibrary file;
    QVERIFY(file.Load(f.File()).ok());
    QCOMPARE(StepsHex(*file.MacroAt(m)), saved);
    QCOMPARE(StepsHex(*f.library.MacroAt(m)), saved);
    dlg.reset();
    QVERIFY(OpenDialogList()[0].isNull());
}

// ---- step and name dialogs -------------------------------------------------------------------

void TestMacroWindows::stepDialogs_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("step");  // the step given (b0 b1 b2 b3)
    QTest::addColumn<QString>("shown"); // the field's text at first
    QTest::addColumn<QString>("typed"); // typed into the field, then Enter; or a key pressed
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("result"); // the step made, or the name
    QTest::addColumn<int>("notice");     // shown while typing
    QTest::newRow("delay capped") << "time"
                                  << "03000064"
                                  << "100"
                                  << "20000000" << true << "03E975A0" << 0;
    QTest::newRow("a letter is entered, with a notice") << "time"
                                                        << "03000064"
                                                        << "100"
                                                        << "12a" << true << "0300000C" << 175;
    QTest::newRow("move 0 becomes 1") << "move right"
                                      << "E5000001"
                                      << "1"
                                      << "0" << true << "E5000001" << 0;
    QTest::newRow("move 500 becomes 127") << "move left"
                                          << "E50000FF"
                                          << "1"
                                          << "500" << true << "E5000081" << 0;
    QTest::newRow("move up 3") << "move up"
                               << "E60000FF"
                               << "1"
                               << "3" << true << "E60000FD" << 0;
    QTest::newRow("key: left Shift") << "key"
                                     << "41000000"
                                     << "A"
                                     << "left shift" << true << "A0000000" << 0;
    QTest::newRow("new name") << "name"
                              << ""
                              << ""
                              << "Combo 2" << true << "Combo 2" << 0;
    QTest::newRow("rename unchanged is a cancel") << "rename"
                                                  << ""
                                                  << "old"
                                                  << "" << false << "old" << 0;
    QTest::newRow("rename") << "rename"
                            << ""
                            << "old"
                            << "new" << true << "new" << 0;
}

void TestMacroWindows::stepDialogs() {
    QFETCH(QString, dialog);
    QFETCH(QString, step);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(QString, result);
    QFETCH(int, notice);
    const std::uint32_t v = step.isEmpty() ? 0 : step.toUInt(nullptr, 16);
    const MacroAction given = MacroAction::FromBytes(v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    Parent parent;
    QVERIFY(Show(parent));
    std::unique_ptr<CMacroFieldDlg> dlg;
    if (dialog == QLatin1String("time")) dlg = std::make_unique<CActionTimeModifyDlg>(&parent, given);
    if (dialog == QLatin1String("move left"))
        dlg = std::make_unique<CActionXYModifyDlg>(&parent, given, kMoveLeft);
    if (dialog == QLatin1String("move right"))
        dlg = std::make_unique<CActionXYModifyDlg>(&parent, given, kMoveRight);
    if (dialog == QLatin1String("move up"))
        dlg = std::make_unique<CActionXYModifyDlg>(&parent, given, kMoveUp);
    if (dialog == QLatin1String("key")) dlg = std::make_unique<CActionKeyModifyDlg>(&parent, given);
    if (dialog == QLatin1String("name")) dlg = std::make_unique<CMacroKeyOrFolderNameDlg>(&parent, false);
    if (dialog == QLatin1String("rename")) dlg = std::make_unique<CMacroKeyRenameDlg>(&parent, u"old");
    QVERIFY(dlg);
    QVERIFY(Show(*dlg));
    QCOMPARE(OpenDialogList()[0].data(), dlg.get());
    DialogAnswers answers;
    if (auto* key = dynamic_cast<CActionKeyModifyDlg*>(dlg.get())) {
        QCOMPARE(dlg->FindControl(CMacroFieldDlg::kIdKeyText)->GetText(), shown);
        QVERIFY(key->Hook().IsReceiving());
        // Escape and Enter are keys here, taken as the step's key, not dialog commands.
        SendTimedKey(*dlg, false, Qt::Key_Escape, 9, 1);
        SendTimedKey(*dlg, false, kLeftShift.qt, kLeftShift.x, 2);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(dlg->FindControl(CMacroFieldDlg::kIdKeyText)->GetText(), QStringLiteral("Shift_L"));
        ClickId(*dlg, CDlgBase::kIdConfirm);
        QVERIFY(!key->Hook().IsStarted());
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(key->Code(), std::uint8_t(0xA0));
        return;
    }
    QLineEdit* field = dlg->Field();
    QCOMPARE(field->text(), shown);
    QTRY_COMPARE(field->cursorPosition(), int(shown.size()));
    QVERIFY(!field->hasSelectedText());
    field->setFocus();
    QTest::keyClick(field, Qt::Key_Escape); // swallowed
    QVERIFY(dlg->isVisible());
    if (!typed.isEmpty()) {
        field->selectAll();
        QTest::keyClicks(field, typed);
    }
    if (notice) QTRY_COMPARE(answers.notices, QStringList{L(notice)});
    QTest::keyClick(field, Qt::Key_Return); // as OK
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(answers.notices.size(), notice ? 1 : 0);
    QString got;
    if (auto* t = dynamic_cast<CActionTimeModifyDlg*>(dlg.get()))
        got = StepsHex([&] {
            MacroKey k;
            k.InsertAction(0, t->Step());
            return k;
        }());
    else if (auto* x = dynamic_cast<CActionXYModifyDlg*>(dlg.get()))
        got = StepsHex([&] {
            MacroKey k;
            k.InsertAction(0, x->Step());
            return k;
        }());
    else
        got = dlg->Text();
    QCOMPARE(got, result);
}

// ---- a recording and its macro ------------------------------------------------------------

// A recording belongs to the macro it started in: a click on another macro
// ends it (and saves) before the next key, and New ends it before its name is
// typed.
void TestMacroWindows::recordingBelongsToItsMacro() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"m", false);
    const MacroLocation n = f.Add(MacroLocation::None(), u"n", false);
    Fill(*f.library.MacroAt(n), 2, 0);
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    DialogAnswers answers;
    const auto* record = static_cast<const CCheckButton*>(dlg.FindControl(Mgr::kIdRecord));
    ClickTreeRow(dlg, 0);
    ClickId(dlg, Mgr::kIdRecord);
    SendTimedKey(dlg, false, kA.qt, kA.x, 100);
    QCoreApplication::sendPostedEvents();
    ClickTreeRow(dlg, 0); // its own row: the recording goes on
    QVERIFY(dlg.Recording());
    ClickTreeRow(dlg, 1);
    QVERIFY(!dlg.Recording());
    QVERIFY(!dlg.Hook().IsStarted());
    QVERIFY(!record->IsChecked());
    SendTimedKey(dlg, true, kA.qt, kA.x, 200);
    SendTimedKey(dlg, false, kB.qt, kB.x, 300);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(StepsHex(*f.library.MacroAt(m)), QStringLiteral("41000000"));
    QCOMPARE(StepsHex(*f.library.MacroAt(n)), QStringLiteral("41000000 41800000"));
    QTRY_COMPARE(dlg.SavesPending(), 0);
    MacroLibrary saved;
    QVERIFY(saved.Load(f.File()).ok());
    QCOMPARE(StepsHex(*saved.MacroAt(m)), QStringLiteral("41000000"));

    ClickTreeRow(dlg, 0);
    ClickId(dlg, Mgr::kIdRecord);
    SendTimedKey(dlg, false, kB.qt, kB.x, 400);
    QCoreApplication::sendPostedEvents();
    answers.Queue(DialogAnswers::For<CMacroKeyOrFolderNameDlg>([](CMacroKeyOrFolderNameDlg& d) {
        d.Field()->setFocus();
        SendTimedKey(d, false, Qt::Key_X, 53, 500, false, QStringLiteral("x"));
        SendTimedKey(d, true, Qt::Key_X, 53, 510, false, QStringLiteral("x"));
        QCoreApplication::sendPostedEvents();
        ClickId(d, CDlgBase::kIdConfirm);
    }));
    ClickId(dlg, Mgr::kIdNewMacro);
    QTRY_VERIFY(answers.Idle());
    QVERIFY(!dlg.Recording());
    QVERIFY(!record->IsChecked());
    QCOMPARE(StepsHex(*f.library.MacroAt(m)), QStringLiteral("42000000"));
    QCOMPARE(Paths(f.library), (QStringList{"m", "n", "x"}));
    QCOMPARE(dlg.Editor().CurrentMacro()->ValidCount(), std::size_t(0));
    QVERIFY2(answers.unexpected.isEmpty(), qPrintable(answers.unexpected.join(' ')));
}

// A list of 60 entries takes no new node: New says so before asking for a name.
void TestMacroWindows::newIsRefusedInAFullList() {
    LibraryFolder f;
    for (int i = 0; i < MacroLibrary::kEntries; ++i)
        f.Add(MacroLocation::None(), QString::number(i).toStdU16String(), false);
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    QVERIFY(Show(dlg));
    DialogAnswers answers;
    ClickId(dlg, Mgr::kIdNewMacro);
    QTRY_COMPARE(answers.notices, QStringList{OwnText(ProgramText::NoFreeEntry)});
    QVERIFY(answers.unexpected.isEmpty()); // no name dialog
    QCOMPARE(f.library.ChildRun(MacroLocation::None()).size(), std::size_t(MacroLibrary::kEntries));
}

// ---- file names and damaged files ---------------------------------------------------------

// A macro named with a path character is proposed under a name the save can
// write; a damaged or unreadable import is told and logged.
void TestMacroWindows::fileNamesAndDamagedFiles() {
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"x/y", false);
    Fill(*f.library.MacroAt(m), 2, 0);
    Parent parent;
    QVERIFY(Show(parent));
    Mgr dlg(&parent, f.library, f.File());
    std::vector<FileDialogRequest> asked;
    QString answer;
    dlg.SetFileDialog([&](QWidget*, const FileDialogRequest& r) {
        asked.push_back(r);
        return answer;
    });
    QVERIFY(Show(dlg));
    DialogAnswers answers;
    ProblemCollector problems;
    auto run = [&](int command, const QString& path) {
        answer = path;
        const std::size_t before = asked.size();
        ClickAt(dlg, RowCentre(*dlg.FindControl(CEditShowList::kId), 0), Qt::RightButton);
        if (!ChoosePopupItem(dlg, Mgr::kTreeMenuSlot, command + 1)) return false;
        return QTest::qWaitFor([&] { return asked.size() > before; });
    };

    QVERIFY(run(Mgr::kCmdExportMacro, f.dir.filePath(QStringLiteral("x_y.mkf"))));
    QCOMPARE(asked.back().initialName, QStringLiteral("x_y.mkf"));
    QVERIFY(run(Mgr::kCmdExportLibrary, f.dir.filePath(QStringLiteral("x_y.mbf"))));
    QCOMPARE(asked.back().initialName, QStringLiteral("x_y.mbf"));
    QVERIFY(std::filesystem::exists(f.dir.filePath(QStringLiteral("x_y.mkf")).toStdString()));
    QVERIFY(std::filesystem::exists(f.dir.filePath(QStringLiteral("x_y.mbf")).toStdString()));

    // Line 2 has no "=": nothing comes before the damage.
    const QString bad = f.dir.filePath(QStringLiteral("bad.mkf"));
    QFile out(bad);
    QVERIFY(out.open(QIODevice::WriteOnly));
    const QString text = QStringLiteral("[MacroLibrary]\nMacroKeyIndex 7\n");
    out.write("\xFF\xFE", 2);
    out.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    out.close();
    QVERIFY(run(Mgr::kCmdImportMacro, bad));
    QVERIFY(run(Mgr::kCmdImportLibrary, f.dir.filePath(QStringLiteral("gone.mbf"))));
    QTRY_COMPARE(answers.notices, (QStringList{QStringLiteral("The file is damaged at line 2."),
                                               OwnText(ProgramText::MacroFileNotRead)}));
    QCOMPARE(Paths(f.library), QStringList{"x/y"});
    QCOMPARE(problems.Problems().size(), std::size_t(2));
    QVERIFY(QString::fromStdString(problems.Problems()[0]).contains(QStringLiteral("bad.mkf: line 2")));
    QVERIFY(QString::fromStdString(problems.Problems()[1]).contains(QStringLiteral("gone.mbf")));
}

// ---- the program's own notices ------------------------------------------------------------

// The notices the macro windows and the upload make themselves fit the
// notice's one line at every scale, whatever the language's font.
void TestMacroWindows::ownNoticesFitTheirLine_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<QString>("language");
    for (double scale : {1.0, 1.5, 2.0})
        for (const char* language : {"lang/Lan_EN.txt", "lang/Lan.txt"})
            QTest::addRow("%s at %.1f", language, scale) << scale << QString::fromLatin1(language);
}

void TestMacroWindows::ownNoticesFitTheirLine() {
    QFETCH(double, scale);
    QFETCH(QString, language);
    QFile file(QDir(QString::fromStdString(ProgramFolder().string())).filePath(language));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    SetUiScale(scale);
    QVERIFY(Language().LoadText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                UiScale()));
    // With TARVIK_ARTEFACTS set, each window is kept as a picture to look at.
    const QString artefacts = qEnvironmentVariable("TARVIK_ARTEFACTS");
    const QString suffix = QStringLiteral("%1-%2.png").arg(language.contains(u'_') ? "en" : "zh").arg(scale);
    auto keep = [&](QWidget& w, const QString& name) {
        if (artefacts.isEmpty() || !QDir().mkpath(artefacts)) return;
        QVERIFY(w.grab().save(QDir(artefacts).filePath(name + QLatin1Char('-') + suffix)));
    };
    const int most = MacroKey::kMaxMouseCommandActions;
    const std::pair<const char*, QString> texts[] = {
        {"notice-macro-too-long", OwnText(ProgramText::MacroTooLongToChoose).arg(168).arg(most)},
        {"notice-button-off", OwnText(ProgramText::MacroTooLong).arg(6).arg(168).arg(most)},
        {"notice-no-free-entry", OwnText(ProgramText::NoFreeEntry)},
        {"notice-file-damaged", OwnText(ProgramText::MacroFileDamaged).arg(99999)},
        {"notice-file-not-read", OwnText(ProgramText::MacroFileNotRead)},
    };
    for (const auto& [name, text] : texts) {
        CAttentionDlg notice(QString(), text);
        QVERIFY(Show(notice));
        const CControlBase* message = notice.FindControl(CAttentionDlg::kIdMessage);
        const int width = QFontMetrics(message->Font()).horizontalAdvance(text);
        QVERIFY2(width < message->GetRect().Width(), qPrintable(text));
        keep(notice, QString::fromLatin1(name));
    }
    // The step count beside the step list's caption, for a macro of 168 steps.
    LibraryFolder f;
    const MacroLocation m = f.Add(MacroLocation::None(), u"long", false);
    Fill(*f.library.MacroAt(m), 168, 0);
    Mgr dlg(nullptr, f.library, f.File());
    QVERIFY(Show(dlg));
    dlg.SelectNode(m);
    const CControlBase* count = dlg.FindControl(Mgr::kIdStepCount);
    const CControlBase* caption = dlg.FindControl(2026);
    QVERIFY(count->IsShown());
    const QString shown = OwnText(ProgramText::StepsOverMouseLimit).arg(168).arg(most);
    QCOMPARE(count->GetText(), shown);
    const QFontMetrics metrics(count->Font());
    QVERIFY(metrics.horizontalAdvance(shown) < count->GetRect().Width());
    QVERIFY(caption->GetRect().left + QFontMetrics(caption->Font()).horizontalAdvance(caption->GetText()) <
            count->GetRect().right - metrics.horizontalAdvance(shown));
    keep(dlg, QStringLiteral("macro-manager-over-limit"));
    SetUiScale(1.0);
    QVERIFY(LoadEnglish());
}

QTEST_MAIN(TestMacroWindows)
#include "tst_macrowindows.moc"
