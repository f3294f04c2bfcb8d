// The main window's controls, where they sit, how the window paints, and the
// two directions between the controls and the current profile.
#include <QPainter>

#include "app/AppOptions.h"
#include "mainwnd/TarvikDlg.h"
#include "model/PollingRates.h"
#include "model/SettingsModel.h"
#include "skin/CheckButton.h"
#include "skin/ColorSelectButton.h"
#include "skin/ComboButton.h"
#include "skin/ImageButton.h"
#include "skin/RadioButton.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "text/U16.h"
#include "widgets/Battery.h"
#include "widgets/DpiControls.h"
#include "widgets/PowerManageButton.h"

namespace tarvik {

using namespace mainwnd;

using panels::BodyRect;
using panels::kGrey;
using panels::L;
using panels::Passive;

ProfileRecord& CTarvikDlg::Current() {
    return model_.Profiles[static_cast<std::size_t>(model_.GetCurrentProfile())];
}

// ---- creation -----------------------------------------------------------------------

std::vector<QString> CTarvikDlg::StartPictures() {
    // The ones whose decoding takes longest; the small ones follow quickly.
    return {SkinName("skins\\mouse\\mouse_nr.png"), SkinName("skins\\Frame_Lighting_Setting.bmp"),
            SkinName("skins\\header_nr.png"),       SkinName("skins\\header_ov.png"),
            SkinName("skins\\header2_nr.png"),      SkinName("skins\\header2_ov.png"),
            SkinName("skins\\combo2_nr.png"),       SkinName("skins\\combo2_ov.png"),
            SkinName("skins\\combo3_nr.png"),       SkinName("skins\\button1_nr.png"),
            SkinName("skins\\button4_nr.png"),      SkinName("skins\\battery_full.png"),
            SkinName("skins\\battery_empty.png"),   SkinName("skins\\mouse\\dpi_bar_1.png"),
            SkinName("skins\\mouse\\dpi_bar_2.png")};
}

void CTarvikDlg::CreateControls(const Rect&) {
    if (controlsCreated_) return;
    controlsCreated_ = 1;
    CreateLeftColumn();
    CreatePanels();
    // The pictures of the paint.
    frame_ = SkinBitmap();
    LoadSkinBitmap(SkinFile(SkinName("skins\\Frame_Lighting_Setting.bmp")), frame_);
    static const SkinName kNumbers[] = {
        SkinName("skins\\mouse\\number1.png"), SkinName("skins\\mouse\\number2.png"),
        SkinName("skins\\mouse\\number3.png"), SkinName("skins\\mouse\\number4.png"),
        SkinName("skins\\mouse\\number5.png"), SkinName("skins\\mouse\\number6.png")};
    for (std::size_t i = 0; i < numbers_.size(); ++i) {
        int w = 0, h = 0;
        if (LoadSkinImage(numbers_[i], SkinFile(kNumbers[i]), w, h)) numberSizes_[i] = QSize(w, h);
    }
    ApplyPanelVisibility();
    LayoutColumn();
}

void CTarvikDlg::CreateLeftColumn() {
    auto text = [this](int id, const Rect& r, const QString& s, unsigned format) {
        return Passive(AddControl(0, std::make_unique<CStaticText>(this, id, r, s, kGrey, format)));
    };
    auto image = [this](int id, const Rect& r, const QString& file) {
        auto c = std::make_unique<CStaticImage>(this, id, r);
        c->LoadImage(file);
        return Passive(AddControl(0, std::move(c)));
    };

    image(kIdMousePicture, ScaledRect(457, 171, 672, 569), SkinName("skins\\mouse\\mouse_nr.png"));
    battery_.Create();
    power_.Create();

    auto imageButton = [this](int id, const Rect& r, const QString& caption, const QString& normal,
                              const QString& hover) {
        auto b = std::make_unique<CImageButton>(this, id, r, caption, 1);
        b->LoadNormalImage(normal);
        b->LoadHoverImage(hover);
        return AddControl(0, std::move(b));
    };
    imageButton(kIdWindowClose, ScaledRect(1092, 12, 1107, 27), QString(), SkinName("skins\\exit_nr.png"),
                SkinName("skins\\exit_ov.png"));
    imageButton(kIdWindowMinimise, ScaledRect(1072, 12, 1087, 27), QString(), SkinName("skins\\min_nr.png"),
                SkinName("skins\\min_ov.png"));

    buttons_.Create();
    imageButton(kIdMacroManager, ScaledRect(36, 320, 266, 345), L(8), SkinName("skins\\button1_nr.png"),
                SkinName("skins\\button1_ov.png"));

    struct TitleBar {
        int id, caption, top;
    };
    for (const TitleBar& t : {TitleBar{kIdTitleButtons, 9, 37}, TitleBar{kIdTitleBattery, 15, 398},
                              TitleBar{kIdTitlePower, 265, 525}}) {
        auto c = std::make_unique<CCheckButton>(this, t.id, ScaledRect(36, t.top, 266, t.top + 25),
                                                L(t.caption), 0, true, true, true);
        c->LoadNormalImage(SkinName("skins\\header2_nr.png"));
        c->LoadHoverImage(SkinName("skins\\header2_ov.png"));
        c->SetInsets(Scaled(12), 0);
        AddControl(0, std::move(c));
    }

    // The panel headers: DPI at its place, the others moved by the layout.
    for (const int id :
         {kIdHeaderDpi, kIdHeaderLighting, kIdHeaderPointer, kIdHeaderLiftOff, kIdHeaderPolling}) {
        const PanelRow& row = *PanelOfHeader(id);
        const Rect r = id == kIdHeaderDpi ? ScaledRect(846, 37, 1108, 62) : ScaledRect(719, 37, 981, 62);
        auto c = std::make_unique<CCheckButton>(this, id, r, L(row.caption), 0);
        c->LoadNormalImage(SkinName("skins\\header_nr.png"));
        c->LoadHoverImage(SkinName("skins\\header_ov.png"));
        // An open panel keeps its header lit.
        c->LoadCheckedImage(SkinName("skins\\header_ov.png"));
        c->SetInsets(Scaled(12), 0);
        c->SetChecked(row.openAtStart);
        if (row.panel == Panel::LiftOff) c->SetVisible(model_.SensorPageEnabled);
        headers_[static_cast<std::size_t>(row.panel)] = AddControl(0, std::move(c));
    }

    imageButton(kIdFactoryReset, ScaledRect(1040, 700, 1109, 720), L(7), SkinName("skins\\button2_nr.png"),
                SkinName("skins\\button2_ov.png"));
    profiles_.Create();
    // The label's text, then the program's own version (as --version and the support line give it).
    QString version = L(3);
    version += QStringLiteral(": ");
    version += app::VersionNumber();
    text(kIdVersion, ScaledRect(150, 702, 360, 720), version, kDtLeft);
}

void CTarvikDlg::CreatePanels() {
    spots_.clear();
    dpi_.Create();
    lighting_.Create();
    pointer_.Create();
    polling_.Create();
    liftOff_.Create();
}

// ---- layout ---------------------------------------------------------------------------

void CTarvikDlg::AdoptControl(int group, std::unique_ptr<CControlBase> control) {
    AddControl(group, std::move(control));
}

void CTarvikDlg::PlaceInBody(CControlBase* control, Panel panel, int l, int t, int r, int b) {
    spots_.push_back({control, panel, l, t, r, b});
}

int CTarvikDlg::BodyTop(Panel panel) const {
    return ColumnLayout(Panels(), model_.SensorPageEnabled)[static_cast<std::size_t>(panel)].bodyTop;
}

void CTarvikDlg::LayoutColumn() {
    const PanelState state = Panels();
    const bool sensorPage = model_.SensorPageEnabled;
    if (layoutValid_ && state == laidOut_ && sensorPage == laidOutSensorPage_) return;
    layoutValid_ = true;
    laidOut_ = state;
    laidOutSensorPage_ = sensorPage;
    const auto places = ColumnLayout(state, sensorPage);
    for (const PanelRow& row : kPanels) {
        const PanelPlace& place = places[static_cast<std::size_t>(row.panel)];
        CCheckButton* header = headers_[static_cast<std::size_t>(row.panel)];
        if (!header) continue;
        header->SetRect(
            ScaledRect(kColumnX, place.headerTop, kColumnX + kColumnWidth, place.headerTop + kHeaderHeight));
        header->SetVisible(place.shown);
    }
    for (const PanelSpot& spot : spots_) {
        const int bodyTop = places[static_cast<std::size_t>(spot.panel)].bodyTop;
        const Rect r = BodyRect(bodyTop, spot.l, spot.t, spot.r, spot.b);
        if (spot.control->GetRect() == r) continue;
        spot.control->SetRect(r);
        // A slider's thumb rectangle follows its stop.
        if (auto* s = dynamic_cast<CSliderControl*>(spot.control); s && !s->IsDragging())
            s->SetStop(s->CurrentStop());
    }
    InvalidateAll();
}

void CTarvikDlg::ApplyPanelVisibility() {
    const PanelState state = Panels();
    for (const PanelRow& row : kPanels) {
        const bool on = state[row.panel] && (row.panel != Panel::LiftOff || model_.SensorPageEnabled);
        for (const auto& c : Group(row.group))
            if (c) c->SetGroupVisible(on);
    }
    lighting_.ApplyRows();
}

// ---- painting -------------------------------------------------------------------------

void CTarvikDlg::EnsureBackground() {
    const double s = UiScale();
    if (backgroundScale_ == s) return;
    backgroundScale_ = s;
    RunBitmap background;
    if (!LoadBitmapResourceRuns(kBackgroundBitmap, background)) {
        backgroundScaled_ = RunBitmap();
        return;
    }
    // Kept as runs of equal pixels, the only form the window holds: at its
    // design size the shared runs themselves, otherwise the picture stretched
    // once per scale (decoded for that moment only), so a paint only copies.
    const QSize size(Scaled(kWindowWidth), Scaled(kWindowHeight));
    if (QSize(background.Width(), background.Height()) == size) {
        backgroundScaled_ = std::move(background);
        return;
    }
    QImage scaled(size, QImage::Format_RGB32);
    scaled.fill(Qt::black);
    QPainter p(&scaled);
    StretchBitmap(p, background.ToImage(), scaled.rect(),
                  QRect(0, 0, background.Width(), background.Height()));
    p.end();
    backgroundScaled_ = RunBitmap(scaled);
}

void CTarvikDlg::DrawWindow(QPainter& dc, const Rect& client) {
    LayoutColumn();
    EnsureBackground();
    // Only the part being painted is copied from the pictures.
    const QRect area =
        dc.hasClipping() ? dc.clipBoundingRect().toAlignedRect() & client.ToQRect() : client.ToQRect();
    FillSolidRect(dc, Rect::FromQRect(area), FillColour());
    backgroundScaled_.Draw(dc, area.topLeft(), area);

    // The frames of the left part and of the open panels, all cut from one picture.
    if (!frame_.IsNull()) {
        const QRect source(0, 0, 230, 82);
        struct Frame {
            int x, y, w, h;
        };
        const auto stretch = [&](const Rect& target) {
            if (target.ToQRect().intersects(area)) StretchBitmap(dc, frame_.image, target.ToQRect(), source);
        };
        for (const Frame& f : {Frame{36, 62, 230, 205}, Frame{36, 311, 230, 43}, Frame{36, 423, 230, 82},
                               Frame{36, 550, 230, 146}})
            stretch(ScaledRect(f.x, f.y, f.x + f.w, f.y + f.h));
        const auto places = ColumnLayout(Panels(), model_.SensorPageEnabled);
        for (const PanelRow& row : kPanels) {
            const PanelPlace& place = places[static_cast<std::size_t>(row.panel)];
            if (!place.bodyOpen) continue;
            stretch(
                ScaledRect(kColumnX, place.bodyTop, kColumnX + kColumnWidth, place.bodyTop + row.openHeight));
        }
    }

    DrawControls(dc, client);

    // The number of the button whose combo is under the mouse, on the mouse picture.
    if (const int highlight = buttons_.Highlighted(); highlight >= 1 && highlight <= 6) {
        const std::size_t i = static_cast<std::size_t>(highlight - 1);
        const QSize size = numberSizes_[i];
        const NumberPlace at = kNumberPlaces[i];
        const double s = UiScale();
        DrawSkinImage(dc, numbers_[i],
                      QRectF(Scaled(at.x), Scaled(at.y), size.width() * s, size.height() * s),
                      QRect(QPoint(0, 0), size));
    }
}

// ---- profile -> controls ----------------------------------------------------------------

void CTarvikDlg::RefreshFromProfile(ModelChange what) {
    if (!controlsCreated_) return;
    const bool all = Any(what & ModelChange::CurrentSlot) || what == ModelChange::All;
    buttons_.Refresh(all ? ModelChange::All : what);
    if (all || Any(what & (ModelChange::Dpi | ModelChange::Sensor)))
        controller_->FollowCurrentDpiLevel(Current().CurrentDPILevel);
    dpi_.Refresh(all ? ModelChange::All : what);
    lighting_.Refresh(all ? ModelChange::All : what);
    polling_.Refresh(all ? ModelChange::All : what);
    power_.Refresh(all ? ModelChange::All : what);
    liftOff_.Refresh(all ? ModelChange::All : what);
    if (all || Any(what & ModelChange::Sensor)) {
        // A sensor change shows or hides the lift-off panel.
        ApplyPanelVisibility();
        LayoutColumn();
    }
    if (all) InvalidateAll();
}

} // namespace tarvik
