#include "widgets/ColorPaletteDlg.h"

#include <QKeyEvent>
#include <QPainter>

#include "skin/ImageButton.h"
#include "skin/OpenDialogList.h"
#include "skin/StaticControls.h"
#include "text/Language.h"

namespace tarvik {

CColorPaletteDlg::CColorPaletteDlg(ProfileRecord* record, int mode, int group, int slot, QWidget* parent)
    : CDlgBase(parent), record_(record), mode_(mode), group_(group), slot_(slot) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    if (const Colour* field = Field()) current_ = *field;
    UseStandardCloseIds();
    Messages().Add(kIdConfirm, [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) Confirm();
        return 0;
    });
}

CColorPaletteDlg::~CColorPaletteDlg() {
    LeaveOpenDialog(this);
}

Colour* CColorPaletteDlg::Field() const {
    if (!record_) return nullptr;
    if (mode_ == kDpiLevel) {
        const int level = group_ >= 0 && group_ < kDpiLevels ? group_ : 0;
        return &record_->DPILevelIndication[static_cast<std::size_t>(level)];
    }
    if (group_ < 0 || group_ >= kEffects || slot_ < 0 || slot_ >= kColourSlots) return nullptr;
    return &record_->Lighting1FixedColor[static_cast<std::size_t>(group_)][static_cast<std::size_t>(slot_)];
}

Rect CColorPaletteDlg::PickAreaA() {
    return ScaledRect(18, 26, 222, 270);
}
Rect CColorPaletteDlg::PickAreaB() {
    return ScaledRect(244, 26, 473, 190);
}
Rect CColorPaletteDlg::SwatchRect() {
    return ScaledRect(245, 212, 303, 270);
}

bool CColorPaletteDlg::OnInitDialog() {
    CDlgBase::OnInitDialog();
    EnterOpenDialog(this);
    SetBackgroundResource(kChartResource);
    LoadBitmapResource(kChartResource, chart_);
    return true;
}

void CColorPaletteDlg::CreateControls(const Rect&) {
    auto close = std::make_unique<CImageButton>(this, kIdClose, ScaledRect(480, 6, 495, 21), QString(), 1);
    close->LoadNormalImage(SkinName("skins\\exit_nr.png"));
    close->LoadHoverImage(SkinName("skins\\exit_ov.png"));
    close->SetInsets(0, 0);
    AddControl(0, std::move(close));

    auto ok = std::make_unique<CImageButton>(this, kIdConfirm, ScaledRect(391, 234, 460, 254),
                                             QString::fromStdU16String(LanguageString(4)), 1);
    ok->LoadNormalImage(SkinName("skins\\button2_nr.png"));
    ok->LoadHoverImage(SkinName("skins\\button2_ov.png"));
    ok->SetInsets(0, 0);
    AddControl(0, std::move(ok));

    const Rect rects[3] = {ScaledRect(320, 212, 373, 230), ScaledRect(320, 235, 373, 253),
                           ScaledRect(320, 258, 373, 276)};
    const int ids[3] = {kIdRed, kIdGreen, kIdBlue};
    for (int i = 0; i < 3; ++i) {
        auto text = std::make_unique<CStaticText>(this, ids[i], rects[i], QString(), kTextNormal, kDtCenter);
        text->SetFont(Scaled(16), QStringLiteral("Tahoma"));
        texts_[i] = AddControl(0, std::move(text));
    }
    ShowComponents();
}

void CColorPaletteDlg::ShowComponents() {
    const int parts[3] = {Red(current_), Green(current_), Blue(current_)};
    for (int i = 0; i < 3; ++i)
        if (texts_[i]) texts_[i]->SetText(QString::number(parts[i]));
}

void CColorPaletteDlg::DrawUnderControls(QPainter& dc, const Rect&) {
    if (!chart_.IsNull())
        StretchBitmap(dc, chart_.image, QRect(0, 0, Scaled(kDesignWidth), Scaled(kDesignHeight)),
                      QRect(0, 0, kDesignWidth, kDesignHeight));
}

void CColorPaletteDlg::DrawOverControls(QPainter& dc, const Rect&) {
    FillSolidRect(dc, SwatchRect(), current_);
}

void CColorPaletteDlg::OnLButtonDown(unsigned keys, QPoint p) {
    if (PickAreaA().Contains(p) || PickAreaB().Contains(p)) {
        // The colour the window shows at the point: the window painted into one
        // pixel, not a picture of its whole size.
        QImage shown(1, 1, QImage::Format_RGB32);
        {
            QPainter dc(&shown);
            dc.translate(-p.x(), -p.y());
            DrawWindow(dc, Rect{0, 0, width(), height()});
        }
        const Colour c = FromQColor(shown.pixelColor(0, 0));
        if (c != kChartBackground) {
            current_ = c;
            ShowComponents(); // the texts repaint themselves
            InvalidateRect(SwatchRect());
        }
    }
    CDlgBase::OnLButtonDown(keys, p);
}

void CColorPaletteDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Confirm();
        return;
    case Qt::Key_Escape:
        event->accept(); // the dialog stays open
        return;
    default:
        CDlgBase::keyPressEvent(event);
    }
}

void CColorPaletteDlg::Confirm() {
    if (Colour* field = Field()) *field = current_;
    ReleaseControlImages();
    done(QDialog::Accepted);
}

} // namespace tarvik
