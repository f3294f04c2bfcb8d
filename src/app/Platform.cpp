#include "app/Platform.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/AppOptions.h"
#include "skin/Skin.h"

namespace tarvik::app {

namespace {

// Why the window system Qt would use has no display to show on. Only X11 (and
// the default, X11 or Wayland) is judged: the others (offscreen, a Wayland
// named by the user, which finds its default socket itself) need no variable.
QString NoDisplay(const PlatformEnvironment& env) {
    const QString how =
        QStringLiteral(". Start tarvik in a desktop session; for a picture of the window without one: "
                       "QT_QPA_PLATFORM=offscreen tarvik --screenshot FILE");
    if (env.qpaPlatform.isEmpty()) {
        if (!env.display.isEmpty() || !env.waylandDisplay.isEmpty()) return {};
        return QStringLiteral("no display found: neither DISPLAY nor WAYLAND_DISPLAY is set") + how;
    }
    // A list ("xcb;offscreen") falls back to the next; one usable entry is enough.
    for (const QString& entry : env.qpaPlatform.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        if (name != QLatin1String("xcb") || !env.display.isEmpty()) return {};
    }
    return QStringLiteral("no display found: QT_QPA_PLATFORM is xcb and DISPLAY is not set") + how;
}

} // namespace

PlatformChoice ChoosePlatform(const PlatformEnvironment& env) {
    PlatformChoice c;
    c.noDisplay = NoDisplay(env);
    if (!c.noDisplay.isEmpty()) return c;
    // The on-screen display's placement, the pop-ups' grabs and the global key
    // capture need X11; under a Wayland session XWayland provides it.
    if (!env.display.isEmpty() && env.qpaPlatform.isEmpty()) c.qpaPlatform = QStringLiteral("xcb");
    // The skin multiplies every coordinate by its own factor (1, 1.5, 2); Qt's
    // device-pixel ratio would multiply it a second time.
    if (env.enableHighDpiScale.isEmpty()) c.enableHighDpiScale = QStringLiteral("0");
    return c;
}

PlatformChoice PreparePlatform() {
    PlatformEnvironment env;
    env.display = qEnvironmentVariable("DISPLAY");
    env.qpaPlatform = qEnvironmentVariable("QT_QPA_PLATFORM");
    env.enableHighDpiScale = qEnvironmentVariable("QT_ENABLE_HIGHDPI_SCALING");
    env.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    const PlatformChoice c = ChoosePlatform(env);
    if (!c.qpaPlatform.isEmpty()) qputenv("QT_QPA_PLATFORM", c.qpaPlatform.toLocal8Bit());
    if (!c.enableHighDpiScale.isEmpty())
        qputenv("QT_ENABLE_HIGHDPI_SCALING", c.enableHighDpiScale.toLocal8Bit());
    return c;
}

double ChooseUiScale(std::optional<double> override, const QSize& availableScreenSize) {
    if (override) return *override;
    return UiScaleForScreen(availableScreenSize.width(), availableScreenSize.height());
}

double ChooseUiScale(std::optional<double> override, const QScreen* screen) {
    return ChooseUiScale(override, screen ? screen->availableGeometry().size() : QSize());
}

double ConfigureApplication(QGuiApplication& app, std::optional<double> scaleOverride) {
    app.setApplicationName(QStringLiteral("tarvik"));
    app.setApplicationVersion(VersionNumber());
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    // The program ends through the tray's exit item or the removal of the mouse,
    // never because its last visible window (a notice over the hidden window) closed.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    InstallFontSubstitutions();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double scale = ChooseUiScale(scaleOverride, screen);
    SetUiScale(scale);
    if (screen) SetDpiFactor(DpiFactorFor(screen->logicalDotsPerInchX()));
    return scale;
}

} // namespace tarvik::app
