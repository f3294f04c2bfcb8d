// The floor of the start-up figures: an empty 1127 × 740 Qt window that starts,
// renders and exits the way `tarvik --screenshot FILE` does (the window shown,
// grabbed into a PNG once the event loop has run, exit 0), and nothing else.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3 || QByteArray(argv[1]) != "--screenshot") {
        std::fprintf(stderr, "usage: tarvik-floor --screenshot FILE\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[2]);
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    window.setFixedSize(1127, 740);
    window.show();
    QTimer::singleShot(0, [&window, file] {
        const QImage shot = window.grab().toImage();
        // The quality tarvik's screenshot uses (zlib's fastest level).
        QCoreApplication::exit(!shot.isNull() && shot.save(file, "PNG", 80) ? 0 : 1);
    });
    return app.exec();
}
