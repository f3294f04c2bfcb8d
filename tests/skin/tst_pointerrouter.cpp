// The pointer router without a window: event sequences against two recording
// controls and a host that stands in for the window, each giving the state at
// the end, the calls the controls received and whether the window moved.
#include <QLoggingCategory>
#include <QTest>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "skin/PointerRouter.h"

using namespace tarvik;

namespace {

// Records every mouse call as a letter and its id: m move, d press, u release,
// r right release, w double click, a deactivation.
class RecordingControl : public CControlBase {
public:
    RecordingControl(int id, const Rect& r, QStringList& log)
        : CControlBase(nullptr, id, r, QString(), true, true, false), log_(log) {}
    void Draw(QPainter&, const Rect&) override {}
    bool OnMouseMove(unsigned, int, int) override { return Note('m'); }
    bool OnLButtonDown(unsigned, int, int) override { return Note('d'); }
    bool OnLButtonUp(unsigned, int, int) override { return Note('u'); }
    bool OnRButtonUp(unsigned, int, int) override { return Note('r'); }
    bool OnLButtonDblClk(unsigned, int, int) override { return Note('w'); }
    int SetActive(int active) override {
        if (active == 0) Note('a');
        return 0;
    }

private:
    bool Note(char what) {
        log_ << QStringLiteral("%1%2").arg(QChar(what)).arg(id_);
        return true;
    }
    QStringList& log_;
};

class FakeWindow : public PointerHost {
public:
    FakeWindow() {
        controls.push_back(std::make_unique<RecordingControl>(1, Rect{20, 20, 120, 80}, calls));
        controls.push_back(std::make_unique<RecordingControl>(2, Rect{200, 20, 300, 80}, calls));
    }

    int ControlCount() const override { return static_cast<int>(controls.size()); }
    RoutedControl ControlAt(int i) const override { return {controls[static_cast<std::size_t>(i)].get(), 0}; }
    void RouteMove(unsigned keys, QPoint p) override { router.RouteMove(keys, p); }
    void InvalidateControl(const Rect&) override {}
    void InvalidateWindow() override {}
    bool IsPageSwitch(int) const override { return false; }
    void RequestHoverNotice() override {}
    void CancelHoverNotice() override {}
    QPoint CursorPoint() const override { return {-1, -1}; }
    bool IsMaximised() const override { return false; }
    QPoint ToGlobal(QPoint p) const override { return p + position; }
    QPoint WindowPosition() const override { return position; }
    int DragDistance() const override { return 10; }
    bool StartSystemMove() override {
        if (!systemMoveWorks) return false;
        window << QStringLiteral("system");
        return true;
    }
    void MoveWindowTo(QPoint topLeft) override {
        window << QStringLiteral("follow %1,%2").arg(topLeft.x() - kStart.x()).arg(topLeft.y() - kStart.y());
        position = topLeft;
    }

    // Deletes control `id` the way a window does: its slot reads as null.
    void Delete(int id) {
        for (auto& c : controls) {
            if (!c || c->Id() != id) continue;
            router.Forget(c.get());
            deleted.push_back(std::move(c));
        }
    }

    static constexpr QPoint kStart{500, 400};
    QStringList calls;
    QStringList window;
    bool systemMoveWorks = true;
    QPoint position = kStart;
    std::vector<std::unique_ptr<RecordingControl>> controls, deleted;
    PointerRouter router{*this};
};

// Named points: over control 1 (a, a2), over control 2 (b), an empty spot (e),
// within the drag distance of it (e1) and beyond it (far).
const std::map<QString, QPoint> kPoints{{"a", {70, 50}},   {"a2", {71, 51}},   {"b", {250, 50}},
                                        {"e", {300, 200}}, {"e1", {301, 201}}, {"far", {330, 220}}};

// Runs "move a, press a, hold e, release e, leave, dbl a, rup a, delete 1".
bool Run(FakeWindow& w, const QString& script) {
    for (const QString& step : script.split(',', Qt::SkipEmptyParts)) {
        const QStringList word = step.trimmed().split(' ');
        const QString verb = word[0];
        if (verb == "leave") {
            w.router.Leave();
            continue;
        }
        if (word.size() != 2) return false;
        if (verb == "delete") {
            w.Delete(word[1].toInt());
            continue;
        }
        if (!kPoints.count(word[1])) return false;
        const QPoint p = kPoints.at(word[1]);
        if (verb == "move")
            w.router.Move(0, p, w.ToGlobal(p), false);
        else if (verb == "hold")
            w.router.Move(kMkLButton, p, w.ToGlobal(p), true);
        else if (verb == "press")
            w.router.Press(kMkLButton, p);
        else if (verb == "release")
            w.router.Release(0, p);
        else if (verb == "dbl")
            w.router.DoubleClick(kMkLButton, p);
        else if (verb == "rup")
            w.router.RightRelease(0, p);
        else
            return false;
    }
    return true;
}

} // namespace

class TestPointerRouter : public QObject {
    Q_OBJECT

private slots:
    void sequences_data();
    void sequences();
    void transitionsAreLogged();
};

void TestPointerRouter::sequences_data() {
    QTest::addColumn<QString>("events");
    QTest::addColumn<bool>("systemMoveWorks");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("target"); // id, 0 for none
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("window");

    auto row = [](const char* name, const char* events, const char* state, int target, const char* calls,
                  const char* window = "", bool systemMoveWorks = true) {
        QTest::newRow(name) << QString(events) << systemMoveWorks << QString(state) << target
                            << QString(calls) << QString(window);
    };
    // Hover: a move off the target shows every control the move; one over it only the target.
    row("hover", "move a", "hover", 1, "m1 m2");
    row("move within the target", "move a, move a2", "hover", 1, "m1 m2 m1");
    row("to the other control", "move a, move b", "hover", 2, "m1 m2 m1 m2");
    row("to an empty spot", "move a, move e", "idle", 0, "m1 m2 m1 m2");
    row("leave drops the target", "move a, leave", "idle", 0, "m1 m2 m1");

    // A press captures the control until the release.
    row("click", "move a, press a, release a", "hover", 1, "m1 m2 d1 u1");
    row("held: a move over another control goes to the captured one", "move a, press a, hold b", "dragging",
        1, "m1 m2 d1 m1");
    row("held: back over the captured control", "move a, press a, hold e, hold a2", "pressed", 1,
        "m1 m2 d1 m1 m1");
    row("release outside: no click, no target", "move a, press a, hold e, release e", "idle", 0,
        "m1 m2 d1 m1 u1");
    row("leave while held keeps the capture", "move a, press a, leave, hold e, release e", "idle", 0,
        "m1 m2 d1 m1 u1");
    row("press on another control deactivates the pressed one", "move a, press a, release a, move b, press b",
        "pressed", 2, "m1 m2 d1 u1 m1 m2 a1 d2");
    // A window opened over this one (a send's progress dialog) caused the
    // leave; the click that follows without a move still reaches the control.
    row("click after a leave without a move", "move a, leave, press a, release a", "hover", 1,
        "m1 m2 m1 m1 m2 d1 u1");
    row("double click goes to the target", "move a, press a, release a, dbl a, release a", "hover", 1,
        "m1 m2 d1 u1 w1 u1");
    row("right release over a control of group 0", "move a, rup a", "hover", 1, "m1 m2 r1");
    row("right release away from every control", "move a, rup e", "hover", 1, "m1 m2");

    // The target deleted by a notification.
    row("hot control deleted", "move a, delete 1", "idle", 0, "m1 m2");
    row("captured control deleted: the rest of the press goes nowhere",
        "move a, press a, delete 1, hold e, release e", "idle", 0, "m1 m2 d1");

    // An empty spot: the press arms the window move, only a drag starts it.
    row("zero-length click on an empty spot", "move e, press e, release e", "idle", 0, "m1 m2 m1 m2");
    row("jitter within the drag distance", "move e, press e, hold e1, release e1", "idle", 0, "m1 m2 m1 m2");
    row("armed", "move e, press e", "move armed", 0, "m1 m2 m1 m2");
    row("drag hands the window to the window system", "move e, press e, hold far", "idle", 0, "m1 m2 m1 m2",
        "system");
    row("drag without the window system's move", "move e, press e, hold far", "moving the window", 0,
        "m1 m2 m1 m2", "follow 30,20", false);
    row("release ends the window's own move", "move e, press e, hold far, release far", "idle", 0,
        "m1 m2 m1 m2", "follow 30,20", false);
    row("a move with the button up ends an armed move and is routed", "move e, press e, move a", "hover", 1,
        "m1 m2 m1 m2 m1 m2");
    row("a new press ends a window move whose release was lost", "move e, press e, press a, release a",
        "hover", 1, "m1 m2 m1 m2 m1 m2 d1 u1");
}

void TestPointerRouter::sequences() {
    QFETCH(QString, events);
    QFETCH(bool, systemMoveWorks);
    QFETCH(QString, state);
    QFETCH(int, target);
    QFETCH(QString, calls);
    QFETCH(QString, window);
    FakeWindow w;
    w.systemMoveWorks = systemMoveWorks;
    QVERIFY(Run(w, events));
    QCOMPARE(QString(PointerRouter::Name(w.router.CurrentState())), state);
    QCOMPARE(w.router.Target() ? w.router.Target()->Id() : 0, target);
    QCOMPARE(w.calls.join(' '), calls);
    QCOMPARE(w.window.join(' '), window);
}

namespace {
QStringList* gLogged = nullptr;
void Collect(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (gLogged && type == QtDebugMsg && QByteArray(context.category) == "tarvik.pointer")
        *gLogged << message;
}
} // namespace

void TestPointerRouter::transitionsAreLogged() {
    QStringList logged;
    gLogged = &logged;
    QLoggingCategory::setFilterRules(QStringLiteral("tarvik.pointer.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(Collect);
    FakeWindow w;
    const bool ran = Run(w, "move a, move a2, press a, hold e, release e");
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());
    gLogged = nullptr;
    QVERIFY(ran);
    QStringList changes;
    for (const QString& line : logged) changes << line.section(' ', 0, 2).remove('"');
    QCOMPARE(changes.join(" | "),
             QString("idle -> hover | hover -> pressed | pressed -> dragging | dragging -> idle"));
}

QTEST_MAIN(TestPointerRouter)
#include "tst_pointerrouter.moc"
