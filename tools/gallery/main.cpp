// tarvik-skin-gallery: shows every control of the skin toolkit in every state,
// and opens each pop-up and dialog with sample data.
//
//   tarvik-skin-gallery [--scale 1|1.5|2] [--show NAME] [--screenshot FILE.png]
//
// NAME is "controls" (the second page: lists, sliders, bars, tabs) or the class
// of a pop-up or dialog (CComboPopup, CColorPaletteDlg, ...; --list names them).
// With --screenshot the window is rendered into FILE.png at its own size and the
// program ends (works without a screen: QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>

#include <cstdio>
#include <cstring>
#include <string>

#include "GalleryDlg.h"
#include "Showcase.h"
#include "macro/ui/KeyboardHook.h"
#include "skin/Skin.h"
#include "skin/WndPopup.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: tarvik-skin-gallery [--scale 1|1.5|2] [--show NAME] [--screenshot FILE.png] "
                         "[--list]\n");
    return 2;
}

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    } while (t.elapsed() < ms);
}

int Save(QWidget& w, const QString& file) {
    const QImage shot = w.grab().toImage();
    if (shot.isNull() || !shot.save(file)) {
        std::fprintf(stderr, "tarvik-skin-gallery: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}

// Moves the mouse over a middle item so the screenshot shows the highlight.
void HoverSampleItem(tarvik::CListPopup& popup) {
    const auto& items = popup.Items();
    for (std::size_t i = items.size() / 3; i < items.size(); ++i) {
        if (items[i].separator || items[i].label.isEmpty()) continue;
        const QPointF p((items[i].rect.left + items[i].rect.right) / 2.0,
                        (items[i].rect.top + items[i].rect.bottom) / 2.0);
        QMouseEvent move(QEvent::MouseMove, p, popup.mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&popup, &move);
        return;
    }
}

} // namespace

int main(int argc, char** argv) {
    double scale = 1.0;
    QString screenshot, show;
    bool list = false;
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
        } else if (std::strcmp(argv[i], "--show") == 0 && i + 1 < argc) {
            show = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--list") == 0) {
            list = true;
        } else {
            return Usage();
        }
    }
    if (list) {
        std::printf("controls\n");
        for (const QString& name : tarvik::SampleClasses()) std::printf("%s\n", qPrintable(name));
        return 0;
    }

    QApplication app(argc, argv);
    tarvik::SetUiScale(scale);
    tarvik::InstallFontSubstitutions();
    tarvik::LoadGalleryLanguage();

    if (show.isEmpty()) {
        tarvik::CGalleryDlg dlg;
        if (screenshot.isEmpty()) {
            dlg.exec();
            return 0;
        }
        dlg.show();
        QApplication::processEvents();
        return Save(dlg, screenshot);
    }

    tarvik::CControlsGalleryDlg page;
    if (show == QLatin1String("controls")) {
        if (screenshot.isEmpty()) {
            page.exec();
            return 0;
        }
        page.show();
        QApplication::processEvents();
        return Save(page, screenshot);
    }
    if (!tarvik::SampleClasses().contains(show)) {
        std::fprintf(stderr, "tarvik-skin-gallery: unknown class %s (--list names them)\n", qPrintable(show));
        return 2;
    }
    page.show();
    QApplication::processEvents();
    QWidget* sample = page.ShowSample(show);
    if (!sample) return 1;
    if (auto* popup = dynamic_cast<tarvik::CListPopup*>(sample)) {
        HoverSampleItem(*popup);
        if (screenshot.isEmpty()) {
            return app.exec();
        }
        Pump(50);
        return Save(*popup, screenshot);
    }
    auto* dialog = static_cast<QDialog*>(sample);
    if (screenshot.isEmpty()) {
        const int result = dialog->exec();
        std::printf("%s ended with %s\n", qPrintable(show), result == QDialog::Accepted ? "OK" : "cancel");
        delete dialog;
        return 0;
    }
    dialog->show();
    // The shortcut dialog shows a captured key.
    if (show == QLatin1String("CShortcutDlg"))
        static_cast<tarvik::CDlgBase*>(dialog)->SendMessage(tarvik::CKeyboardHook::kKeyMessage, 0x41, 0);
    // The progress dialog is shown half-way through its animation.
    Pump(show == QLatin1String("CProgressBarDlg") ? 260 : 30);
    const int rc = Save(*dialog, screenshot);
    delete dialog;
    return rc;
}
