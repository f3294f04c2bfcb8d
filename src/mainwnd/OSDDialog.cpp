#include "mainwnd/OSDDialog.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "device/Protocol.h"
#include "text/Language.h"

namespace tarvik {

namespace {

const QString kSongTi = QString::fromUtf8("宋体");

QString InterfaceFace() {
    return QString::fromStdU16String(Language().Font().face);
}

// A font of the given cell height and average character width, as the display
// asks for both.
QFont DisplayFont(int height, int width, int weight) {
    QFont font = MakeFont(height, InterfaceFace());
    font.setWeight(static_cast<QFont::Weight>(weight));
    const double average = QFontMetricsF(font).averageCharWidth();
    if (width > 0 && average > 0)
        font.setStretch(std::clamp(static_cast<int>(std::lround(width * 100.0 / average)), 1, 4000));
    return font;
}

void DrawAt(QPainter& p, int x, int y, const QString& text, const QFont& font) {
    p.setFont(font);
    // The point is the top-left corner of the text, not its baseline.
    p.drawText(QRect(x, y, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

} // namespace

COSDDialog::COSDDialog()
    : QDialog(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    // The whole window at alpha 128; without a compositor it shows opaque.
    setWindowOpacity(kAlpha / 255.0);
    setFixedSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
}

void COSDDialog::Update(const QString& title, const QString& value, const QString& rate) {
    title_ = title;
    value_ = value;
    rate_ = rate;
    update();
}

void COSDDialog::Place(const QRect& available) {
    const int w = Scaled(kDesignWidth), h = Scaled(kDesignHeight);
    setFixedSize(w, h);
    move(available.x() + available.width() - w, available.y() + available.height() - h);
}

int COSDDialog::ValueX(const QString& value, const QString& face) {
    const int n = static_cast<int>(value.size());
    if (face == kSongTi) return n == 5 ? 34 : n == 4 ? 44 : 50;
    return n == 5 ? 16 : n == 4 ? 34 : 50;
}

int COSDDialog::RateX(const QString& rate) {
    return rate.size() == 6 ? 50 : 57;
}

QImage COSDDialog::Render() const {
    QImage img(width(), height(), QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(img.rect(), ToQColor(kFill));
    p.setPen(ToQColor(kTextColour));
    const QFont small = DisplayFont(Scaled(24), Scaled(12), 700);
    const QFont large = DisplayFont(Scaled(48), Scaled(24), 400);
    DrawAt(p, Scaled(58), Scaled(20), title_, small);
    DrawAt(p, Scaled(ValueX(value_, InterfaceFace())), Scaled(44), value_, large);
    DrawAt(p, Scaled(RateX(rate_)), Scaled(92), rate_, small);
    return img;
}

void COSDDialog::paintEvent(QPaintEvent*) {
    // Drawn off-screen first, then copied in one piece.
    QPainter p(this);
    p.drawImage(0, 0, Render());
}

OsdDisplay::OsdDisplay(Scheduler& scheduler, QObject* parent) : QObject(parent), scheduler_(scheduler) {}

OsdDisplay::~OsdDisplay() {
    Close();
}

void OsdDisplay::Show(const OsdTexts& texts) {
    const QString title = QString::fromStdString(texts.title);
    const QString value = QString::fromStdString(texts.value);
    const QString rate = QString::fromStdString(texts.rate);
    if (!dialog_) {
        dialog_ = std::make_unique<COSDDialog>();
        const QScreen* screen = QGuiApplication::primaryScreen();
        dialog_->Place(screen ? screen->availableGeometry()
                              : QRect(0, 0, dialog_->width(), dialog_->height()));
        dialog_->show();
        dialog_->Update(title, value, rate);
        scheduler_.Arm(kTaskId, Millis(kTickMs), true, [this] { Tick(); });
        countdown_ = kCountdown;
        return;
    }
    countdown_ = kCountdown;
    dialog_->Update(title, value, rate);
}

void OsdDisplay::Tick() {
    if (countdown_ != 0) {
        --countdown_;
        return;
    }
    Close();
}

void OsdDisplay::Close() {
    scheduler_.Disarm(kTaskId);
    countdown_ = 0;
    dialog_.reset();
}

} // namespace tarvik
