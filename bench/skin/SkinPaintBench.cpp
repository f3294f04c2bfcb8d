// What a skinned window costs to repaint: one hover change in a window of the
// main window's size at UI scale 2, and one paint of the macro tree list over a
// library of 1,000 macros. Time comes from Google Benchmark; the bytes are
// counted by a malloc interposer in this binary (operator new ends in malloc
// too, and QImage buffers are malloc'ed, so both are seen).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "macro/MacroLibrary.h"
#include "macro/ui/MacroRows.h"
#include "skin/DlgBase.h"
#include "skin/ImageButton.h"
#include "skin/ShowLists.h"
#include "text/U16.h"

// ---- allocation counter ---------------------------------------------------------------------

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);
}

namespace {
std::atomic<std::uint64_t> g_bytes{0};
std::atomic<std::uint64_t> g_blocks{0};
void Count(std::size_t n) {
    g_bytes.fetch_add(n, std::memory_order_relaxed);
    g_blocks.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void* malloc(std::size_t n) {
    Count(n);
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    Count(n * size);
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    Count(n);
    return __libc_realloc(p, n);
}
void free(void* p) {
    __libc_free(p);
}
void* memalign(std::size_t alignment, std::size_t n) {
    Count(n);
    return __libc_memalign(alignment, n);
}
void* aligned_alloc(std::size_t alignment, std::size_t n) {
    Count(n);
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {
    Count(n);
    void* p = __libc_memalign(alignment, n);
    if (!p) return 12; // ENOMEM
    *out = p;
    return 0;
}
}

using namespace tarvik;

namespace {

// Reports the bytes and blocks allocated per iteration.
class AllocationScope {
public:
    explicit AllocationScope(benchmark::State& state)
        : state_(state), bytes_(g_bytes.load()), blocks_(g_blocks.load()) {}
    ~AllocationScope() {
        const double n = static_cast<double>(state_.iterations());
        if (n <= 0) return;
        state_.counters["bytes/iter"] = static_cast<double>(g_bytes.load() - bytes_) / n;
        state_.counters["allocs/iter"] = static_cast<double>(g_blocks.load() - blocks_) / n;
    }

private:
    benchmark::State& state_;
    std::uint64_t bytes_, blocks_;
};

// A window of the main window's size with its background picture and a grid of
// 60 text buttons, as a skinned window with many controls looks.
class HoverDlg : public CDlgBase {
public:
    HoverDlg() { SetWindowSize(Scaled(1127), Scaled(740)); }
    int paints = 0;
    std::vector<CImageButton*> buttons;

protected:
    bool OnInitDialog() override {
        CDlgBase::OnInitDialog();
        SetBackgroundResource(364);
        return true;
    }
    void CreateControls(const Rect&) override {
        for (int i = 0; i < 60; ++i) {
            const int x = 36 + (i % 4) * 240, y = 40 + (i / 4) * 40;
            auto b = std::make_unique<CImageButton>(this, 2100 + i, ScaledRect(x, y, x + 230, y + 25),
                                                    QStringLiteral("Button %1").arg(i), 1);
            b->LoadNormalImage(QStringLiteral("skins\\button1_nr.png"));
            b->LoadHoverImage(QStringLiteral("skins\\button1_ov.png"));
            buttons.push_back(AddControl(0, std::move(b)));
        }
    }
    void DrawWindow(QPainter& dc, const Rect& client) override {
        DrawBackground(dc, client);
        DrawControls(dc, client);
    }
    void paintEvent(QPaintEvent* e) override {
        ++paints;
        CDlgBase::paintEvent(e);
    }
};

void MoveTo(QWidget& w, QPoint p) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(w.mapToGlobal(p)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &move);
}

QPoint CentreOf(const CControlBase& c) {
    const Rect r = c.GetRect();
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// The mouse goes from one button to the next; the window repaints what changed.
void BM_HoverRepaintScale2(benchmark::State& state) {
    SetUiScale(2.0);
    HoverDlg dlg;
    dlg.show();
    while (!dlg.windowHandle() || !dlg.windowHandle()->isExposed()) QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QPoint a = CentreOf(*dlg.buttons[21]), b = CentreOf(*dlg.buttons[22]);
    MoveTo(dlg, a);
    QCoreApplication::processEvents();
    bool onA = true;
    const int paintsBefore = dlg.paints;
    {
        AllocationScope count(state);
        for (auto _ : state) {
            onA = !onA;
            MoveTo(dlg, onA ? a : b);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        }
    }
    state.counters["paints/iter"] =
        static_cast<double>(dlg.paints - paintsBefore) / static_cast<double>(state.iterations());
    SetUiScale(1.0);
}
BENCHMARK(BM_HoverRepaintScale2);

// 20 open folders of 50 macros: 1,020 rows.
void FillLibrary(MacroLibrary& lib) {
    for (int f = 0; f < 20; ++f) {
        MacroLocation folder;
        std::u16string folderName = u"Folder ";
        folderName += Dec(f);
        lib.AddFolder(folderName, folder);
        lib.NodeAt(folder)->FolderIsOpen = true;
        for (int m = 0; m < 50; ++m) {
            MacroLocation at = folder;
            std::u16string name = u"Macro ";
            name += Dec(m);
            lib.AddMacro(name, at);
        }
    }
}

// One paint of the tree list (13 visible rows), scrolled to row `first`.
void BM_MacroTreeListPaint(benchmark::State& state) {
    SetUiScale(1.0);
    MacroLibrary lib;
    FillLibrary(lib);
    MacroTreeRows rows(lib);
    HoverDlg owner;
    CEditShowList list(&owner, Rect{25, 54, 168, 323});
    list.LoadImages();
    list.SetRows(&rows);
    list.SetFirst(static_cast<int>(state.range(0)));
    list.SetSelected(static_cast<int>(state.range(0)) + 3);
    QImage target(200, 400, QImage::Format_ARGB32_Premultiplied);
    QPainter dc(&target);
    {
        AllocationScope count(state);
        for (auto _ : state) list.Draw(dc, list.GetRect());
    }
    state.counters["rows"] = rows.RowCount();
}
BENCHMARK(BM_MacroTreeListPaint)->Arg(0)->Arg(1007);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
