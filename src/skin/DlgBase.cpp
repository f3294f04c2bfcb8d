#include "skin/DlgBase.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace tarvik {

// Marks the time a mouse event or message is being handled: controls deleted in
// a notification stay alive until the outermost handler returns, so the routing
// code never calls into a destroyed control.
class RoutingScope {
public:
    explicit RoutingScope(CDlgBase& dlg) : dlg_(dlg) { ++dlg_.routingDepth_; }
    ~RoutingScope() {
        if (--dlg_.routingDepth_ == 0) dlg_.FlushDeletedControls();
    }
    RoutingScope(const RoutingScope&) = delete;
    RoutingScope& operator=(const RoutingScope&) = delete;

private:
    CDlgBase& dlg_;
};

namespace {

unsigned KeyFlags(const QMouseEvent* e) {
    unsigned keys = 0;
    const Qt::MouseButtons b = e->buttons();
    if (b & Qt::LeftButton) keys |= kMkLButton;
    if (b & Qt::RightButton) keys |= kMkRButton;
    if (b & Qt::MiddleButton) keys |= kMkMButton;
    if (e->modifiers() & Qt::ShiftModifier) keys |= kMkShift;
    if (e->modifiers() & Qt::ControlModifier) keys |= kMkControl;
    return keys;
}

} // namespace

CDlgBase::CDlgBase(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), timers_(this, [this](int id) { OnTimer(id); }) {
    setMouseTracking(true);
    // Only the double-buffered paint draws; nothing erases the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    hoverTimer_.setSingleShot(true);
    hoverTimer_.setInterval(1);
    connect(&hoverTimer_, &QTimer::timeout, this, [this] { OnMouseHover(mapFromGlobal(QCursor::pos())); });
}

CDlgBase::~CDlgBase() {
    for (auto& group : groups_) {
        for (const auto& c : group) router_.Forget(c.get());
        group.clear();
    }
    deleted_.clear();
}

void CDlgBase::InitDialog() {
    if (initialised_) return;
    initialised_ = true;
    OnInitDialog();
}

bool CDlgBase::OnInitDialog() {
    setWindowTitle(QStringLiteral("Pelcor"));
    dialogFont_ = MakeDialogFont(logicalDpiY());
    resize(windowWidth_, windowHeight_);
    CreateControls(Rect{0, 0, width(), height()});
    // Centre over the owner, or over the screen.
    QRect area;
    if (QWidget* owner = parentWidget())
        area = owner->window()->frameGeometry();
    else if (QScreen* s = screen())
        area = s->availableGeometry();
    if (!area.isEmpty()) move(area.center() - QPoint(width() / 2, height() / 2));
    return true;
}

void CDlgBase::setVisible(bool visible) {
    if (visible) InitDialog();
    QDialog::setVisible(visible);
}

void CDlgBase::SetWindowSize(int width, int height) {
    windowWidth_ = width;
    windowHeight_ = height;
    if (initialised_) resize(width, height);
}

LResult CDlgBase::SendMessage(int msg, WParam wParam, LParam lParam) {
    RoutingScope scope(*this);
    LResult result = 0;
    messages_.Dispatch(msg, wParam, lParam, result);
    return result;
}

void CDlgBase::PostMessage(int msg, WParam wParam, LParam lParam) {
    QMetaObject::invokeMethod(
        this, [this, msg, wParam, lParam] { SendMessage(msg, wParam, lParam); }, Qt::QueuedConnection);
}

void CDlgBase::UseStandardCloseIds() {
    auto close = [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) {
            ReleaseControlImages();
            done(QDialog::Rejected);
        }
        return 0;
    };
    messages_.Add(kIdClose, close);
    messages_.Add(kIdCancel, close);
}

void CDlgBase::UseStandardConfirmId() {
    messages_.Add(kIdConfirm, [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) {
            ReleaseControlImages();
            done(QDialog::Accepted);
        }
        return 0;
    });
}

void CDlgBase::OnTimer(int) {}

const std::vector<std::unique_ptr<CControlBase>>& CDlgBase::Group(int g) const {
    return groups_.at(static_cast<std::size_t>(g));
}

CControlBase* CDlgBase::FindControl(int id) const {
    for (const auto& group : groups_)
        for (const auto& c : group)
            if (c && c->Id() == id) return c.get();
    return nullptr;
}

void CDlgBase::ReleaseControlImages() {
    for (const auto& group : groups_)
        for (const auto& c : group)
            if (c) c->ReleaseImages();
}

void CDlgBase::DeleteControl(CControlBase* control) {
    if (!control) return;
    for (auto& group : groups_) {
        for (auto& c : group) {
            if (c.get() != control) continue;
            router_.Forget(control);
            deleted_.push_back(std::move(c));
            if (routingDepth_ == 0) FlushDeletedControls();
            return;
        }
    }
}

void CDlgBase::FlushDeletedControls() {
    for (const auto& c : deleted_) router_.Forget(c.get());
    deleted_.clear();
}

void CDlgBase::SetPopup(int slot, QWidget* popup) {
    if (slot >= 0 && slot < kPopupSlotCount) popups_[static_cast<std::size_t>(slot)] = popup;
}

QWidget* CDlgBase::Popup(int slot) const {
    if (slot < 0 || slot >= kPopupSlotCount) return nullptr;
    return popups_[static_cast<std::size_t>(slot)].data();
}

void CDlgBase::ClosePopup(int slot) {
    if (slot < 0 || slot >= kPopupSlotCount) return;
    QPointer<QWidget>& popup = popups_[static_cast<std::size_t>(slot)];
    if (!popup.isNull()) {
        router_.DeactivateUnlessTarget();
        QMetaObject::invokeMethod(popup.data(), &QWidget::close, Qt::QueuedConnection);
    }
    popup.clear();
}

void CDlgBase::InvalidateRect(const Rect& r) {
    if (!r.IsEmpty()) update(r.ToQRect());
}

void CDlgBase::InvalidateAll() {
    update();
}

// ---- background -----------------------------------------------------------

void CDlgBase::SetBackgroundBitmap(const QImage& bitmap) {
    backgroundMargin_ = (windowWidth_ <= backgroundWidth_ && windowHeight_ <= backgroundHeight_)
                            ? 0
                            : std::min({backgroundWidth_, 100, backgroundHeight_});
    if (bitmap.isNull()) return;
    AverageColour(bitmap, backgroundWidth_, backgroundHeight_, fill_);
    const double s = UiScale();
    const int w = static_cast<int>((backgroundWidth_ - backgroundMargin_) * s);
    const int h = static_cast<int>((backgroundHeight_ - backgroundMargin_) * s);
    if (w <= 0 || h <= 0) {
        backgroundCopy_ = QImage();
        return;
    }
    QImage copy(w, h, QImage::Format_RGB32);
    copy.fill(Qt::black);
    QPainter p(&copy);
    StretchBitmap(p, bitmap, QRect(0, 0, w, h), QRect(0, 0, bitmap.width(), bitmap.height()));
    p.end();
    backgroundCopy_ = std::move(copy);
}

bool CDlgBase::SetBackgroundResource(int number) {
    SkinBitmap bmp;
    if (!LoadBitmapResource(number, bmp)) return false;
    backgroundWidth_ = bmp.width;
    backgroundHeight_ = bmp.height;
    SetBackgroundBitmap(bmp.image);
    return true;
}

bool CDlgBase::SetBackgroundFile(const QString& name) {
    SkinBitmap bmp;
    if (!LoadSkinBitmap(SkinFile(name), bmp)) return false;
    backgroundWidth_ = bmp.width;
    backgroundHeight_ = bmp.height;
    SetBackgroundBitmap(bmp.image);
    return true;
}

void CDlgBase::DrawBackground(QPainter& dc, const Rect& client) {
    FillSolidRect(dc, client, fill_);
    if (backgroundCopy_.isNull()) return;
    const int w = std::min(backgroundCopy_.width(), client.Width());
    const int h = std::min(backgroundCopy_.height(), client.Height());
    dc.drawImage(QPoint(0, 0), backgroundCopy_, QRect(0, 0, w, h));
}

void CDlgBase::DrawFrameFile(QPainter& dc, const QString& name, int designWidth, int designHeight,
                             int grownBy, int keepTop) {
    // Decoded once: a hover repaint must not read the disk. A file that cannot be
    // read is remembered as empty and leaves the fill colour.
    auto it = frames_.find(name);
    if (it == frames_.end()) {
        SkinBitmap frame;
        LoadSkinBitmap(SkinFile(name), frame);
        it = frames_.emplace(name, std::move(frame.image)).first;
    }
    if (it->second.isNull()) return;
    if (grownBy <= 0) {
        StretchBitmap(dc, it->second, QRect(0, 0, Scaled(designWidth), Scaled(designHeight)),
                      QRect(0, 0, designWidth, designHeight));
        return;
    }
    // A window grown taller than its frame: the rows above keepTop (title
    // bar) keep their size, the rest is stretched over the grown height.
    const int top = std::clamp(keepTop, 0, designHeight);
    StretchBitmap(dc, it->second, QRect(0, 0, Scaled(designWidth), Scaled(top)),
                  QRect(0, 0, designWidth, top));
    StretchBitmap(dc, it->second,
                  QRect(0, Scaled(top), Scaled(designWidth), Scaled(designHeight) - Scaled(top) + grownBy),
                  QRect(0, top, designWidth, designHeight - top));
}

// ---- painting ---------------------------------------------------------------

void CDlgBase::SetFrameFile(const QString& name, int designWidth, int designHeight, int keepTop) {
    frame_.name = name;
    frame_.designWidth = designWidth;
    frame_.designHeight = designHeight;
    frame_.keepTop = keepTop;
}

void CDlgBase::DrawWindow(QPainter& dc, const Rect& client) {
    DrawBackground(dc, client);
    if (!frame_.name.isEmpty())
        DrawFrameFile(dc, frame_.name, frame_.designWidth, frame_.designHeight, frame_.grownBy,
                      frame_.keepTop);
    DrawUnderControls(dc, client);
    DrawControls(dc, client);
    DrawOverControls(dc, client);
}

void CDlgBase::DrawUnderControls(QPainter&, const Rect&) {}

void CDlgBase::DrawOverControls(QPainter&, const Rect&) {}

void CDlgBase::DrawControls(QPainter& dc, const Rect& update) {
    for (const auto& group : groups_) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            CControlBase* c = group[i].get();
            if (!c || !c->IsShown()) continue;
            if (!c->GetRect().Intersects(update)) continue;
            // During a paint, only the controls in the part being painted draw.
            if (!paintRegion_.isEmpty() && !paintRegion_.intersects(c->GetRect().ToQRect())) continue;
            c->Draw(dc, update);
        }
    }
}

void CDlgBase::paintEvent(QPaintEvent* event) {
    if (isMinimized()) return;
    // The window paints into a back buffer it keeps, and only the part that was
    // invalidated; that part is then copied to the screen. A new buffer (first
    // paint, new size, pixel ratio or UI scale) is painted whole.
    if (!keepBack_) {
        // Straight into the backing store, with the state a painter on an
        // image starts with, so the same pixels come out.
        const QRegion region = event->region() & rect();
        if (region.isEmpty()) return;
        QPainter dc(this);
        dc.setPen(QPen());
        dc.setBrush(QBrush());
        dc.setFont(QFont());
        dc.setClipRegion(region);
        dc.setRenderHint(QPainter::TextAntialiasing, true);
        dc.fillRect(rect(), Qt::black);
        paintRegion_ = region;
        DrawWindow(dc, Rect{0, 0, width(), height()});
        paintRegion_ = QRegion();
        return;
    }
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(static_cast<int>(width() * dpr + 0.5), static_cast<int>(height() * dpr + 0.5));
    QRegion region = event->region() & rect();
    if (back_.size() != pixels || back_.devicePixelRatio() != dpr || backScale_ != UiScale()) {
        back_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        back_.setDevicePixelRatio(dpr);
        backScale_ = UiScale();
        region = rect();
    }
    if (region.isEmpty()) return;
    {
        QPainter dc(&back_);
        dc.setClipRegion(region);
        dc.setRenderHint(QPainter::TextAntialiasing, true);
        dc.fillRect(rect(), Qt::black);
        paintRegion_ = region;
        DrawWindow(dc, Rect{0, 0, width(), height()});
        paintRegion_ = QRegion();
    }
    QPainter screen(this);
    for (const QRect& r : event->region() & rect())
        screen.drawImage(QRectF(r), back_, QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr));
}

void CDlgBase::SetKeepsBackBuffer(bool keep) {
    keepBack_ = keep;
    back_ = QImage();
    update();
}

void CDlgBase::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    back_ = QImage(); // remade at the next paint, which then covers the whole window
}

// ---- mouse routing ------------------------------------------------------------

int CDlgBase::ControlCount() const {
    std::size_t n = 0;
    for (const auto& group : groups_) n += group.size();
    return static_cast<int>(n);
}

RoutedControl CDlgBase::ControlAt(int index) const {
    if (index < 0) return {};
    auto i = static_cast<std::size_t>(index);
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        if (i < groups_[g].size()) return {groups_[g][i].get(), static_cast<int>(g)};
        i -= groups_[g].size();
    }
    return {};
}

QPoint CDlgBase::CursorPoint() const {
    return mapFromGlobal(QCursor::pos());
}

int CDlgBase::DragDistance() const {
    return QApplication::startDragDistance();
}

bool CDlgBase::StartSystemMove() {
    QWindow* w = windowHandle();
    return w && w->startSystemMove();
}

void CDlgBase::OnMouseMove(unsigned keys, QPoint p) {
    RoutingScope scope(*this);
    router_.RouteMove(keys, p);
}

void CDlgBase::OnMouseHover(QPoint p) {
    router_.Hover(p);
}

void CDlgBase::OnMouseLeave() {
    RoutingScope scope(*this);
    router_.Leave();
}

void CDlgBase::OnLButtonDown(unsigned keys, QPoint p) {
    RoutingScope scope(*this);
    router_.Press(keys, p);
}

void CDlgBase::OnLButtonUp(unsigned keys, QPoint p) {
    RoutingScope scope(*this);
    router_.Release(keys, p);
}

void CDlgBase::OnRButtonUp(unsigned keys, QPoint p) {
    RoutingScope scope(*this);
    router_.RightRelease(keys, p);
}

void CDlgBase::OnLButtonDblClk(unsigned keys, QPoint p) {
    RoutingScope scope(*this);
    router_.DoubleClick(keys, p);
}

// ---- Qt events ------------------------------------------------------------------

void CDlgBase::mouseMoveEvent(QMouseEvent* event) {
    RoutingScope scope(*this);
    router_.Move(KeyFlags(event), event->position().toPoint(), event->globalPosition().toPoint(),
                 (event->buttons() & Qt::LeftButton) != 0);
}

void CDlgBase::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) OnLButtonDown(KeyFlags(event), event->position().toPoint());
}

void CDlgBase::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonUp(KeyFlags(event), event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        OnRButtonUp(KeyFlags(event), event->position().toPoint());
}

void CDlgBase::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) OnLButtonDblClk(KeyFlags(event), event->position().toPoint());
}

void CDlgBase::leaveEvent(QEvent*) {
    OnMouseLeave();
}

} // namespace tarvik
