#include "GalleryDlg.h"

#include "Showcase.h"

#include <QPainter>

#include <climits>

#include "skin/CheckButton.h"
#include "skin/ColorSelectButton.h"
#include "skin/ComboButton.h"
#include "skin/ImageButton.h"
#include "skin/RadioButton.h"
#include "widgets/DpiControls.h"
#include "widgets/PowerManageButton.h"

namespace tarvik {

namespace {

constexpr int kLeft = 180;    // first column of the previews
constexpr int kCaptionH = 14; // caption line under each preview
constexpr int kRowGap = 12;

} // namespace

CGalleryDlg::CGalleryDlg(QWidget* parent) : CDlgBase(parent) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    UseStandardCloseIds();
    // The radio groups shown below: the macro manager's loop types (none chosen
    // at first), the polling rates (1000 Hz) and the lift-off heights (the second).
    Radios().AddGroup(13, {2031, 2032, 2033});
    Radios().AddGroup(16, {3030, 3031, 3032, 3033});
    Radios().AddGroup(20, {3510, 3511});
    Radios().Select(3033);
    Radios().Select(3511);
    Levels().PlaceButtons(kFirstDpiButton);
    Messages().Add(2002, [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) showMinimized();
        return 0;
    });
    // Every other notification is shown at the bottom of the window.
    Messages().Add(0, INT_MAX, this, &CGalleryDlg::OnAnyMessage);
}

LResult CGalleryDlg::OnAnyMessage(int msg, WParam wParam, LParam lParam) {
    lastMessage_ =
        QStringLiteral("last notification: message %1, wParam %2, event %3").arg(msg).arg(wParam).arg(lParam);
    InvalidateAll();
    return 0;
}

template <class T> T* CGalleryDlg::Preview(std::unique_ptr<T> c, const QString& caption) {
    c->SetInteractive(false);
    const Rect r = c->GetRect();
    Caption(r, caption);
    return AddControl(0, std::move(c));
}

void CGalleryDlg::Hover(CControlBase* c) {
    const Rect r = c->GetRect();
    c->OnMouseMove(0, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void CGalleryDlg::Press(CControlBase* c) {
    const Rect r = c->GetRect();
    c->OnLButtonDown(kMkLButton, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

int CGalleryDlg::Row(const QString& heading, int height) {
    if (rowHeight_ > 0) rowTop_ += rowHeight_ + kCaptionH + kRowGap;
    rowHeight_ = height;
    rowX_ = kLeft;
    labels_.push_back({Design(20, rowTop_, kLeft - 30, std::max(height, 16)), heading, true});
    return rowTop_;
}

int CGalleryDlg::NextX(int width, int minPitch) {
    const int x = rowX_;
    pitch_ = std::max(width + 12, minPitch);
    rowX_ += pitch_;
    return x;
}

void CGalleryDlg::Caption(const Rect& r, const QString& text) {
    if (text.isEmpty()) return;
    labels_.push_back({Rect{r.left, r.bottom + Scaled(1), r.left + std::max(r.Width(), Scaled(pitch_ - 6)),
                            r.bottom + Scaled(kCaptionH)},
                       text, false});
}

void CGalleryDlg::CreateControls(const Rect&) {
    if (controlsCreated_) return;
    controlsCreated_ = 1;
    SetBackgroundResource(364);
    LoadBitmapResource(364, titleBand_);

    // Window buttons.
    auto exitButton = std::make_unique<CImageButton>(this, kIdClose, Design(930, 9, 15, 15), QString(), 1);
    exitButton->LoadNormalImage(SkinName("skins\\exit_nr.png"));
    exitButton->LoadHoverImage(SkinName("skins\\exit_ov.png"));
    AddControl(0, std::move(exitButton));
    auto minButton = std::make_unique<CImageButton>(this, 2002, Design(910, 9, 15, 15), QString(), 1);
    minButton->LoadNormalImage(SkinName("skins\\min_nr.png"));
    minButton->LoadHoverImage(SkinName("skins\\min_ov.png"));
    AddControl(0, std::move(minButton));

    rowTop_ = 48;

    // ---- check buttons
    struct CheckSet {
        const char* heading;
        const char* base;
        int w, h;
    };
    for (const CheckSet& set :
         {CheckSet{"CCheckButton", "check", 15, 15}, CheckSet{"  DPI check", "check_button_dpi", 11, 11}}) {
        const int y = Row(QString::fromLatin1(set.heading), set.h);
        const QString base = QStringLiteral("skins\\%1").arg(QLatin1String(set.base));
        const char* states[] = {"normal", "hover", "pressed", "checked", "checked+hover", "disabled"};
        for (int i = 0; i < 6; ++i) {
            auto c = std::make_unique<CCheckButton>(this, 3900 + i, Design(NextX(set.w), y, set.w, set.h),
                                                    QString(), 0);
            c->LoadNormalImage(base + "_nr.png");
            c->LoadHoverImage(base + "_ov.png");
            c->LoadCheckedImage(base + "_dn.png");
            CCheckButton* b = Preview(std::move(c), QString::fromLatin1(states[i]));
            if (i == 1 || i == 4) Hover(b);
            if (i == 2) Press(b);
            if (i == 3 || i == 4) b->SetChecked(true);
            if (i == 5) b->SetDisabled(true);
        }
    }
    {
        const int y = Row(QStringLiteral("  headers"), 25);
        const char* states[] = {"normal", "hover", "checked"};
        for (int i = 0; i < 3; ++i) {
            auto c = std::make_unique<CCheckButton>(this, 3001, Design(NextX(230), y, 230, 25),
                                                    QStringLiteral("Lighting"), 0);
            c->LoadNormalImage(SkinName("skins\\header2_nr.png"));
            c->LoadHoverImage(SkinName("skins\\header2_ov.png"));
            c->LoadCheckedImage(SkinName("skins\\header2_ov.png"));
            c->SetInsets(Scaled(12), 0);
            c->SetFont(Scaled(16), QStringLiteral("Tahoma"));
            CCheckButton* b = Preview(std::move(c), QString::fromLatin1(states[i]));
            if (i == 1) Hover(b);
            if (i == 2) b->SetChecked(true);
        }
    }
    {
        const int y = Row(QStringLiteral("  record"), 18);
        const char* states[] = {"normal", "hover", "checked"};
        for (int i = 0; i < 3; ++i) {
            auto c = std::make_unique<CCheckButton>(this, 2018, Design(NextX(90), y, 90, 18), QString(), 1);
            c->LoadNormalImage(SkinName("skins\\macro_record_nr.png"));
            c->LoadHoverImage(SkinName("skins\\macro_record_nr.png"));
            c->LoadCheckedImage(SkinName("skins\\macro_record_dn.png"));
            c->SetStateTexts(QStringLiteral("Record"), QStringLiteral("Stop"));
            c->SetInsets(Scaled(12), 0);
            c->SetFont(Scaled(14), QStringLiteral("Tahoma"));
            CCheckButton* b = Preview(std::move(c), QString::fromLatin1(states[i]));
            if (i == 1) Hover(b);
            if (i == 2) b->SetChecked(true);
        }
    }

    // ---- radio buttons: group E (2031-2033) starts with nothing chosen; 2033 is chosen here.
    Radios().Select(2033);
    {
        const int y = Row(QStringLiteral("CRadioButton"), 18);
        struct RadioSet {
            const char* base;
            const char* selected;
            int w, h;
        };
        for (const RadioSet& set : {RadioSet{"radio", "_dn", 15, 15}, RadioSet{"up", "_check", 29, 18},
                                    RadioSet{"down", "_check", 29, 18}}) {
            const char* states[] = {"normal", "hover", "selected"};
            const int ids[] = {2031, 2032, 2033};
            for (int i = 0; i < 3; ++i) {
                const QString base = QStringLiteral("skins\\%1").arg(QLatin1String(set.base));
                auto c = std::make_unique<CRadioButton>(this, ids[i],
                                                        Design(NextX(set.w, 64), y, set.w, set.h), QString());
                c->LoadNormalImage(base + "_nr.png");
                c->LoadHoverImage(base + "_ov.png");
                c->LoadSelectedImage(base + QLatin1String(set.selected) + ".png");
                CRadioButton* b = Preview(std::move(c), i == 0 ? QString::fromLatin1(set.base)
                                                               : QString::fromLatin1(states[i]));
                if (i == 1) Hover(b);
            }
        }
    }
    {
        // Polling rates: group F, 3032 chosen; the "_dn" picture serves hover and chosen.
        Radios().Select(3032);
        const int y = Row(QStringLiteral("  polling rate"), 72);
        const struct {
            int id;
            const char* file;
            const char* caption;
        } rates[] = {{3030, "125hz", "normal"},
                     {3031, "250hz", "hover"},
                     {3032, "500hz", "selected"},
                     {3033, "1000hz", "normal"}};
        for (const auto& rate : rates) {
            auto c = std::make_unique<CRadioButton>(this, rate.id, Design(NextX(72), y, 72, 72), QString());
            const QString base = QStringLiteral("skins\\%1").arg(QLatin1String(rate.file));
            c->LoadNormalImage(base + "_nr.png");
            c->LoadHoverImage(base + "_dn.png");
            c->LoadSelectedImage(base + "_dn.png");
            CRadioButton* b = Preview(std::move(c), QString::fromLatin1(rate.caption));
            if (rate.id == 3031) Hover(b);
        }
    }

    // ---- DPI level buttons: levels 1-3 enabled, level 2 the active one.
    Levels().SetMask(0x07);
    {
        const int y = Row(QStringLiteral("CDPIRadioButton"), 11);
        const int steps[] = {16, 32, 64, 96, 160};
        const char* captions[] = {"enabled", "enabled", "active", "hover", "disabled"};
        for (int k = 0; k < 5; ++k) {
            auto c = std::make_unique<CDPIRadioButton>(this, kFirstDpiButton + k,
                                                       Design(NextX(26), y, 26, 11), QString());
            c->LoadNormalImage(SkinName("skins\\dpi_value.png"));
            c->LoadHoverImage(SkinName("skins\\dpi_value.png"));
            c->LoadSelectedImage(SkinName("skins\\dpi_value.png"));
            c->SetStep(steps[k]);
            c->SetFont(Scaled(11), QStringLiteral("Tahoma"));
            c->SetTextColour(k == 2 ? Rgb(255, 0, 0) : kTextNormal);
            CDPIRadioButton* b = Preview(std::move(c), QString::fromLatin1(captions[k]));
            if (k == 3) Hover(b);
            if (k == 4) b->SetDisabled(true);
        }
    }

    // ---- image buttons
    {
        const int y = Row(QStringLiteral("CImageButton"), 20);
        const char* states[] = {"normal", "hover", "pressed"};
        for (int i = 0; i < 3; ++i) {
            auto c = std::make_unique<CImageButton>(this, 3950, Design(NextX(69), y, 69, 20),
                                                    QStringLiteral("OK"), 1);
            c->LoadNormalImage(SkinName("skins\\button2_nr.png"));
            c->LoadHoverImage(SkinName("skins\\button2_ov.png"));
            c->SetFont(Scaled(16), QStringLiteral("Tahoma"));
            CImageButton* b = Preview(std::move(c), QString::fromLatin1(states[i]));
            if (i == 1) Hover(b);
            if (i == 2) Press(b);
        }
        for (const char* base : {"exit", "min", "add"}) {
            const int size = QLatin1String(base) == QLatin1String("add") ? 20 : 15;
            for (int i = 0; i < 2; ++i) {
                auto c = std::make_unique<CImageButton>(this, 3951, Design(NextX(size, 54), y, size, size),
                                                        QString(), 1);
                c->LoadNormalImage(QStringLiteral("skins\\%1_nr.png").arg(QLatin1String(base)));
                c->LoadHoverImage(QStringLiteral("skins\\%1_ov.png").arg(QLatin1String(base)));
                CImageButton* b =
                    Preview(std::move(c), i ? QStringLiteral("hover") : QString::fromLatin1(base));
                if (i == 1) Hover(b);
            }
        }
    }
    {
        const int y = Row(QString(), 25);
        const char* states[] = {"normal", "hover", "pressed"};
        for (int i = 0; i < 3; ++i) {
            auto c = std::make_unique<CImageButton>(this, 2062, Design(NextX(230), y, 230, 25),
                                                    QStringLiteral("Macro manager"), 1);
            c->LoadNormalImage(SkinName("skins\\button1_nr.png"));
            c->LoadHoverImage(SkinName("skins\\button1_ov.png"));
            c->SetFont(Scaled(16), QStringLiteral("Tahoma"));
            CImageButton* b = Preview(std::move(c), QString::fromLatin1(states[i]));
            if (i == 1) Hover(b);
            if (i == 2) Press(b);
        }
    }

    // ---- combo buttons
    {
        const int y = Row(QStringLiteral("CComboButton"), 21);
        const char* states[] = {"normal", "hover", "open", "locked", "\"Disable\""};
        for (int i = 0; i < 5; ++i) {
            auto c = std::make_unique<CComboButton>(this, 1028, 2013 + i, Design(NextX(140, 150), y, 140, 21),
                                                    QString(), 0, QStringLiteral("Left button"));
            c->LoadNormalImage(SkinName("skins\\combo2_nr.png"));
            c->LoadHoverImage(SkinName("skins\\combo2_ov.png"));
            c->SetInsets(Scaled(8), Scaled(22));
            c->SetFont(Scaled(16), QStringLiteral("Tahoma"));
            CComboButton* b = Preview(std::move(c), QString::fromLatin1(states[i]));
            if (i == 1) Hover(b);
            if (i == 2) b->SetOpen(true);
            if (i == 3) b->SetLocked(true);
            if (i == 4) b->SetDisableText(true);
        }
    }

    // ---- colour swatches
    {
        const int y = Row(QStringLiteral("CColorSelect..."), 20);
        const Colour colours[] = {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(53, 160, 222), Rgb(255, 200, 0)};
        for (int i = 0; i < 4; ++i) {
            const Rect r = Design(NextX(26, 40), y + 4, 26, 12);
            auto c = std::make_unique<CColorSelectButton>(this, 3270 + i, r, r, QString());
            c->SetColour(colours[i]);
            Preview(std::move(c), i == 0 ? QStringLiteral("swatches") : QString());
        }
        rowX_ += 40;
        const char* states[] = {"normal", "checked", "checked", "normal"};
        for (int i = 0; i < 4; ++i) {
            const Rect r = Design(NextX(21, 56), y, 21, 20);
            auto c = std::make_unique<CColorSelectCheckButton>(this, 3180 + i, r, r, QString());
            c->LoadNormalImage(SkinName("skins\\color_select_nr.png"));
            c->LoadCheckedImage(SkinName("skins\\color_select_check.png"));
            c->SetColour(colours[3 - i]);
            c->SetChecked(i == 1 || i == 2);
            Preview(std::move(c), QString::fromLatin1(states[i]));
        }
    }

    // ---- power-down dial
    {
        const int y = Row(QStringLiteral("CPowerManage..."), 84);
        for (int value : {3, 6, 8, 10}) {
            auto c =
                std::make_unique<CPowerManageButton>(this, 0, Design(NextX(140), y, 140, 84), QString(), 0);
            for (int v = 3; v <= 10; ++v)
                c->LoadValueImage(v, QStringLiteral("skins\\power_manage_%1min.png").arg(v));
            c->SetValue(value);
            Preview(std::move(c), QStringLiteral("%1 min").arg(value));
        }
    }

    // ---- live controls
    {
        const int y = Row(QStringLiteral("Try them"), 25);
        auto check =
            std::make_unique<CCheckButton>(this, 3501, Design(NextX(15, 36), y + 5, 15, 15), QString(), 0);
        check->LoadNormalImage(SkinName("skins\\check_nr.png"));
        check->LoadHoverImage(SkinName("skins\\check_ov.png"));
        check->LoadCheckedImage(SkinName("skins\\check_dn.png"));
        AddControl(0, std::move(check));
        for (int id : {3510, 3511}) {
            auto radio =
                std::make_unique<CRadioButton>(this, id, Design(NextX(15, 36), y + 5, 15, 15), QString());
            radio->LoadNormalImage(SkinName("skins\\radio_nr.png"));
            radio->LoadHoverImage(SkinName("skins\\radio_ov.png"));
            radio->LoadSelectedImage(SkinName("skins\\radio_dn.png"));
            AddControl(0, std::move(radio));
        }
        auto combo = std::make_unique<CComboButton>(this, 1144, 3120, Design(NextX(189), y, 189, 25),
                                                    QString(), 0, QStringLiteral("Breathing"));
        combo->LoadNormalImage(SkinName("skins\\combo3_nr.png"));
        combo->LoadHoverImage(SkinName("skins\\combo3_ov.png"));
        combo->SetInsets(Scaled(8), Scaled(26));
        combo->SetFont(Scaled(16), QStringLiteral("Tahoma"));
        AddControl(0, std::move(combo));
        auto profile = std::make_unique<CImageButton>(this, 3502, Design(NextX(69), y + 2, 69, 20),
                                                      QStringLiteral("Profile"), 1);
        profile->SetReportsHover(true);
        profile->LoadNormalImage(SkinName("skins\\button2_nr.png"));
        profile->LoadHoverImage(SkinName("skins\\button2_ov.png"));
        profile->SetFont(Scaled(16), QStringLiteral("Tahoma"));
        AddControl(0, std::move(profile));
        auto header = std::make_unique<CCheckButton>(this, 3002, Design(NextX(262), y, 262, 25),
                                                     QStringLiteral("DPI levels"), 0);
        header->LoadNormalImage(SkinName("skins\\header_nr.png"));
        header->LoadHoverImage(SkinName("skins\\header_ov.png"));
        header->LoadCheckedImage(SkinName("skins\\header_ov.png"));
        header->SetInsets(Scaled(12), 0);
        header->SetFont(Scaled(16), QStringLiteral("Tahoma"));
        AddControl(0, std::move(header));
    }
    lastMessage_.clear(); // the previews' own notifications are not news
}

void CGalleryDlg::DrawWindow(QPainter& dc, const Rect& client) {
    // The fill colour (the average of the main window's background), the top band
    // of that background as title band, and a plain surface below it.
    FillSolidRect(dc, client, FillColour());
    StretchBitmap(dc, titleBand_.image, QRect(0, 0, Scaled(titleBand_.width), Scaled(33)),
                  QRect(0, 0, titleBand_.width, 33));
    FillSolidRect(dc, Rect{Scaled(1), Scaled(33), client.right - Scaled(1), client.bottom - Scaled(1)},
                  Rgb(24, 24, 27));
    const QFont heading = MakeFont(Scaled(16), QStringLiteral("Tahoma"));
    QFont small = MakeFont(Scaled(12), QStringLiteral("Tahoma"));
    DrawSkinText(dc, Design(150, 2, 300, 30), QStringLiteral("skin gallery"), heading, kTextNormal,
                 kDtSingleLine | kDtVCenter);
    for (const Label& label : labels_)
        DrawSkinText(dc, label.rect, label.text, label.heading ? heading : small,
                     label.heading ? kTextHover : Rgb(130, 130, 138),
                     label.heading ? (kDtSingleLine | kDtVCenter) : (kDtSingleLine | kDtWordEllipsis));
    DrawSkinText(dc, Design(20, kDesignHeight - 34, kDesignWidth - 40, 22),
                 lastMessage_.isEmpty() ? QStringLiteral("move over and click the controls of the last row")
                                        : lastMessage_,
                 heading, kTextNormal, kDtSingleLine | kDtVCenter);
    DrawControls(dc, client);
}

} // namespace tarvik
