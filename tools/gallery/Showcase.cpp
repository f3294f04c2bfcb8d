#include "Showcase.h"

#include <QDir>
#include <QFile>
#include <QPainter>

#include <climits>

#include "device/ui/NoticeDialogs.h"
#include "macro/MacroFiles.h"
#include "macro/ui/DialogParts.h"
#include "macro/ui/FireKeyDlg.h"
#include "macro/ui/FunctionPopups.h"
#include "macro/ui/MacroManagerDlg.h"
#include "macro/ui/MacroSelectDlg.h"
#include "macro/ui/ShortcutDlg.h"
#include "macro/ui/StepDialogs.h"
#include "skin/ImageButton.h"
#include "skin/ScrollBar.h"
#include "skin/ShowLists.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "widgets/Battery.h"
#include "widgets/ColorPaletteDlg.h"
#include "widgets/DPIValueSettingDlg.h"
#include "widgets/DpiControls.h"
#include "widgets/Popups.h"

namespace tarvik {

namespace {

// Ids of the buttons that open the samples.
constexpr int kFirstSampleButton = 3700;

const SensorInfo& SampleSensor() {
    return *FindSensor(kDefaultSensorId);
}

void FillSampleLibrary(MacroLibrary& lib) {
    MacroLocation games;
    lib.AddChild(MacroLocation::None(), u"Games", true, &games);
    lib.NodeAt(games)->FolderIsOpen = true;
    MacroLocation shooter;
    lib.AddChild(games, u"Shooter", true, &shooter);
    lib.NodeAt(shooter)->FolderIsOpen = true;
    MacroLocation reload;
    lib.AddChild(shooter, u"Reload and crouch", false, &reload);
    MacroKey* m = lib.MacroAt(reload);
    const MacroAction steps[] = {
        MacroAction::Press(0x52),   MacroAction::Delay(35),      MacroAction::Release(0x52),
        MacroAction::Delay(120),    MacroAction::Press(0xA2),    MacroAction::Delay(80),
        MacroAction::Release(0xA2), MacroAction::Move(0xE5, 12), MacroAction::Move(0xE6, -4),
        MacroAction::Move(0xE7, 1), MacroAction::Press(0xE0),    MacroAction::Delay(20),
        MacroAction::Release(0xE0),
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) m->SetAction(i, steps[i]);
    m->MacroActionNum = static_cast<std::uint32_t>(std::size(steps));
    MacroLocation strategy;
    lib.AddChild(games, u"Strategy", true, &strategy);
    MacroLocation office;
    lib.AddChild(MacroLocation::None(), u"Office", true, &office);
    lib.AddChild(MacroLocation::None(), u"Copy and paste", false, nullptr);
    lib.AddChild(MacroLocation::None(), u"Screenshot", false, nullptr);
}

} // namespace

bool LoadGalleryLanguage() {
    QFile f(
        QDir(QString::fromStdString(ProgramFolder().string())).filePath(QStringLiteral("lang/Lan_EN.txt")));
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = f.readAll();
    return Language().LoadText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                               UiScale());
}

QStringList SampleClasses() {
    return {QStringLiteral("CComboPopup"),
            QStringLiteral("CComboActionInsertPopup"),
            QStringLiteral("CComboLightingPopup"),
            QStringLiteral("CComboPollingRatePopup"),
            QStringLiteral("CComboProfilePopup"),
            QStringLiteral("CDPILockPopup"),
            QStringLiteral("CDPIPopup"),
            QStringLiteral("CMacroListPopup"),
            QStringLiteral("CMultimediaPopup"),
            QStringLiteral("COfficePopup"),
            QStringLiteral("CProfileRKeyPopup"),
            QStringLiteral("CWindowsManagePopup"),
            QStringLiteral("CColorPaletteDlg"),
            QStringLiteral("CDPIValueSettingDlg"),
            QStringLiteral("CAttentionDlg"),
            QStringLiteral("CFirmwareResetDlg"),
            QStringLiteral("CProgressBarDlg"),
            QStringLiteral("CShortcutDlg"),
            QStringLiteral("CFireKeyDlg"),
            QStringLiteral("CMacroManagerDlg"),
            QStringLiteral("CMacroSelectDlg"),
            QStringLiteral("CActionKeyModifyDlg"),
            QStringLiteral("CActionTimeModifyDlg"),
            QStringLiteral("CActionXYModifyDlg"),
            QStringLiteral("CMacroKeyOrFolderNameDlg"),
            QStringLiteral("CMacroKeyRenameDlg"),
            QStringLiteral("CConfirmDlg")};
}

CControlsGalleryDlg::CControlsGalleryDlg(QWidget* parent) : CDlgBase(parent) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    UseStandardCloseIds();
    FillSampleLibrary(library_);
    selection_ = library_.LocationOfRow(2);
    treeRows_ = std::make_unique<MacroTreeRows>(library_, [this](int row) {
        selection_ = library_.LocationOfRow(row);
        if (stepRows_) stepRows_->SetMacro(library_.MacroAt(selection_));
        if (steps_) {
            steps_->SetSelected(-1);
            steps_->SetFirst(0);
        }
        SyncListScroll();
        InvalidateAll();
    });
    stepRows_ = std::make_unique<MacroStepRows>(library_.MacroAt(selection_));
    profile_.DPILevelIndication = {Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(0, 0, 255),     Rgb(255, 255, 0),
                                   Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255), Rgb(255, 128, 0)};
    profile_.Lighting1FixedColor[0][0] = Rgb(53, 160, 222);
    sampleNames_ = SampleClasses();
    Messages().Add(0, INT_MAX, this, &CControlsGalleryDlg::OnAnyMessage);
}

CControlsGalleryDlg::~CControlsGalleryDlg() = default;

LResult CControlsGalleryDlg::OnAnyMessage(int msg, WParam wParam, LParam lParam) {
    lastMessage_ =
        QStringLiteral("last notification: message %1, wParam %2, event %3").arg(msg).arg(wParam).arg(lParam);
    if (msg >= kFirstSampleButton && msg < kFirstSampleButton + sampleNames_.size() &&
        lParam == kNotifyClick) {
        const QString name = sampleNames_[msg - kFirstSampleButton];
        if (QWidget* w = ShowSample(name); w && qobject_cast<QDialog*>(w)) {
            static_cast<QDialog*>(w)->exec();
            delete w;
        }
    }
    if (msg == 2016 && stepScroll_ && (lParam == kNotifyDrag || lParam == kNotifyPress)) {
        int first = steps_->First();
        if (lParam == kNotifyDrag) first = stepScroll_->Position();
        if (lParam == kNotifyPress && wParam == CVScrollBar::kPartTopArrow) first -= 1;
        if (lParam == kNotifyPress && wParam == CVScrollBar::kPartBottomArrow) first += 1;
        const int maxFirst = std::max(0, steps_->DataRowCount() - steps_->VisibleCount());
        steps_->SetFirst(std::clamp(first, 0, maxFirst));
        if (lParam == kNotifyPress) SyncListScroll();
        InvalidateAll();
    }
    if (msg == CImageShowList::kId || msg == CEditShowList::kId) InvalidateAll();
    if (msg >= 3300 && msg <= 3304 && lParam == kNotifyClick) {
        auto* display = static_cast<CDPIValueShowControl*>(FindControl(msg));
        const SensorInfo& sensor = SampleSensor();
        CDPIValueSettingDlg dlg(display, static_cast<int>(sensor.steps.size()), sensor.steps, this);
        dlg.exec();
    }
    InvalidateAll();
    return 0;
}

void CControlsGalleryDlg::SyncListScroll() {
    if (!stepScroll_ || !steps_) return;
    stepScroll_->SetScrollInfo(steps_->First(), steps_->VisibleCount(), steps_->DataRowCount());
}

void CControlsGalleryDlg::AddLabel(int x, int y, int w, const QString& text, bool heading) {
    labels_.push_back({Design(x, y, w, heading ? 18 : 14), text, heading});
}

void CControlsGalleryDlg::CreateControls(const Rect&) {
    if (controlsCreated_) return;
    controlsCreated_ = 1;
    auto exitButton = std::make_unique<CImageButton>(this, kIdClose, Design(930, 9, 15, 15), QString(), 1);
    exitButton->LoadNormalImage(SkinName("skins\\exit_nr.png"));
    exitButton->LoadHoverImage(SkinName("skins\\exit_ov.png"));
    AddControl(0, std::move(exitButton));

    // ---- scroll bars: normal, thumb under the mouse, top arrow under the mouse
    AddLabel(20, 48, 200, QStringLiteral("CVScrollBar"), true);
    for (int i = 0; i < 3; ++i) {
        auto bar = std::make_unique<CVScrollBar>(this, 3800 + i, Design(30 + i * 40, 72, 12, 160));
        bar->LoadArrows();
        bar->SetScrollInfo(i == 0 ? 0 : 40, 20, 100);
        CVScrollBar* b = AddControl(0, std::move(bar));
        b->SetInteractive(false);
        const Rect t = b->ThumbRect();
        if (i == 1) b->OnMouseMove(0, (t.left + t.right) / 2, t.top + 2);
        if (i == 2) b->OnMouseMove(0, (t.left + t.right) / 2, b->GetRect().top + 2);
    }
    AddLabel(20, 236, 150, QStringLiteral("normal · thumb · arrow"), false);

    // ---- macro tree and step list, live, with a scroll bar for the steps
    AddLabel(180, 48, 200, QStringLiteral("CEditShowList"), true);
    auto tree = std::make_unique<CEditShowList>(this, Design(180, 72, 200, 160));
    tree->LoadImages();
    tree->SetRows(treeRows_.get());
    tree->SetSelected(2);
    tree_ = AddControl(0, std::move(tree));
    AddLabel(400, 48, 200, QStringLiteral("CImageShowList"), true);
    auto steps = std::make_unique<CImageShowList>(this, Design(400, 72, 200, 160));
    steps->LoadImages();
    steps->SetSteps(stepRows_.get());
    steps->SetSelected(1);
    steps_ = AddControl(0, std::move(steps));
    auto scroll = std::make_unique<CVScrollBar>(this, 2016, Design(600, 72, 12, 160));
    scroll->LoadArrows();
    stepScroll_ = AddControl(0, std::move(scroll));
    SyncListScroll();
    AddLabel(180, 236, 440, QStringLiteral("click rows, the folder icons, drag the scroll bar"), false);

    // ---- tabs
    AddLabel(640, 48, 200, QStringLiteral("CTabControl"), true);
    Pages().AddPageTabs(2049, 2053, 0);
    Pages().ShowPage(1);
    const char* tabStates[] = {"normal", "hover", "current", "current + hover"};
    const int tabIds[] = {2049, 2049, 2050, 2050};
    for (int i = 0; i < 4; ++i) {
        auto tab = std::make_unique<CTabControl>(this, tabIds[i], Design(640, 72 + i * 40, 230, 25),
                                                 QStringLiteral("Profile %1").arg(i + 1), 0);
        tab->LoadImages();
        tab->SetInsets(Scaled(12), 0);
        CTabControl* t = AddControl(0, std::move(tab));
        t->SetInteractive(false);
        if (i % 2 == 1) t->OnMouseMove(0, t->GetRect().left + 4, t->GetRect().top + 4);
        AddLabel(880, 76 + i * 40, 80, QString::fromLatin1(tabStates[i]), false);
    }

    // ---- slider on its bar, live
    AddLabel(20, 270, 200, QStringLiteral("CSliderControl"), true);
    auto sliderBar = std::make_unique<CStaticImage>(this, 2020, Design(30, 305, 290, 3));
    sliderBar->LoadImage(SkinName("skins\\Slider_bar.png"));
    AddControl(0, std::move(sliderBar));
    auto slider = std::make_unique<CSliderControl>(this, 2021, Design(30, 300, 290, 13), QString(), 5,
                                                   Scaled(6), Scaled(7));
    slider->LoadThumbImage(SkinName("skins\\Slider_Circle.png"));
    slider->SetStop(2);
    AddControl(0, std::move(slider));
    AddLabel(20, 318, 300, QStringLiteral("five stops; drag or click the track"), false);

    // ---- level bars
    AddLabel(360, 270, 300, QStringLiteral("CVerticalSlider... / CDPIValueShow..."), true);
    const SensorInfo& sensor = SampleSensor();
    const int levels[] = {10, 40, 70, 99};
    for (int i = 0; i < 4; ++i) {
        auto bar = std::make_unique<CVerticalSliderControl>(this, 3310 + i, Design(370 + i * 40, 292, 7, 132),
                                                            QString(), 100);
        bar->LoadTrackImage(SkinName("skins\\mouse\\dpi_bar_1.png"));
        bar->LoadFillImage(SkinName("skins\\mouse\\dpi_bar_2.png"));
        bar->SetValue(levels[i]);
        AddControl(0, std::move(bar));
    }
    for (int i = 0; i < 2; ++i) {
        auto show = std::make_unique<CDPIValueShowControl>(this, 3300 + i, Design(540 + i * 40, 292, 7, 132),
                                                           QString(), static_cast<int>(sensor.steps.size()));
        show->LoadTrackImage(SkinName("skins\\mouse\\dpi_bar_1.png"));
        show->LoadFillImage(SkinName("skins\\mouse\\dpi_bar_2.png"));
        show->SetValue(i == 0 ? static_cast<int>(sensor.steps.size()) / 4
                              : static_cast<int>(sensor.steps.size()) / 2);
        CDPIValueShowControl* s = AddControl(0, std::move(show));
        if (i == 0) valueShow_ = s;
    }
    AddLabel(360, 428, 300, QStringLiteral("drag the first four; click the last two"), false);

    // ---- battery in its three modes
    AddLabel(640, 270, 200, QStringLiteral("CBattery"), true);
    struct BatterySample {
        int mode;
        int level;
        const char* caption;
    };
    const BatterySample batteries[] = {{CBattery::kLevel, 0, "0 %"},
                                       {CBattery::kLevel, 50, "50 %"},
                                       {CBattery::kLevel, 100, "100 %"},
                                       {CBattery::kCharging, 0, "charging"},
                                       {CBattery::kFull, 0, "full"}};
    for (int i = 0; i < 5; ++i) {
        auto battery = std::make_unique<CBattery>(this, 3406, Design(640 + i * 60, 296, 30, 61));
        battery->LoadImages();
        battery->SetState(batteries[i].mode, static_cast<std::uint8_t>(batteries[i].level), 0);
        AddControl(0, std::move(battery));
        AddLabel(636 + i * 60, 366, 58, QString::fromLatin1(batteries[i].caption), false);
    }

    // ---- static text and image
    AddLabel(20, 450, 200, QStringLiteral("CStaticText / CStaticImage"), true);
    auto left = std::make_unique<CStaticText>(this, 2012, Design(20, 476, 140, 18),
                                              QStringLiteral("left aligned"), kTextNormal, kDtLeft);
    AddControl(0, std::move(left));
    auto centre = std::make_unique<CStaticText>(this, 2012, Design(170, 476, 140, 18),
                                                QStringLiteral("a long text cut with an ellipsis"),
                                                Rgb(82, 144, 254), kDtCenter);
    AddControl(0, std::move(centre));
    auto picture = std::make_unique<CStaticImage>(this, 2030, Design(330, 470, 90, 54));
    picture->LoadImage(SkinName("skins\\mouse\\mouse_nr.png"));
    AddControl(0, std::move(picture));

    // ---- pop-ups and dialogs on demand
    AddLabel(20, 540, 400, QStringLiteral("Open a pop-up or dialog"), true);
    for (int i = 0; i < sampleNames_.size(); ++i) {
        const int col = i % 5, row = i / 5;
        auto b = std::make_unique<CImageButton>(this, kFirstSampleButton + i,
                                                Design(20 + col * 186, 564 + row * 26, 180, 22),
                                                sampleNames_[i], 1);
        b->LoadNormalImage(SkinName("skins\\button1_nr.png"));
        b->LoadHoverImage(SkinName("skins\\button1_ov.png"));
        b->SetFont(Scaled(13), QStringLiteral("Tahoma"));
        AddControl(0, std::move(b));
    }
    lastMessage_.clear();
}

QWidget* CControlsGalleryDlg::ShowSample(const QString& name) {
    const QPoint origin = mapToGlobal(QPoint(Scaled(40), Scaled(60)));
    const Rect at{origin.x(), origin.y(), origin.x() + Scaled(300), origin.y() + Scaled(300)};
    CListPopup* popup = nullptr;
    if (name == QLatin1String("CComboPopup"))
        popup = new CComboPopup();
    else if (name == QLatin1String("CComboActionInsertPopup"))
        popup = new CComboActionInsertPopup();
    else if (name == QLatin1String("CComboLightingPopup"))
        popup = new CComboLightingPopup();
    else if (name == QLatin1String("CComboPollingRatePopup"))
        popup = new CComboPollingRatePopup();
    else if (name == QLatin1String("CComboProfilePopup"))
        popup = new CComboProfilePopup({QStringLiteral("Default"), QStringLiteral("Shooter"),
                                        QStringLiteral("Office"), QString(), QString()},
                                       1);
    else if (name == QLatin1String("CDPILockPopup"))
        popup = new CDPILockPopup();
    else if (name == QLatin1String("CDPIPopup"))
        popup = new CDPIPopup();
    else if (name == QLatin1String("CMacroListPopup"))
        popup = new CMacroListPopup(1);
    else if (name == QLatin1String("CMultimediaPopup"))
        popup = new CMultimediaPopup();
    else if (name == QLatin1String("COfficePopup"))
        popup = new COfficePopup();
    else if (name == QLatin1String("CProfileRKeyPopup"))
        popup = new CProfileRKeyPopup();
    else if (name == QLatin1String("CWindowsManagePopup"))
        popup = new CWindowsManagePopup();
    if (popup) {
        popup->Create(this, at, 1000, 2013);
        SetPopup(0, popup);
        return popup;
    }
    if (name == QLatin1String("CColorPaletteDlg"))
        return new CColorPaletteDlg(&profile_, CColorPaletteDlg::kDpiLevel, 2, 0, this);
    if (name == QLatin1String("CDPIValueSettingDlg")) {
        const SensorInfo& sensor = SampleSensor();
        return new CDPIValueSettingDlg(valueShow_, static_cast<int>(sensor.steps.size()), sensor.steps, this);
    }
    if (name == QLatin1String("CAttentionDlg"))
        return new CAttentionDlg(QString(), QString::fromStdU16String(LanguageString(145)), this);
    if (name == QLatin1String("CFirmwareResetDlg")) return new CFirmwareResetDlg(this);
    if (name == QLatin1String("CProgressBarDlg"))
        return new CProgressBarDlg(QString::fromStdU16String(LanguageString(146)), QString(), this);
    if (name == QLatin1String("CShortcutDlg")) return new CShortcutDlg(this);
    if (name == QLatin1String("CFireKeyDlg")) return new CFireKeyDlg(this);
    // The macro windows show the sample library with its first macro selected.
    const MacroLocation sampleMacro = FindByPath(library_, u"Games/Shooter/Reload and crouch");
    if (name == QLatin1String("CMacroManagerDlg")) {
        auto* dlg = new CMacroManagerDlg(
            this, library_,
            std::filesystem::path(sampleDir_.filePath(QStringLiteral("Macros.mlf")).toStdString()),
            [this] { return std::span<const KeySlot>(profile_.Keys); });
        dlg->InitDialog();
        dlg->SelectNode(sampleMacro);
        return dlg;
    }
    if (name == QLatin1String("CMacroSelectDlg")) {
        auto* dlg = new CMacroSelectDlg(this, library_);
        dlg->InitDialog();
        dlg->SelectNode(sampleMacro);
        return dlg;
    }
    if (name == QLatin1String("CActionKeyModifyDlg"))
        return new CActionKeyModifyDlg(this, MacroAction::Press(0x41));
    if (name == QLatin1String("CActionTimeModifyDlg"))
        return new CActionTimeModifyDlg(this, MacroAction::Delay(120));
    if (name == QLatin1String("CActionXYModifyDlg"))
        return new CActionXYModifyDlg(this, MacroAction::Move(0xE5, -12), kMoveLeft);
    if (name == QLatin1String("CMacroKeyOrFolderNameDlg")) return new CMacroKeyOrFolderNameDlg(this, false);
    if (name == QLatin1String("CMacroKeyRenameDlg"))
        return new CMacroKeyRenameDlg(this, u"Reload and crouch");
    if (name == QLatin1String("CConfirmDlg")) return new CConfirmDlg(LangText(232), this);
    return nullptr;
}

void CControlsGalleryDlg::DrawWindow(QPainter& dc, const Rect& client) {
    FillSolidRect(dc, client, Rgb(24, 24, 27));
    FillSolidRect(dc, Rect{0, 0, client.right, Scaled(33)}, Rgb(40, 40, 46));
    const QFont heading = MakeFont(Scaled(16), QStringLiteral("Tahoma"));
    const QFont small = MakeFont(Scaled(12), QStringLiteral("Tahoma"));
    DrawSkinText(dc, Design(20, 2, 400, 30), QStringLiteral("skin gallery: lists, sliders, pop-ups, dialogs"),
                 heading, kTextNormal, kDtSingleLine | kDtVCenter);
    for (const Label& label : labels_)
        DrawSkinText(dc, label.rect, label.text, label.heading ? heading : small,
                     label.heading ? kTextHover : Rgb(130, 130, 138),
                     kDtSingleLine | kDtVCenter | kDtWordEllipsis);
    DrawSkinText(dc, Design(20, kDesignHeight - 30, kDesignWidth - 40, 22),
                 lastMessage_.isEmpty() ? QStringLiteral("try the lists, the slider and the level bars")
                                        : lastMessage_,
                 heading, kTextNormal, kDtSingleLine | kDtVCenter);
    DrawControls(dc, client);
}

} // namespace tarvik
