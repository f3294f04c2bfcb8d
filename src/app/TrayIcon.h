// The icon in the desktop's notification area: tip "Pelcor", a menu built anew
// for every opening (2075 bring-up, 2076 exit, texts language strings 1 and 2),
// and the clicks on the icon. It reports commands; the window acts on them.
//
// Qt decides once per process whether it talks to a StatusNotifier host (D-Bus)
// or to an X11 tray, when the first tray icon object is made. A program started
// with the session can be faster than the panel, so the icon is made only when
// a StatusNotifier host is registered, or after a wait of at most 30 s.
#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>

namespace tarvik::app {

inline constexpr int kIdTrayBringUp = 2075;
inline constexpr int kIdTrayExit = 2076;
// The language string of the menu item that shows the window.
inline constexpr int kTrayShowString = 6;
inline constexpr int kTrayHostWaitMs = 30000;

// What a click on the icon asks of the window. A StatusNotifier host sends a
// single click for what an X11 tray reports as a double click, and never a
// double click, so there the single click toggles the window.
enum class TrayClick { Nothing, BringUp, Toggle };
TrayClick TrayClickAction(QSystemTrayIcon::ActivationReason reason, bool statusNotifier);

// The program's icon: the application id's icon from the icon theme, else one drawn here.
QIcon TarvikIcon();

class CTrayIcon : public QObject {
    Q_OBJECT
public:
    // Shows `picture`, else TarvikIcon() (the window passes the icon it has
    // already made: the theme lookup and the drawing are done once).
    explicit CTrayIcon(QIcon picture = QIcon(), QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Puts the icon up: at once when a StatusNotifier host is registered or no
    // session bus exists, else when a host registers or `waitMs` has passed.
    void Show(int waitMs = kTrayHostWaitMs);
    // Takes the icon away (shutdown).
    void Remove();

    // The icon is up in a notification area that exists. When false the
    // window's close and minimise buttons minimise instead of hiding, or the
    // window could not be brought back.
    bool TrayAvailable() const;
    bool IsWaitingForHost() const { return waitTimer_.isActive(); }
    bool UsesStatusNotifier() const { return statusNotifier_; }

    // The menu as the last opening built it.
    QMenu& Menu() { return menu_; }
    // Builds the menu from the current language texts (every opening does).
    void RebuildMenu();
    // A click on the icon, as the tray reports it.
    void HandleActivation(QSystemTrayIcon::ActivationReason reason);

signals:
    // 2075 (menu item or the bring-up click) and 2076 (exit).
    void commandChosen(int id);
    void toggleRequested();

private slots:
    void OnHostRegistered();

private:
    void QueryHost();
    void Create();

    QMenu menu_;
    QIcon picture_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    QTimer waitTimer_;
    bool statusNotifier_ = false;
    bool removed_ = false;
};

} // namespace tarvik::app
