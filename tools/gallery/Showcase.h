// The second gallery page (the controls that are not buttons, with live ones to
// try) and the sample pop-ups and dialogs the gallery opens by class name.
#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

#include "macro/MacroLibrary.h"
#include "macro/ui/MacroRows.h"
#include "model/ProfileTable.h"
#include "skin/DlgBase.h"

namespace tarvik {

// A rectangle of the design given by its corner and size, scaled.
inline Rect Design(int x, int y, int w, int h) {
    return ScaledRect(x, y, x + w, y + h);
}

class CDPIValueShowControl;
class CEditShowList;
class CImageShowList;
class CVScrollBar;

// Loads the English language file from the program folder's lang/ (labels of the samples).
bool LoadGalleryLanguage();

// Every class name ShowSample knows.
QStringList SampleClasses();

class CControlsGalleryDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 960;
    static constexpr int kDesignHeight = 760;

    explicit CControlsGalleryDlg(QWidget* parent = nullptr);
    ~CControlsGalleryDlg() override;

    // Opens the named pop-up or dialog with sample data, owned by this window.
    // Pop-ups are shown and returned; dialogs are created (not run) and returned.
    QWidget* ShowSample(const QString& name);

    CDPIValueShowControl* ValueDisplay() const { return valueShow_; }

protected:
    void CreateControls(const Rect& client) override;
    void DrawWindow(QPainter& dc, const Rect& client) override;

private:
    struct Label {
        Rect rect;
        QString text;
        bool heading;
    };
    LResult OnAnyMessage(int msg, WParam wParam, LParam lParam);
    void AddLabel(int x, int y, int w, const QString& text, bool heading);
    void SyncListScroll();

    std::vector<Label> labels_;
    QString lastMessage_;
    MacroLibrary library_;
    MacroLocation selection_;
    std::unique_ptr<MacroTreeRows> treeRows_;
    std::unique_ptr<MacroStepRows> stepRows_;
    ProfileRecord profile_;
    CDPIValueShowControl* valueShow_ = nullptr;
    CEditShowList* tree_ = nullptr;
    CImageShowList* steps_ = nullptr;
    CVScrollBar* stepScroll_ = nullptr;
    QStringList sampleNames_;
    // Where the sample macro manager saves the sample library.
    QTemporaryDir sampleDir_;
};

} // namespace tarvik
