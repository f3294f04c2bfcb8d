#include "skin/WndPopup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace tarvik {

// ---- CWndPopup ----------------------------------------------------------------------

CWndPopup::CWndPopup(int kind, int closeMessage)
    : QWidget(nullptr), font_(MakeInterfaceFont()), kind_(kind), closeMessage_(closeMessage) {
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    hoverTimer_.setSingleShot(true);
    hoverTimer_.setInterval(50);
    connect(&hoverTimer_, &QTimer::timeout, this, [this] {
        if (!pressed_) OnHover(lastPoint_.x(), lastPoint_.y());
        ++hoverNotices_;
    });
}

CWndPopup::~CWndPopup() {
    if (qApp) qApp->removeEventFilter(this);
}

bool CWndPopup::Create(CDlgBase* parent, const Rect& screenRect, int selectionMessage, int tag) {
    if (!parent) return false;
    parent_ = parent;
    // An owned, frameless, top-most window without a task-bar entry.
    setParent(parent,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    posX_ = screenRect.left;
    posY_ = screenRect.top;
    selectionMessage_ = selectionMessage;
    tag_ = tag;
    BuildItems();
    Render();
    move(posX_, posY_);
    show();
    raise();
    activateWindow();
    // Presses in the program's other windows end the pop-up's activation even
    // where the window system did not give it the focus.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive && isVisible()) ReportDeactivation();
    });
    return true;
}

void CWndPopup::DrawItems(QPainter&, const Rect&) {}
void CWndPopup::BuildItems() {}
bool CWndPopup::OnHover(int, int) {
    return false;
}
bool CWndPopup::OnPress(int, int) {
    return false;
}
bool CWndPopup::OnRelease(int, int) {
    return false;
}
bool CWndPopup::OnRightRelease(int, int) {
    return false;
}

void CWndPopup::Render() {
    const QSize size = this->size();
    if (size.isEmpty()) return;
    QImage buffer(size, QImage::Format_RGB32);
    buffer.fill(Qt::black);
    {
        QPainter dc(&buffer);
        dc.setRenderHint(QPainter::TextAntialiasing, true);
        DrawItems(dc, Rect{0, 0, size.width(), size.height()});
    }
    frame_ = std::move(buffer);
    update();
}

void CWndPopup::Notify(int msg, WParam wParam, LParam lParam) {
    if (CDlgBase* owner = parent_.data()) owner->SendMessage(msg, wParam, lParam);
}

void CWndPopup::ReportDeactivation() {
    if (closeReported_ || closing_) return;
    closeReported_ = true;
    Notify(closeMessage_, static_cast<WParam>(tag_), kind_);
}

void CWndPopup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (frame_.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(0, 0, frame_);
}

void CWndPopup::mouseMoveEvent(QMouseEvent* event) {
    lastPoint_ = event->position().toPoint();
    if (!tracking_) {
        tracking_ = true;
        hoverTimer_.start();
    }
    if (!pressed_ && OnHover(lastPoint_.x(), lastPoint_.y())) Render();
}

void CWndPopup::leaveEvent(QEvent*) {
    tracking_ = false;
    hoverTimer_.stop();
    lastPoint_ = QPoint(-1, -1);
    // The pointer has left the window: no item lies under it.
    if (!pressed_ && OnHover(-1, -1)) Render();
}

void CWndPopup::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() != Qt::LeftButton) return;
    closeReported_ = false;
    pressed_ = true;
    capture_ = true; // the window holds the mouse until the release
    if (OnPress(p.x(), p.y())) Render();
}

void CWndPopup::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        capture_ = false;
        pressed_ = false;
        if (OnRelease(p.x(), p.y())) Render();
    } else if (event->button() == Qt::RightButton) {
        if (OnRightRelease(p.x(), p.y())) Render();
    }
}

void CWndPopup::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            wasActive_ = true;
            closeReported_ = false;
        } else if (wasActive_) {
            wasActive_ = false;
            ReportDeactivation();
        }
    }
    QWidget::changeEvent(event);
}

bool CWndPopup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && watched->isWindowType() && isVisible()) {
        // A press in another window of the program: the pop-up loses activation.
        if (static_cast<QWindow*>(watched) != windowHandle()) ReportDeactivation();
    }
    return false;
}

void CWndPopup::closeEvent(QCloseEvent* event) {
    closing_ = true;
    qApp->removeEventFilter(this);
    hoverTimer_.stop();
    Notify(kClosedMessage, 0, 0);
    event->accept();
}

// ---- CListPopup ------------------------------------------------------------------------

PopupPictures PopupPictures::Menu() {
    return {SkinName("skins\\menu_nr.png"), SkinName("skins\\menu_ov.png"), SkinName("skins\\menusub_nr.png"),
            SkinName("skins\\menusub_ov.png")};
}

CListPopup::CListPopup(int kind, int closeMessage, Style style, int right, int height)
    : CWndPopup(kind, closeMessage), style_(style), right_(right), height_(height), y_(UiScale()) {}

void CListPopup::LoadPictures(const PopupPictures& pictures) {
    LoadSkinImage(normal_, SkinFile(pictures.normal), pictureWidth_, pictureHeight_);
    LoadSkinImage(hover_, SkinFile(pictures.hover), pictureWidth_, pictureHeight_);
    LoadSkinImage(sub_, SkinFile(pictures.subMenu), pictureWidth_, pictureHeight_);
    LoadSkinImage(hoverSub_, SkinFile(pictures.hoverSubMenu), pictureWidth_, pictureHeight_);
}

void CListPopup::AddItem(int value, const QString& label, bool subMenu) {
    const double s = UiScale();
    PopupItem item;
    item.value = value;
    item.label = label;
    item.subMenu = subMenu ? 1 : 0;
    item.rect = {itemsFromZero_ ? 0 : static_cast<int>(s), static_cast<int>(y_), static_cast<int>(right_ * s),
                 static_cast<int>(y_ + height_ * s)};
    y_ += height_ * s;
    items_.push_back(std::move(item));
}

void CListPopup::AddSeparator() {
    const double s = UiScale();
    PopupItem item;
    item.separator = 1;
    const int right = separatorRight_ > 0 ? separatorRight_ : right_;
    item.rect = {static_cast<int>(s), static_cast<int>(y_ + 2 * s), static_cast<int>(right * s),
                 static_cast<int>(y_ + 3 * s)};
    y_ += 4 * s;
    items_.push_back(std::move(item));
}

void CListPopup::FinishLayout() {
    const double s = UiScale();
    const int width =
        fixedWidth_ > 0 ? static_cast<int>(fixedWidth_ * s) : static_cast<int>((right_ + 1) * s);
    resize(width, static_cast<int>(y_ + s));
}

int CListPopup::IndexOfValue(int value) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (!items_[i].separator && items_[i].value == value) return static_cast<int>(i);
    return -1;
}

int CListPopup::ItemAt(int x, int y) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (!items_[i].separator && items_[i].rect.Contains(x, y)) return static_cast<int>(i);
    return -1;
}

Rect CListPopup::TextRect(const PopupItem& item) const {
    Rect r{item.rect.left + 2, item.rect.top, item.rect.right - 2, item.rect.bottom};
    if (!item.subMenu) return r;
    if (style_ == Style::Picture) {
        // The sub-menu pictures hold their arrow in the last 18 of their pixels,
        // stretched with the picture over the row.
        constexpr int kArrowColumns = 18;
        if (pictureWidth_ > 0)
            r.right = item.rect.right - kArrowColumns * item.rect.Width() / pictureWidth_ - 1;
    } else {
        r.right = item.rect.right - 12; // the drawn triangle ends 6 pixels from the edge, 5 wide
    }
    return r;
}

QFont CListPopup::LabelFont(const PopupItem& item) const {
    return FitFont(PopupFont(), item.label, TextRect(item).Width());
}

void CListPopup::DrawItem(QPainter& dc, const PopupItem& item, bool hot) {
    const Rect textRect = TextRect(item);
    const QFont font = LabelFont(item);
    if (style_ == Style::Picture) {
        const SkinImage& picture =
            hot ? (item.subMenu ? hoverSub_ : hover_) : (item.subMenu ? sub_ : normal_);
        DrawSkinImage(dc, picture, QRectF(item.rect.ToQRect()), QRect(0, 0, pictureWidth_, pictureHeight_));
        DrawSkinText(dc, textRect, item.label, font, hot ? kTextHover : kTextNormal,
                     kControlTextFormat | kDtCenter);
        return;
    }
    if (hot) FillSolidRect(dc, item.rect, Rgb(83, 75, 0));
    DrawSkinText(dc, textRect, item.label, font, hot ? kTextHover : kTextNormal,
                 kControlTextFormat | kDtCenter);
    if (item.subMenu) {
        // A small right-pointing triangle, pixel by pixel.
        dc.setPen(ToQColor(Rgb(144, 156, 14)));
        for (int i = 0; i <= 4; ++i)
            for (int j = 0; j <= 2 * i; ++j)
                dc.drawPoint(item.rect.right - i - 6, item.rect.top + j - i + 11);
    }
}

void CListPopup::DrawItems(QPainter& dc, const Rect&) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const PopupItem& item = items_[i];
        if (item.separator)
            FillSolidRect(dc, item.rect, kAccentColour);
        else
            DrawItem(dc, item, static_cast<int>(i) == hot_);
    }
}

bool CListPopup::OnHover(int x, int y) {
    if (hot_ >= 0 && items_[static_cast<std::size_t>(hot_)].rect.Contains(x, y)) return false;
    const bool hadHot = hot_ >= 0;
    hot_ = ItemAt(x, y);
    if (hot_ >= 0) HotItemChanged(items_[static_cast<std::size_t>(hot_)]);
    return hadHot || hot_ >= 0;
}

bool CListPopup::OnPress(int x, int y) {
    if (hot_ < 0) return false;
    if (!items_[static_cast<std::size_t>(hot_)].rect.Contains(x, y)) {
        hot_ = -1;
        return false;
    }
    PressedOnItem(items_[static_cast<std::size_t>(hot_)]);
    return false;
}

bool CListPopup::OnRelease(int x, int y) {
    if (hot_ < 0) return false;
    if (!items_[static_cast<std::size_t>(hot_)].rect.Contains(x, y)) {
        hot_ = -1;
        return true;
    }
    // The notification may close the pop-up; choose from a copy of the item.
    const PopupItem item = items_[static_cast<std::size_t>(hot_)];
    Choose(item);
    return false;
}

void CListPopup::SendResult() {
    Notify(SelectionMessage(), static_cast<WParam>(Tag()), reinterpret_cast<LParam>(&result_));
}

} // namespace tarvik
