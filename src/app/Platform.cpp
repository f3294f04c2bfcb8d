#include "app/Platform.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/AppOptions.h"
#include "skin/Skin.h"

namespace tarvik::app {

PlatformChoice ChoosePlatform(const PlatformEnvironment& env) {
    PlatformChoice c;
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
