// The pop-up lists under real mouse input: layout, the hot item, the press and
// release rules, the result records and every notification to the owner,
// including the close message when the pop-up loses activation.
#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>
#include <memory>

#include "SkinTestSupport.h"
#include "macro/ui/FunctionPopups.h"
#include "text/Language.h"
#include "widgets/Popups.h"

using namespace skintest;
using namespace tarvik;

namespace {

constexpr int kSelection = 1027;
constexpr int kTag = 2014;

QString L(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

using Factory = std::function<CListPopup*()>;

std::vector<Msg> Without(const std::vector<Msg>& all, int msg) {
    std::vector<Msg> out;
    for (const Msg& m : all)
        if (m.msg != msg) out.push_back(m);
    return out;
}

} // namespace

class TestPopups : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { SetUiScale(1.0); }
    void cleanup();

    void layout_data();
    void layout();
    void layoutAtScaleOnePointFive();
    void labelsClearOfTheirArrows_data();
    void labelsClearOfTheirArrows();
    void hoverMessageOncePerItemChange();
    void pressOnOneItemReleaseOnAnotherChoosesNothing();
    void functionMenuReleases_data();
    void functionMenuReleases();
    void pressOnTheFirstItemsBringsPopupsToFront();
    void resultRecords_data();
    void resultRecords();
    void profileList();
    void macroListModes_data();
    void macroListModes();
    void lossOfActivationSendsTheKind_data();
    void lossOfActivationSendsTheKind();
    void pressInTheOwnerSendsTheKind();
    void closeSends1025AndDestroys();
    void flatStyleDrawsTheHotItem();

private:
    // Opens a pop-up owned by a fresh window and waits until it takes input.
    CListPopup* OpenPopup(CListPopup* popup);
    QPoint ItemCentre(const CListPopup& p, int value) const {
        return Centre(p.Items()[static_cast<std::size_t>(p.IndexOfValue(value))].rect);
    }

    std::unique_ptr<TestDlg> owner_;
};

void TestPopups::initTestCase() {
    // The labels come from the shipped English language file.
    QFile f(QDir(QStringLiteral(TARVIK_PROGRAM_DIR_BUILD)).filePath(QStringLiteral("lang/Lan_EN.txt")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(Language().LoadText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
    QVERIFY(!L(20).isEmpty());
}

void TestPopups::cleanup() {
    owner_.reset();
    SetUiScale(1.0);
}

CListPopup* TestPopups::OpenPopup(CListPopup* popup) {
    owner_ = std::make_unique<TestDlg>(400, 300);
    owner_->move(0, 0);
    if (!Open(*owner_)) return nullptr;
    owner_->messages.clear();
    popup->Create(owner_.get(), Rect{500, 100, 800, 400}, kSelection, kTag);
    if (!QTest::qWaitForWindowExposed(popup)) return nullptr;
    // Park the pointer on the pop-up's bottom edge (no item lies there).
    QTest::mouseMove(popup->windowHandle(), QPoint(popup->width() / 2, popup->height() - 1));
    owner_->messages.clear();
    return popup;
}

// ---- layout ------------------------------------------------------------------------------------------

void TestPopups::layout_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("itemLeft");
    QTest::newRow("function menu") << "function" << 16 << 162 << 16 * 22 + 2 << 1;
    QTest::newRow("step insert") << "insert" << 9 << 118 << 9 * 22 + 2 << 1;
    QTest::newRow("lighting") << "lighting" << 8 << 189 << 8 * 22 + 2 << 1;
    QTest::newRow("polling rate") << "polling" << 4 << 189 << 4 * 22 + 2 << 1;
    QTest::newRow("profile list") << "profile" << 7 << 230 << 7 * 25 + 2 << 0;
}

void TestPopups::layout() {
    QFETCH(QString, kind);
    QFETCH(int, items);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, itemLeft);
    CListPopup* p = nullptr;
    if (kind == "function") p = new CComboPopup();
    if (kind == "insert") p = new CComboActionInsertPopup();
    if (kind == "lighting") p = new CComboLightingPopup();
    if (kind == "polling") p = new CComboPollingRatePopup();
    if (kind == "profile") p = new CComboProfilePopup({"a", "b", "c", "d", "e"}, 0);
    QVERIFY(OpenPopup(p));
    QCOMPARE(static_cast<int>(p->Items().size()), items);
    QCOMPARE(p->size(), QSize(width, height));
    QCOMPARE(p->Items()[0].rect.left, itemLeft);
    QCOMPARE(p->Items()[0].rect.top, 1);
    QCOMPARE(p->pos(), QPoint(500, 100));
}

void TestPopups::layoutAtScaleOnePointFive() {
    SetUiScale(1.5);
    auto* p = new CComboPopup();
    QVERIFY(OpenPopup(p));
    // y starts at 1.5; each item is 33 high; every coordinate truncated.
    QCOMPARE(p->Items()[0].rect, (Rect{1, 1, 241, 34}));
    QCOMPARE(p->Items()[1].rect, (Rect{1, 34, 241, 67}));
    QCOMPARE(p->size(), QSize(243, static_cast<int>(1.5 + 16 * 33 + 1.5)));
}

// The labels of the function menu's sub-menu items ("Window Management") fit
// beside their arrow, in both languages at every scale (a long one in a
// smaller size of the face).
void TestPopups::labelsClearOfTheirArrows_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("scale");
    for (const char* file : {"Lan_EN.txt", "Lan.txt"})
        for (const double scale : {1.0, 1.5, 2.0})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(file).arg(scale))) << QString(file) << scale;
}

void TestPopups::labelsClearOfTheirArrows() {
    QFETCH(QString, file);
    QFETCH(double, scale);
    QFile f(QDir(QStringLiteral(TARVIK_PROGRAM_DIR_BUILD)).filePath(QStringLiteral("lang/") + file));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(Language().LoadText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                                scale));
    SetUiScale(scale);
    auto* p = new CComboPopup();
    QVERIFY(OpenPopup(p));
    int subMenus = 0;
    for (const PopupItem& item : p->Items()) {
        if (item.separator || !item.subMenu) continue;
        ++subMenus;
        const Rect text = p->TextRect(item);
        // The arrow takes the last 18 of the 160 columns of "skins\\menusub_nr.png", stretched over the row.
        QVERIFY(text.right <= item.rect.right - 18 * item.rect.Width() / 160);
        QVERIFY2(QFontMetrics(p->LabelFont(item)).horizontalAdvance(item.label) <= text.Width(),
                 qPrintable(item.label));
    }
    QVERIFY(subMenus >= 4);
    // The English labels are loaded again for the other tests.
    QFile en(QDir(QStringLiteral(TARVIK_PROGRAM_DIR_BUILD)).filePath(QStringLiteral("lang/Lan_EN.txt")));
    QVERIFY(en.open(QIODevice::ReadOnly));
    const QByteArray enBytes = en.readAll();
    QVERIFY(
        Language().LoadText(std::string_view(enBytes.constData(), static_cast<std::size_t>(enBytes.size()))));
}

// ---- hot item, press and release ---------------------------------------------------------------

void TestPopups::hoverMessageOncePerItemChange() {
    auto* p = new CComboPopup();
    QVERIFY(OpenPopup(p));
    const Rect six = p->Items()[5].rect;
    // Leave first, so the hover notice of the next stay comes while the pointer rests on item 6.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(p, &leave);
    const int notices = p->HoverNotices();
    QTest::mouseMove(p->windowHandle(), QPoint(six.left + 10, six.top + 5));
    QTest::mouseMove(p->windowHandle(), QPoint(six.left + 30, six.top + 8));
    // The hover notice finds the same item again: no message.
    QTRY_VERIFY(p->HoverNotices() > notices);
    QTest::mouseMove(p->windowHandle(), QPoint(six.left + 50, six.top + 12));
    QCOMPARE(Describe(owner_->messages), Describe({{1040, kTag, 6}}));
    QTest::mouseMove(p->windowHandle(), ItemCentre(*p, 7));
    QTest::mouseMove(p->windowHandle(), ItemCentre(*p, 11));
    QTest::mouseMove(p->windowHandle(), ItemCentre(*p, 12));
    QTest::mouseMove(p->windowHandle(), ItemCentre(*p, 13));
    QTest::mouseMove(p->windowHandle(), ItemCentre(*p, 15));
    QCOMPARE(Describe(owner_->messages), Describe({{1040, kTag, 6},
                                                   {1033, kTag, 7},
                                                   {1043, kTag, 11},
                                                   {1160, kTag, 12},
                                                   {1157, kTag, 13},
                                                   {1154, kTag, 15}}));
    QCOMPARE(p->HotItem(), p->IndexOfValue(15));
}

void TestPopups::pressOnOneItemReleaseOnAnotherChoosesNothing() {
    auto* p = new COfficePopup();
    QVERIFY(OpenPopup(p));
    QTest::mouseMove(p->windowHandle(), ItemCentre(*p, 2));
    QTest::mousePress(p->windowHandle(), Qt::LeftButton, {}, ItemCentre(*p, 2));
    QTest::mouseMove(p->windowHandle(), ItemCentre(*p, 4));
    QCOMPARE(p->HotItem(), p->IndexOfValue(2)); // the highlight stays while the button is down
    QTest::mouseRelease(p->windowHandle(), Qt::LeftButton, {}, ItemCentre(*p, 4));
    QVERIFY(owner_->messages.empty());
    QCOMPARE(p->HotItem(), -1);
    // The next move highlights again, and a click chooses.
    QTest::mouseMove(p->windowHandle(), ItemCentre(*p, 4) + QPoint(1, 0));
    QTest::mouseClick(p->windowHandle(), Qt::LeftButton, {}, ItemCentre(*p, 4) + QPoint(1, 0));
    QCOMPARE(owner_->messages.size(), std::size_t(1));
    QCOMPARE(p->Result().label, L(63));
}

void TestPopups::functionMenuReleases_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("message"); // 0: the selection message with the record; -1: nothing
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("left") << 1 << 0 << QByteArray("\x10\x01\x00", 3);
    QTest::newRow("back") << 5 << 0 << QByteArray("\x10\x08\x00", 3);
    QTest::newRow("triple fire") << 8 << 0 << QByteArray("\x30\x32\x03", 3);
    QTest::newRow("device function") << 14 << 0 << QByteArray("\x60\x04\x00", 3);
    QTest::newRow("disable") << 16 << 0 << QByteArray("\x00\x00\x00", 3);
    QTest::newRow("rapid fire") << 7 << 1062 << QByteArray();
    QTest::newRow("macro") << 9 << 1065 << QByteArray();
    QTest::newRow("shortcut") << 10 << 1035 << QByteArray();
    QTest::newRow("DPI sub-menu") << 6 << -1 << QByteArray();
    QTest::newRow("DPI lock sub-menu") << 15 << -1 << QByteArray();
}

void TestPopups::functionMenuReleases() {
    QFETCH(int, value);
    QFETCH(int, message);
    QFETCH(QByteArray, code);
    auto* p = new CComboPopup();
    QVERIFY(OpenPopup(p));
    const QPoint at = ItemCentre(*p, value);
    QTest::mouseMove(p->windowHandle(), at);
    QTest::mouseClick(p->windowHandle(), Qt::LeftButton, {}, at);
    std::vector<Msg> got = owner_->messages;
    // Leave out the hover and press reports.
    std::vector<Msg> releases;
    for (const Msg& m : got)
        if (m.msg != 1033 && m.msg != 1040 && m.msg != 1154 && !(m.msg == kSelection && m.w == 0))
            releases.push_back(m);
    if (message == -1) {
        QVERIFY2(releases.empty(), qPrintable(Describe(releases)));
    } else if (message == 0) {
        QCOMPARE(releases.size(), std::size_t(1));
        QCOMPARE(releases[0].msg, kSelection);
        QCOMPARE(releases[0].w, WParam(kTag));
        const auto* r = reinterpret_cast<const PopupResult*>(releases[0].l);
        QCOMPARE(r, &p->Result());
        QCOMPARE(r->label, p->Items()[static_cast<std::size_t>(p->IndexOfValue(value))].label);
        QCOMPARE(r->codeCount, 3);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(r->code.data()), 3), code);
    } else {
        QCOMPARE(Describe(releases), Describe({{message, kTag, 0}}));
    }
}

void TestPopups::pressOnTheFirstItemsBringsPopupsToFront() {
    auto* p = new CComboPopup();
    QVERIFY(OpenPopup(p));
    for (int value : {3, 5}) {
        QTest::mouseMove(p->windowHandle(), ItemCentre(*p, value));
        owner_->messages.clear();
        QTest::mousePress(p->windowHandle(), Qt::LeftButton, {}, ItemCentre(*p, value));
        const std::vector<Msg> expected =
            value <= 4 ? std::vector<Msg>{{kSelection, 0, 0}} : std::vector<Msg>{};
        QCOMPARE(Describe(owner_->messages), Describe(expected));
        QTest::mouseRelease(p->windowHandle(), Qt::LeftButton, {}, QPoint(-5, -5)); // released off the item
    }
}

void TestPopups::resultRecords_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("insert: delay") << "insert" << 4 << L(205) << QByteArray("\x03", 1);
    QTest::newRow("lighting 5") << "lighting" << 5 << L(110) << QByteArray("\x05", 1);
    QTest::newRow("lighting 9") << "lighting" << 9 << L(108) << QByteArray("\x09", 1);
    QTest::newRow("lighting 10 is effect 0") << "lighting" << 10 << L(109) << QByteArray("\x00", 1);
    QTest::newRow("polling 500HZ") << "polling" << 3 << "500HZ" << QByteArray("\x02", 1);
    QTest::newRow("DPI lock 800") << "dpilock" << 7 << L(36) + "-800" << QByteArray("\x50\x07\x00", 3);
    QTest::newRow("DPI down") << "dpi" << 2 << L(41) << QByteArray("\x40\x03\x00", 3);
    QTest::newRow("multimedia mute") << "media" << 6 << L(50) << QByteArray("\x80\xE2\x00", 3);
    QTest::newRow("multimedia calculator") << "media" << 10 << L(54) << QByteArray("\x80\x92\x01", 3);
    QTest::newRow("office paste") << "office" << 2 << L(61) << QByteArray("\x70\x01\x19", 3);
    QTest::newRow("windows Alt+F4") << "windows" << 2 << L(76) << QByteArray("\x70\x04\x3D", 3);
    QTest::newRow("profile command 3") << "rkey" << 3 << L(92) << QByteArray("\x02", 1);
    QTest::newRow("macro tree command") << "macro" << 6 << QString() << QByteArray("\x05", 1);
}

void TestPopups::resultRecords() {
    QFETCH(QString, kind);
    QFETCH(int, value);
    QFETCH(QString, label);
    QFETCH(QByteArray, code);
    CListPopup* p = nullptr;
    if (kind == "insert") p = new CComboActionInsertPopup();
    if (kind == "lighting") p = new CComboLightingPopup();
    if (kind == "polling") p = new CComboPollingRatePopup();
    if (kind == "dpilock") p = new CDPILockPopup();
    if (kind == "dpi") p = new CDPIPopup();
    if (kind == "media") p = new CMultimediaPopup();
    if (kind == "office") p = new COfficePopup();
    if (kind == "windows") p = new CWindowsManagePopup();
    if (kind == "rkey") p = new CProfileRKeyPopup();
    if (kind == "macro") p = new CMacroListPopup(1);
    QVERIFY(OpenPopup(p));
    const QPoint at = ItemCentre(*p, value);
    QTest::mouseMove(p->windowHandle(), at);
    QTest::mouseClick(p->windowHandle(), Qt::LeftButton, {}, at);
    QCOMPARE(owner_->messages.size(), std::size_t(1));
    const Msg m = owner_->messages[0];
    QCOMPARE(m.msg, kSelection);
    QCOMPARE(m.w, WParam(kTag));
    const auto* r = reinterpret_cast<const PopupResult*>(m.l);
    QCOMPARE(r->label, label);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(r->code.data()), r->codeCount), code);
}

void TestPopups::profileList() {
    auto* p = new CComboProfilePopup({"Default", "Shooter", "", "", ""}, 0);
    QVERIFY(OpenPopup(p));
    QCOMPARE(p->Items()[0].label, L(10));
    QCOMPARE(p->Items()[6].label, L(200));
    auto click = [&](int value, Qt::MouseButton button) {
        QTest::mouseMove(p->windowHandle(), ItemCentre(*p, value));
        QTest::mouseClick(p->windowHandle(), button, {}, ItemCentre(*p, value));
    };
    click(1, Qt::LeftButton); // the title row
    click(4, Qt::LeftButton); // an empty row
    click(5, Qt::RightButton);
    QVERIFY2(owner_->messages.empty(), qPrintable(Describe(owner_->messages)));
    click(3, Qt::LeftButton);
    click(7, Qt::LeftButton);
    click(2, Qt::RightButton);
    click(7, Qt::RightButton); // the add entry has no context menu
    QCOMPARE(Describe(owner_->messages),
             Describe({{kSelection, 2, 3}, {kSelection, 2, 7}, {kSelection, 11, 2}}));
}

void TestPopups::macroListModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("nothing selected") << 0 << QList<int>{1, 2, 4, 7, 8};
    QTest::newRow("a folder") << 2 << QList<int>{1, 2, 4, 5, 6, 7, 8};
    QTest::newRow("a macro") << 1 << QList<int>{1, 2, 3, 4, 5, 6, 7, 8};
}

void TestPopups::macroListModes() {
    QFETCH(int, mode);
    QFETCH(QList<int>, values);
    auto* p = new CMacroListPopup(mode);
    QVERIFY(OpenPopup(p));
    QList<int> got;
    for (const PopupItem& item : p->Items()) {
        got << item.value;
        QCOMPARE(item.label, L(244 + item.value));
    }
    QCOMPARE(got, values);
}

// ---- activation and closing ---------------------------------------------------------------------

void TestPopups::lossOfActivationSendsTheKind_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("closeMessage");
    const std::pair<int, int> kinds[] = {{0, 1029}, {14, 1168}, {9, 1146},  {8, 1136},
                                         {7, 1126}, {10, 1156}, {2, 1042},  {15, 1170},
                                         {3, 1045}, {12, 1162}, {13, 1165}, {11, 1159}};
    int which = 0;
    for (const auto& [kind, msg] : kinds)
        QTest::newRow(qPrintable(QStringLiteral("kind %1").arg(kind))) << which++ << kind << msg;
}

void TestPopups::lossOfActivationSendsTheKind() {
    QFETCH(int, which);
    QFETCH(int, kind);
    QFETCH(int, closeMessage);
    const Factory factories[] = {
        [] { return new CComboPopup(); },
        [] { return new CComboActionInsertPopup(); },
        [] { return new CComboLightingPopup(); },
        [] { return new CComboPollingRatePopup(); },
        [] {
            return new CComboProfilePopup({"a", "", "", "", ""}, 0);
        },
        [] { return new CDPILockPopup(); },
        [] { return new CDPIPopup(); },
        [] { return new CMacroListPopup(0); },
        [] { return new CMultimediaPopup(); },
        [] { return new COfficePopup(); },
        [] { return new CProfileRKeyPopup(); },
        [] { return new CWindowsManagePopup(); },
    };
    CListPopup* p = factories[which]();
    QCOMPARE(p->Kind(), kind);
    QCOMPARE(p->CloseMessage(), closeMessage);
    QVERIFY(OpenPopup(p));
    QTRY_VERIFY(p->isActiveWindow());
    owner_->activateWindow();
    QTRY_VERIFY(!owner_->messages.empty());
    QCOMPARE(Describe(owner_->messages), Describe({{closeMessage, kTag, kind}}));
    QVERIFY(p->isVisible()); // the owner decides whether it closes
}

void TestPopups::pressInTheOwnerSendsTheKind() {
    auto* p = new CDPIPopup();
    QVERIFY(OpenPopup(p));
    QTRY_VERIFY(p->isActiveWindow());
    // Whether or not the window system moved the activation: a press elsewhere ends it.
    Press(*owner_, QPoint(10, 10));
    Release(*owner_, QPoint(10, 10));
    // The pop-up hears of its lost activation in the same step that makes the
    // owner active, so once the owner is active no second report can follow.
    owner_->activateWindow();
    QTRY_VERIFY(owner_->isActiveWindow());
    QCOMPARE(Describe(Without(owner_->messages, 0)), Describe({{1042, kTag, 2}}));
}

void TestPopups::closeSends1025AndDestroys() {
    QPointer<CListPopup> p = new CComboLightingPopup();
    QVERIFY(OpenPopup(p));
    owner_->SetPopup(3, p);
    // The owner closes the pop-up from inside its close message.
    owner_->onMessage = [](TestDlg& d, const Msg& m) {
        if (m.msg == 1146) d.ClosePopup(3);
    };
    owner_->activateWindow();
    QTRY_VERIFY(p.isNull());
    QCOMPARE(Describe(owner_->messages), Describe({{1146, kTag, 9}, {1025, 0, 0}}));
    QVERIFY(owner_->Popup(3) == nullptr);
}

void TestPopups::flatStyleDrawsTheHotItem() {
    auto* p = new CComboPollingRatePopup();
    QVERIFY(OpenPopup(p));
    const Rect r = p->Items()[1].rect;
    QTest::mouseMove(p->windowHandle(), QPoint(r.left + 3, r.top + 3));
    QCOMPARE(p->HotItem(), 1);
    const QImage img = p->Frame();
    QCOMPARE(img.pixelColor(r.left + 2, r.top + 2), QColor(83, 75, 0));
    QCOMPARE(img.pixelColor(p->Items()[0].rect.left + 2, p->Items()[0].rect.top + 2), QColor(0, 0, 0));
    QTest::mouseMove(p->windowHandle(), QPoint(3, p->height() - 1));
    QCOMPARE(p->HotItem(), -1);
    QCOMPARE(p->Frame().pixelColor(r.left + 2, r.top + 2), QColor(0, 0, 0));
}

QTEST_MAIN(TestPopups)
#include "tst_popups.moc"
