#include "app/Screenshot.h"

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace tarvik::app {

void ScheduleScreenshot(QWidget& window, const QString& file, int afterMs, std::function<void(int)> done) {
    if (!done) done = [](int code) { QCoreApplication::exit(code); };
    const QPointer<QWidget> target(&window);
    // A zero-time timer fires after the events the start-up queued.
    QTimer::singleShot(afterMs < 0 ? 0 : afterMs, [target, file, done] {
        if (!target) {
            std::fprintf(stderr, "tarvik: no window for the screenshot\n");
            done(1);
            return;
        }
        const QImage shot = target->grab().toImage();
        // Quality 80 is zlib's fastest level: the file is written in half the
        // time of the default level and is hardly larger.
        if (shot.isNull() || !shot.save(file, "PNG", kScreenshotQuality)) {
            std::fprintf(stderr, "tarvik: cannot write the screenshot %s\n", qPrintable(file));
            done(1);
            return;
        }
        done(0);
    });
}

} // namespace tarvik::app
