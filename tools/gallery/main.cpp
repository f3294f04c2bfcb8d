// tarvik-skin-gallery: shows every control of the skin toolkit in every state.
//
//   tarvik-skin-gallery [--scale 1|1.5|2] [--screenshot FILE.png]
//
// With --screenshot the window is rendered into FILE.png and the program ends
// (works without a screen: QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QImage>
#include <QPixmap>

#include <cstdio>
#include <cstring>
#include <string>

#include "GalleryDlg.h"
#include "skin/Skin.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: tarvik-skin-gallery [--scale 1|1.5|2] [--screenshot FILE.png]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    double scale = 1.0;
    QString screenshot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            const std::string v = argv[++i];
            if (v == "1")
                scale = 1.0;
            else if (v == "1.5")
                scale = 1.5;
            else if (v == "2")
                scale = 2.0;
            else
                return Usage();
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = QString::fromLocal8Bit(argv[++i]);
        } else {
            return Usage();
        }
    }

    QApplication app(argc, argv);
    tarvik::SetUiScale(scale);
    tarvik::InstallFontSubstitutions();

    tarvik::CGalleryDlg dlg;
    if (screenshot.isEmpty()) {
        dlg.exec();
        return 0;
    }

    dlg.show();
    QApplication::processEvents();
    const QImage shot = dlg.grab().toImage();
    if (shot.isNull() || !shot.save(screenshot)) {
        std::fprintf(stderr, "tarvik-skin-gallery: cannot write %s\n", qPrintable(screenshot));
        return 1;
    }
    return 0;
}
