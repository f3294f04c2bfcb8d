// Shared fixtures of the skin tests: a skinned window that records the
// notifications it receives and the areas it repaints, a probe control, solid
// test pictures, and real mouse input through the window system.
#pragma once

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <functional>
#include <vector>

#include "skin/ControlBase.h"
#include "skin/DlgBase.h"

namespace skintest {

using namespace tarvik;

struct Msg {
    int msg;
    WParam w;
    LParam l;
    friend bool operator==(const Msg&, const Msg&) = default;
};

inline QString Describe(const std::vector<Msg>& v) {
    QStringList parts;
    for (const Msg& m : v) parts << QStringLiteral("%1:%2:%3").arg(m.msg).arg(m.w).arg(m.l);
    return parts.join(' ');
}

// A window whose controls are made by a callback; it paints black and then
// its controls, records every message and every repainted area.
class TestDlg : public CDlgBase {
public:
    explicit TestDlg(int w = 400, int h = 300) { SetWindowSize(w, h); }

    std::function<void(TestDlg&)> create;
    std::function<void(TestDlg&, const Msg&)> onMessage;
    // Stands in for the window system's move when set (true: it took the move).
    std::function<bool()> systemMove;
    std::vector<Msg> messages;
    QRegion painted;
    Colour background = Rgb(0, 0, 0);
    bool drawBackground = false; // paint the base's fill colour and background copy instead of black

    LResult SendMessage(int msg, WParam w = 0, LParam l = 0) override {
        messages.push_back({msg, w, l});
        if (onMessage) onMessage(*this, messages.back());
        return CDlgBase::SendMessage(msg, w, l);
    }

    template <class T> T* Add(int group, std::unique_ptr<T> c) { return AddControl(group, std::move(c)); }
    using CDlgBase::DeleteControl;
    using CDlgBase::Messages;
    using CDlgBase::SetBackgroundResource;
    using CDlgBase::UseStandardCloseIds;

    void DrawWindowForTest(QPainter& p) { DrawWindow(p, Rect{0, 0, width(), height()}); }

    // Renders the window as it paints itself.
    QImage Render() {
        QImage img(size(), QImage::Format_RGB32);
        QPainter p(&img);
        DrawWindow(p, Rect{0, 0, width(), height()});
        return img;
    }

protected:
    void CreateControls(const Rect&) override {
        if (create) create(*this);
    }
    bool StartSystemMove() override { return systemMove ? systemMove() : CDlgBase::StartSystemMove(); }
    void DrawWindow(QPainter& dc, const Rect& client) override {
        if (drawBackground)
            DrawBackground(dc, client);
        else
            FillSolidRect(dc, client, background);
        DrawControls(dc, client);
    }
    void paintEvent(QPaintEvent* e) override {
        painted += e->region();
        CDlgBase::paintEvent(e);
    }
};

// A control with the button family's mouse rules that counts what reaches it.
class ProbeControl : public CControlBase {
public:
    ProbeControl(CDlgBase* parent, int id, const Rect& r, Colour colour = Rgb(200, 0, 0))
        : CControlBase(parent, id, r, QString(), true, true, false), colour_(colour) {}

    int draws = 0, moves = 0, rightUps = 0, doubleClicks = 0, releases = 0, deactivations = 0,
        imageReleases = 0;
    QPoint lastMove{-1, -1};

    void Draw(QPainter& dc, const Rect&) override {
        ++draws;
        FillSolidRect(dc, rect_, colour_);
    }
    int SetActive(int active) override {
        if (active == 0) ++deactivations;
        return 0;
    }
    bool OnMouseMove(unsigned, int x, int y) override {
        ++moves;
        lastMove = QPoint(x, y);
        return ButtonMouseMove(x, y);
    }
    bool OnLButtonDown(unsigned, int x, int y) override { return ButtonLButtonDown(x, y); }
    bool OnLButtonUp(unsigned, int x, int y) override {
        ++releases;
        return ButtonLButtonUp(
            x, y, [] {}, id_, 0);
    }
    bool OnRButtonUp(unsigned, int x, int y) override {
        ++rightUps;
        if (Inside(x, y)) Notify(id_, 0, kNotifyRightClick);
        return false;
    }
    bool OnLButtonDblClk(unsigned, int, int) override {
        ++doubleClicks;
        return false;
    }
    void ReleaseImages() override { ++imageReleases; }

private:
    Colour colour_;
};

// The ids the program's windows configure: the radio groups of the main window
// and the macro dialogs (A-G, one shared word, 2080, 2009, 3501, 3033 and 3511
// chosen at first), the DPI level buttons 3290-3297, the main window's page and
// sub-page tabs, and the ids whose click repaints the whole main window.
inline void ConfigureProgramIds(CDlgBase& d) {
    RadioGroups& r = d.Radios();
    r.AddGroup(0, {2006, 2080, 2081, 2082, 2083, 2084, 2085});
    r.AddGroup(7, {2009, 2010});
    r.AddGroup(9, {3501, 3502});
    r.AddGroup(11, {3240, 3250});
    r.AddGroup(13, {2031, 2032, 2033});
    r.AddGroup(16, {3030, 3031, 3032, 3033});
    r.AddGroup(20, {3510, 3511});
    r.SetWord(0x280282);
    d.Levels().PlaceButtons(3290);
    d.Pages().AddPageTabs(2049, 2053, 0);
    d.Pages().AddSubPageTabs(3001, 3004, 0);
    d.Pages().AddSubPageTabs(3007, 3009, 7);
    d.PageSwitchIds() = IdRanges{{2040, 2040}, {2049, 2053}, {3001, 3004}, {3007, 3009}};
}

// Real mouse input, delivered through the window system to the window.
inline void Move(QWidget& w, QPoint p) {
    QTest::mouseMove(w.windowHandle(), p);
}
inline void Press(QWidget& w, QPoint p) {
    QTest::mousePress(w.windowHandle(), Qt::LeftButton, {}, p);
}
inline void Release(QWidget& w, QPoint p) {
    QTest::mouseRelease(w.windowHandle(), Qt::LeftButton, {}, p);
}
inline void Click(QWidget& w, QPoint p) {
    Move(w, p);
    Press(w, p);
    Release(w, p);
}
inline void RightClick(QWidget& w, QPoint p) {
    Move(w, p);
    QTest::mouseClick(w.windowHandle(), Qt::RightButton, {}, p);
}
inline void DoubleClick(QWidget& w, QPoint p) {
    Move(w, p);
    QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, p);
}
inline QPoint Centre(const Rect& r) {
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// Shows the window and waits until it can take input. The mouse is parked on the
// bottom-right corner (an empty spot in every test), so the first move of a test
// is never a move to where the pointer already is, which the window system drops.
inline bool Open(TestDlg& dlg) {
    dlg.show();
    if (!QTest::qWaitForWindowExposed(&dlg)) return false;
    Move(dlg, QPoint(dlg.width() - 1, dlg.height() - 1));
    return true;
}

// Writes a picture of one colour (or a 2 x 2 checker of four) and returns its path.
inline QString SolidPng(const QTemporaryDir& dir, const QString& name, QColor colour, int w = 4, int h = 4) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(colour);
    const QString path = dir.filePath(name);
    img.save(path);
    return path;
}

inline QColor PixelAt(const QImage& img, QPoint p) {
    return img.pixelColor(p);
}

} // namespace skintest
