// The floor of the start-up figures: an empty 1127 × 740 Qt window that starts,
// renders and exits the way `tarvik --screenshot FILE` does (the window shown,
// grabbed into a PNG once the event loop has run, exit 0), and nothing else.
// It is grabbed after its first paint on the screen, as tarvik's window is: an
// empty window grabbed before the server exposes it never touches its backing
// store, and a floor that skips that work is not one a shown window can reach.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <utility>

namespace {

class FloorWindow : public QWidget {
public:
    explicit FloorWindow(QString file) : file_(std::move(file)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        if (grabbing_) return;
        grabbing_ = true;
        QTimer::singleShot(0, this, [this] {
            const QImage shot = grab().toImage();
            // The quality tarvik's screenshot uses (zlib's fastest level).
            QCoreApplication::exit(!shot.isNull() && shot.save(file_, "PNG", 80) ? 0 : 1);
        });
    }

private:
    QString file_;
    bool grabbing_ = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || QByteArray(argv[1]) != "--screenshot") {
        std::fprintf(stderr, "usage: tarvik-floor --screenshot FILE\n");
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[2]);
    QApplication app(argc, argv);
    FloorWindow window(file);
    window.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    window.setFixedSize(1127, 740);
    window.show();
    return app.exec();
}
