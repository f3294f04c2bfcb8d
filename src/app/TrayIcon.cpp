#include "app/TrayIcon.h"

#include "app/Platform.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <utility>

#include "skin/Skin.h"
#include "text/Language.h"
#include "text/Log.h"
#include "text/ProgramTexts.h"

namespace tarvik::app {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kWatcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

QPixmap DrawIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // A mouse seen from above: body, the split between the buttons, the wheel.
    QPainterPath body;
    body.addRoundedRect(QRectF(7, 2, 18, 28), 9, 9);
    p.fillPath(body, ToQColor(kAccentColour));
    p.setPen(QPen(QColor(20, 24, 30), 1.6));
    p.drawLine(QPointF(16, 2.5), QPointF(16, 12));
    p.drawLine(QPointF(7.5, 13), QPointF(24.5, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 24, 30));
    p.drawRoundedRect(QRectF(14.5, 5, 3, 5), 1.5, 1.5);
    return pm;
}

bool GnomeSession() {
    for (const QString& token : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':')))
        if (token.compare(QLatin1String("GNOME"), Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace

TrayClick TrayClickAction(QSystemTrayIcon::ActivationReason reason, bool statusNotifier) {
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        return TrayClick::BringUp;
    case QSystemTrayIcon::Trigger:
        return statusNotifier ? TrayClick::Toggle : TrayClick::Nothing;
    default:
        return TrayClick::Nothing;
    }
}

QIcon TarvikIcon() {
    QIcon drawn;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) drawn.addPixmap(DrawIcon(size));
    return QIcon::fromTheme(QString::fromLatin1(kDesktopFileName), drawn);
}

CTrayIcon::CTrayIcon(QIcon picture, QObject* parent) : QObject(parent), picture_(std::move(picture)) {
    waitTimer_.setSingleShot(true);
    connect(&waitTimer_, &QTimer::timeout, this, &CTrayIcon::Create);
    connect(&menu_, &QMenu::aboutToShow, this, &CTrayIcon::RebuildMenu);
    RebuildMenu();
}

CTrayIcon::~CTrayIcon() {
    Remove();
}

void CTrayIcon::RebuildMenu() {
    menu_.clear();
    const auto add = [this](int id, std::u16string_view text) {
        QAction* a = menu_.addAction(QString::fromStdU16String(std::u16string(text)));
        a->setData(id);
        connect(a, &QAction::triggered, this, [this, id] { emit commandChosen(id); });
    };
    // String 6, not the window's "Profiles" (1): the item shows the window. A
    // language file from before string 6 gets the program's own text.
    const std::u16string& show = LanguageString(kTrayShowString);
    add(kIdTrayBringUp, show.empty() ? ProgramTextString(ProgramText::ShowWindow) : show);
    menu_.addSeparator();
    add(kIdTrayExit, LanguageString(2));
}

void CTrayIcon::HandleActivation(QSystemTrayIcon::ActivationReason reason) {
    switch (TrayClickAction(reason, statusNotifier_)) {
    case TrayClick::BringUp:
        emit commandChosen(kIdTrayBringUp);
        break;
    case TrayClick::Toggle:
        emit toggleRequested();
        break;
    case TrayClick::Nothing:
        break;
    }
}

void CTrayIcon::Show(int waitMs) {
    if (icon_ || removed_ || waitTimer_.isActive()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Create();
        return;
    }
    // Wait for the host: its registration signal, the watcher service appearing
    // (then ask again), or the time limit.
    bus.connect(kWatcherService, kWatcherPath, kWatcherInterface,
                QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(OnHostRegistered()));
    auto* serviceWatcher =
        new QDBusServiceWatcher(kWatcherService, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this, &CTrayIcon::QueryHost);
    waitTimer_.start(waitMs < 0 ? 0 : waitMs);
    QueryHost();
}

void CTrayIcon::QueryHost() {
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get, 2000), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QDBusVariant> reply = *w;
        w->deleteLater();
        if (!reply.isError() && reply.value().variant().toBool()) OnHostRegistered();
    });
}

void CTrayIcon::OnHostRegistered() {
    if (icon_ || removed_) return;
    statusNotifier_ = true;
    Create();
}

void CTrayIcon::Create() {
    waitTimer_.stop();
    if (icon_ || removed_) return;
    QDBusConnection::sessionBus().disconnect(kWatcherService, kWatcherPath, kWatcherInterface,
                                             QStringLiteral("StatusNotifierHostRegistered"), this,
                                             SLOT(OnHostRegistered()));
    // Making the object is where Qt picks the StatusNotifier or the X11 tray.
    icon_ = std::make_unique<QSystemTrayIcon>(picture_.isNull() ? TarvikIcon() : picture_);
    icon_->setToolTip(QStringLiteral("Pelcor"));
    icon_->setContextMenu(&menu_);
    connect(icon_.get(), &QSystemTrayIcon::activated, this, &CTrayIcon::HandleActivation);
    icon_->show();
    if (!TrayAvailable()) {
        std::string why = "no notification area: the window minimises to the task bar instead of the tray";
        if (GnomeSession())
            why +=
                "; on GNOME the AppIndicator extension (gnome-shell-extension-appindicator) brings the tray "
                "back";
        ReportProblem(why);
    }
}

void CTrayIcon::Remove() {
    removed_ = true;
    waitTimer_.stop();
    if (!icon_) return;
    icon_->hide();
    icon_.reset();
}

bool CTrayIcon::TrayAvailable() const {
    return icon_ && icon_->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace tarvik::app

// moc output for the header, compiled with this file.
#include "moc_TrayIcon.cpp"
