// Every text the program makes for a notice, in both shipped languages at the
// three UI scales: each fits its dialog (a long one wraps and grows the
// notice), as do the macro manager's labels; a picture of every one goes to
// the test artefacts
// (screenshots/<language>-<scale>/), with one sheet of them all per language
// and scale to look over, beside the main window of that language and scale.
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTest>

#include "MainWindowHarness.h"
#include "device/ui/NoticeDialogs.h"
#include "macro/ui/MacroManagerDlg.h"
#include "mainwnd/MainLayout.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "text/Notices.h"
#include "text/ProgramTexts.h"

using namespace tarvik;
using namespace mainwndtest;

namespace {

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

// The program's own texts with a value where they take one: what a notice
// built from them can look like at its longest.
QString ProgramNotice(ProgramText id) {
    QString text = QString::fromStdU16String(std::u16string(ProgramTextString(id)));
    if (!text.contains(QLatin1String("%1"))) return text;
    switch (id) {
    case ProgramText::ProfileNotImported:
        return text.arg(QStringLiteral("line 1: the file does not begin with the line [Setting]"));
    case ProgramText::ProfilesNotSaved:
        return text.arg(QStringLiteral(
            "/home/someone/.config/PelcorData20230619A/config/ProfileSlot3.psf: No space left on device"));
    case ProgramText::MacroTooLong: // button, steps, the mouse's limit
        return text.arg(6).arg(336).arg(125);
    case ProgramText::MacroTooLongToChoose:
    case ProgramText::StepsOverMouseLimit:
        return text.arg(336).arg(125);
    case ProgramText::MacroFileDamaged:
        return text.arg(1234567);
    case ProgramText::SupportLine:
        return text.arg(QStringLiteral(TARVIK_VERSION));
    default:
        return text.arg(QStringLiteral(":0"));
    }
}

struct NoticeCase {
    QString name;
    QString text;
};

// Every notice: those the libraries name by language string, the start-up
// notice, and the program's own texts (the table is walked to its end, so a
// new text is checked without a new row here).
std::vector<NoticeCase> AllNotices() {
    std::vector<NoticeCase> all;
    for (const Notice n :
         {Notice::NoFreeProfileSlot, Notice::EmptyProfileName, Notice::CurrentProfileNotDeletable,
          Notice::LeftButtonKept, Notice::FireRateTooLow, Notice::DigitsOnly, Notice::FireCountTooHigh,
          Notice::NothingSelected, Notice::NoMacroSelected, Notice::RecordingLimit, Notice::NoMacroForStep,
          Notice::StepLimit, Notice::NameTaken, Notice::EmptyName, Notice::MacroInUse,
          Notice::LibraryNotSaved, Notice::FileNotWritten})
        all.push_back({QStringLiteral("lang-%1").arg(NoticeString(n)), L(NoticeString(n))});
    all.push_back({QStringLiteral("lang-155"), L(155)});
    for (int i = 0; !ProgramTextString(static_cast<ProgramText>(i)).empty(); ++i)
        all.push_back({QStringLiteral("own-%1").arg(i), ProgramNotice(static_cast<ProgramText>(i))});
    return all;
}

} // namespace

class TestNotices : public QObject {
    Q_OBJECT
private slots:

    void everyNoticeFits_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<double>("scale");
        for (const bool english : {true, false})
            for (const double scale : {1.0, 1.5, 2.0})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(english ? "en" : "zh").arg(scale)))
                    << english << scale;
    }
    void everyNoticeFits() {
        QFETCH(bool, english);
        QFETCH(double, scale);
        // The window of this language and scale loads the language as the program does.
        Harness h(scale, [english](const QString& config) { SelectLanguage(config, english); });
        QCOMPARE(Language().Code() == u"EN", english);
        QVERIFY(h.Start());
        const QString folder = QStringLiteral(TARVIK_TEST_ARTIFACTS "/screenshots/%1-%2")
                                   .arg(english ? QStringLiteral("en") : QStringLiteral("zh"))
                                   .arg(scale);
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(h.window->grab().save(folder + QStringLiteral("/main-window.png")));
        // The polling panel with its caption, and the function menu with its sub-menu arrows.
        h.ClickControl(mainwnd::kIdHeaderPolling);
        QVERIFY(h.window->grab().save(folder + QStringLiteral("/main-window-polling.png")));
        h.ClickControl(mainwnd::kIdFirstCombo + 2);
        QWidget* menu = h.window->Popup(CTarvikDlg::kSlotFunctionMenu);
        QVERIFY(menu);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QVERIFY(menu->grab().save(folder + QStringLiteral("/function-menu.png")));
        h.window->ClosePopup(CTarvikDlg::kSlotFunctionMenu);
        QVERIFY(h.RunUntil([&] { return h.window->Popup(CTarvikDlg::kSlotFunctionMenu) == nullptr; }));

        QStringList cut;
        // The macro manager: every label whole, and 10 pixels inside the right edge.
        h.ClickControl(mainwnd::kIdMacroManager);
        QVERIFY(
            h.RunUntil([&] { return dynamic_cast<CMacroManagerDlg*>(h.window->ActiveDialog()) != nullptr; }));
        auto* manager = static_cast<CMacroManagerDlg*>(h.window->ActiveDialog());
        QVERIFY(QTest::qWaitForWindowExposed(manager));
        for (int g = 0; g < CDlgBase::kGroupCount; ++g) {
            for (const auto& c : manager->Group(g)) {
                auto* label = dynamic_cast<CStaticText*>(c.get());
                if (!label || label->GetText().isEmpty() || (label->Format() & kDtWordBreak)) continue;
                const Rect r = label->GetRect();
                if (QFontMetrics(label->Font()).horizontalAdvance(label->GetText()) > r.Width() ||
                    r.right > manager->width() - Scaled(10))
                    cut << QStringLiteral("manager \"%1\"").arg(label->GetText());
            }
        }
        QVERIFY(manager->grab().save(folder + QStringLiteral("/macro-manager.png")));
        manager->reject();

        std::vector<QImage> shots;
        for (const NoticeCase& c : AllNotices()) {
            QVERIFY2(!c.text.isEmpty(), qPrintable(c.name));
            CAttentionDlg notice(L(kAttentionTitleString), c.text, h.window.get());
            notice.show();
            QVERIFY(QTest::qWaitForWindowExposed(&notice));
            // The wrapped message fits its rectangle, which lies inside the
            // dialog above OK; OK lies inside the dialog.
            const Rect message = notice.MessageRect();
            const Rect ok = notice.FindControl(CDlgBase::kIdConfirm)->GetRect();
            if (notice.MessageHeightNeeded() > message.Height() || message.bottom > ok.top ||
                ok.bottom > notice.height())
                cut << c.name;
            const QImage shot = notice.grab().toImage();
            QVERIFY(shot.save(folder + QLatin1Char('/') + c.name + QStringLiteral(".png")));
            shots.push_back(shot);
            notice.done(QDialog::Rejected);
        }
        // The other two small dialogs of the device side.
        {
            CFirmwareResetDlg reset(h.window.get());
            reset.show();
            QVERIFY(QTest::qWaitForWindowExposed(&reset));
            const Rect r = reset.FindControl(CFirmwareResetDlg::kIdMessage)->GetRect();
            if (WrappedTextHeight(MakeInterfaceFont(), r.Width(), L(140)) > r.Height())
                cut << QStringLiteral("reset");
            shots.push_back(reset.grab().toImage());
            QVERIFY(shots.back().save(folder + QStringLiteral("/reset.png")));
            reset.done(QDialog::Rejected);
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(", "))));

        // One sheet of them all, three to a row, to look over.
        constexpr int kColumns = 3;
        int cellWidth = 0, cellHeight = 0;
        for (const QImage& s : shots) {
            cellWidth = std::max(cellWidth, s.width() + 4);
            cellHeight = std::max(cellHeight, s.height() + 4);
        }
        const int rows = (static_cast<int>(shots.size()) + kColumns - 1) / kColumns;
        QImage sheet(cellWidth * kColumns, cellHeight * rows, QImage::Format_RGB32);
        sheet.fill(Qt::white);
        QPainter p(&sheet);
        for (std::size_t i = 0; i < shots.size(); ++i)
            p.drawImage(static_cast<int>(i % kColumns) * cellWidth,
                        static_cast<int>(i / kColumns) * cellHeight, shots[i]);
        p.end();
        QVERIFY(sheet.save(folder + QStringLiteral("/all-notices.png")));
    }
};

QTEST_MAIN(TestNotices)
#include "tst_notices.moc"
