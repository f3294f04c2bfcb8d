// The skin gallery: one skinned window with every control class of the toolkit
// in every state, and a row of live controls to try the mouse routing on.
#pragma once

#include <vector>

#include "skin/DlgBase.h"
#include "skin/SkinImage.h"

namespace tarvik {

class CGalleryDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 960;
    static constexpr int kDesignHeight = 790;
    // The DPI level buttons: ids 3290 + level, as in the main window.
    static constexpr int kFirstDpiButton = 3290;

    explicit CGalleryDlg(QWidget* parent = nullptr);

protected:
    void CreateControls(const Rect& client) override;
    void DrawWindow(QPainter& dc, const Rect& client) override;

private:
    struct Label {
        Rect rect;
        QString text;
        bool heading;
    };

    // Places a preview control: not interactive, so it keeps the state it is given.
    template <class T> T* Preview(std::unique_ptr<T> c, const QString& caption);
    // Puts a control into a state the way the mouse would.
    static void Hover(CControlBase* c);
    static void Press(CControlBase* c);

    int Row(const QString& heading, int height);
    // Left edge of the next preview in the row; previews sit at least minPitch apart.
    int NextX(int width, int minPitch = 92);
    void Caption(const Rect& r, const QString& text);

    LResult OnAnyMessage(int msg, WParam wParam, LParam lParam);

    std::vector<Label> labels_;
    int rowTop_ = 0;
    int rowX_ = 0;
    int rowHeight_ = 0;
    int pitch_ = 92;
    QString lastMessage_;
    SkinBitmap titleBand_;
};

} // namespace tarvik
