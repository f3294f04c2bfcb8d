// Process set-up around the application object: the window-system choice and
// the high-DPI policy (before QApplication exists), then the application's
// names, the UI scale and the fonts (after).
#pragma once

#include <QSize>
#include <QString>

#include <optional>

class QGuiApplication;
class QScreen;

namespace tarvik::app {

// The application id: the name of the desktop file (without ".desktop") and of the icon.
inline constexpr const char* kDesktopFileName = TARVIK_APP_ID;

// The environment variables the choices below read (empty = unset, as Qt reads them).
struct PlatformEnvironment {
    QString display;            // $DISPLAY
    QString qpaPlatform;        // $QT_QPA_PLATFORM
    QString enableHighDpiScale; // $QT_ENABLE_HIGHDPI_SCALING
    QString waylandDisplay;     // $WAYLAND_DISPLAY
};

// The variables to set before the application object exists; empty = leave it.
struct PlatformChoice {
    QString qpaPlatform;        // "xcb" when DISPLAY is set and QT_QPA_PLATFORM is not
    QString enableHighDpiScale; // "0" unless the user chose: the skin scale is the only scale
    // Why no window can be shown (no display for the window system that would
    // be used); empty when one can. Qt would abort with a core dump instead.
    QString noDisplay;
};

PlatformChoice ChoosePlatform(const PlatformEnvironment& env);

// Reads the process environment, applies ChoosePlatform and returns what it
// chose (nothing is set when there is no display).
PlatformChoice PreparePlatform();

// The UI scale: `override` (--scale) when given, else the screen rule (1.0, 1.5
// or 2.0) on the available area of the screen, the client area of a maximised window.
double ChooseUiScale(std::optional<double> override, const QSize& availableScreenSize);
double ChooseUiScale(std::optional<double> override, const QScreen* screen);

// After the application object exists: program name, version and desktop file
// name (the Wayland app id), no quitting when the last window closes, the font
// substitutions, the UI scale and the DPI factor of the primary screen.
// Returns the UI scale it set.
double ConfigureApplication(QGuiApplication& app, std::optional<double> scaleOverride);

} // namespace tarvik::app
