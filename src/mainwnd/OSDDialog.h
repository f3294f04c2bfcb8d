// The on-screen display: a small translucent window at the bottom right of the
// primary screen that shows the DPI level, its value and the polling rate when
// the user changes them on the mouse. It never takes the focus or the mouse, and
// goes away 1.8 s after the last update.
#pragma once

#include <QDialog>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <memory>

#include "device/Scheduler.h"
#include "skin/Skin.h"

namespace tarvik {

struct OsdTexts;

class COSDDialog : public QDialog {
public:
    static constexpr int kDesignWidth = 180;
    static constexpr int kDesignHeight = 140;
    static constexpr Colour kFill = Rgb(164, 73, 164);
    static constexpr Colour kTextColour = Rgb(255, 255, 255);
    static constexpr int kAlpha = 128; // of 255, for the whole window

    COSDDialog();

    // Stores the three texts and repaints the whole window.
    void Update(const QString& title, const QString& value, const QString& rate);
    // Sizes the window (design size × UI scale) and puts it in the bottom-right
    // corner of `available` (the primary screen's work area).
    void Place(const QRect& available);

    const QString& Title() const { return title_; }
    const QString& Value() const { return value_; }
    const QString& Rate() const { return rate_; }

    // The window's picture at its current size.
    QImage Render() const;

    // Where the value and the rate start, by their length and the interface face.
    static int ValueX(const QString& value, const QString& face);
    static int RateX(const QString& rate);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_, value_, rate_;
};

// The display as the main window keeps it: at most one, created by the first
// level or rate report, counted down by a task of the scheduler every 300 ms from 5 after each
// update, destroyed when the count is spent.
class OsdDisplay : public QObject {
public:
    // Its countdown's task on the scheduler (beside the window's own).
    static constexpr TaskId kTaskId = 250;
    static constexpr int kTickMs = 300;
    static constexpr int kCountdown = 5;

    explicit OsdDisplay(Scheduler& scheduler, QObject* parent = nullptr);
    ~OsdDisplay() override;

    // Shows the display or updates the one that is up (message 1067).
    void Show(const OsdTexts& texts);
    // One countdown step.
    void Tick();
    // Destroys the display now (the program ends).
    void Close();

    COSDDialog* Dialog() const { return dialog_.get(); }
    int Countdown() const { return countdown_; }
    bool IsTimerArmed() const { return scheduler_.Armed(kTaskId); }

private:
    Scheduler& scheduler_;
    std::unique_ptr<COSDDialog> dialog_;
    int countdown_ = 0;
};

} // namespace tarvik
