#include "widgets/DPIValueSettingDlg.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>
#include <limits>

#include "skin/EditBox.h"
#include "skin/ImageButton.h"
#include "skin/OpenDialogList.h"
#include "skin/Sliders.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "widgets/DpiControls.h"

namespace tarvik {

CDPIValueSettingDlg::CDPIValueSettingDlg(CDPIValueShowControl* shown, int stepCount,
                                         std::span<const std::uint32_t> steps, QWidget* parent)
    : CDlgBase(parent), shown_(shown), steps_(steps) {
    // At least one step; never more than the table holds.
    stepCount_ = std::clamp(stepCount, 1, std::max<int>(1, static_cast<int>(steps.size())));
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    SetFrameFile(SkinName("skins\\Frame_DPI.bmp"), kDesignWidth, kDesignHeight);
    index_ = shown_ ? std::clamp(shown_->Value(), 0, stepCount_ - 1) : 0;
    UseStandardCloseIds();
    Messages().Add(kIdConfirm, [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) Confirm();
        return 0;
    });
    Messages().Add(kIdSlider, [this](int, WParam wParam, LParam code) -> LResult {
        if (code == kNotifyDrag)
            ShowIndex(static_cast<int>(wParam));
        else if (code == kNotifyClick && slider_)
            ShowIndex(slider_->CurrentStop());
        return 0;
    });
}

CDPIValueSettingDlg::~CDPIValueSettingDlg() {
    LeaveOpenDialog(this);
}

QString CDPIValueSettingDlg::DpiText(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= steps_.size()) return QStringLiteral("0");
    return QString::number(static_cast<qint64>(steps_[static_cast<std::size_t>(i)]) * 50);
}

int CDPIValueSettingDlg::StepIndexOf(const QString& text) const {
    // Leading blanks, then decimal digits up to the first other character.
    qsizetype p = 0;
    while (p < text.size() && (text[p] == QLatin1Char(' ') || text[p] == QLatin1Char('\t'))) ++p;
    long long a = 0;
    for (; p < text.size() && text[p] >= QLatin1Char('0') && text[p] <= QLatin1Char('9'); ++p) {
        a = a * 10 + (text[p].unicode() - '0');
        if (a > std::numeric_limits<int>::max()) a = std::numeric_limits<int>::max();
    }
    int i = 0;
    while (i < stepCount_ - 1 && static_cast<long long>(steps_[static_cast<std::size_t>(i)]) * 50 < a) ++i;
    return i;
}

void CDPIValueSettingDlg::ShowIndex(int k) {
    index_ = k;
    if (edit_) edit_->setText(DpiText(k));
}

void CDPIValueSettingDlg::ApplyTypedValue() {
    if (!edit_) return;
    index_ = StepIndexOf(edit_->text());
    if (slider_) {
        slider_->SetStop(index_);
        InvalidateRect(slider_->GetRect());
    }
    edit_->setText(DpiText(index_));
}

bool CDPIValueSettingDlg::OnInitDialog() {
    CDlgBase::OnInitDialog();
    EnterOpenDialog(this);
    return true;
}

void CDPIValueSettingDlg::CreateControls(const Rect&) {
    const QString face = QString::fromStdU16String(Language().Font().face);

    auto title = std::make_unique<CStaticText>(this, kIdText, ScaledRect(20, 3, 230, 27),
                                               QString::fromStdU16String(LanguageString(273)),
                                               Rgb(255, 255, 255), kDtLeft);
    title->SetFont(Scaled(18), face);
    AddControl(0, std::move(title));

    auto close = std::make_unique<CImageButton>(this, kIdClose, ScaledRect(405, 4, 420, 19), QString(), 1);
    close->LoadNormalImage(SkinName("skins\\exit_nr.png"));
    close->LoadHoverImage(SkinName("skins\\exit_ov.png"));
    AddControl(0, std::move(close));

    auto ok = std::make_unique<CImageButton>(this, kIdConfirm, ScaledRect(350, 110, 419, 130),
                                             QString::fromStdU16String(LanguageString(4)), 1);
    ok->LoadNormalImage(SkinName("skins\\button2_nr.png"));
    ok->LoadHoverImage(SkinName("skins\\button2_ov.png"));
    AddControl(0, std::move(ok));

    AddControl(0, std::make_unique<CStaticText>(this, kIdText, ScaledRect(0, 68, 60, 86), DpiText(0),
                                                kTextNormal, kDtRight));
    AddControl(0, std::make_unique<CStaticText>(this, kIdText, ScaledRect(365, 68, 425, 86),
                                                DpiText(stepCount_ - 1), kTextNormal, kDtLeft));

    // The edit box: black text on white, centred, with the keyboard focus.
    QLineEdit* edit = MakeEditBox(this, ScaledRect(165, 35, 265, 57), DpiText(index_));
    edit->setObjectName(QStringLiteral("edit2017"));
    edit->installEventFilter(this);
    edit->show();
    edit->setFocus();
    edit_ = edit;

    auto bar = std::make_unique<CStaticImage>(this, kIdSliderBar, ScaledRect(69, 72, 359, 75));
    bar->LoadImage(SkinName("skins\\Slider_bar.png"));
    AddControl(0, std::move(bar));

    auto slider = std::make_unique<CSliderControl>(this, kIdSlider, ScaledRect(69, 67, 359, 80), QString(),
                                                   stepCount_, Scaled(6), Scaled(7));
    slider->LoadThumbImage(SkinName("skins\\Slider_Circle.png"));
    slider->SetStop(index_);
    slider_ = AddControl(0, std::move(slider));
}

bool CDPIValueSettingDlg::HandleKey(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ApplyTypedValue();
        return true;
    case Qt::Key_Escape:
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        if (!slider_) return true;
        const int stop = slider_->CurrentStop();
        const int next = key == Qt::Key_Left ? stop - 1 : stop + 1;
        if (next >= 0 && next < slider_->StopCount()) {
            slider_->SetStop(next);
            ShowIndex(next);
            InvalidateRect(slider_->GetRect());
        }
        return true;
    }
    default:
        return false;
    }
}

void CDPIValueSettingDlg::keyPressEvent(QKeyEvent* event) {
    if (HandleKey(event->key()))
        event->accept();
    else
        CDlgBase::keyPressEvent(event);
}

bool CDPIValueSettingDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_.data() && event->type() == QEvent::KeyPress)
        return HandleKey(static_cast<QKeyEvent*>(event)->key());
    // The arrow keys must not move the focus away from the edit box either.
    if (watched == edit_.data() && event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Return || key == Qt::Key_Enter ||
            key == Qt::Key_Escape) {
            event->accept();
            return true;
        }
    }
    return CDlgBase::eventFilter(watched, event);
}

void CDPIValueSettingDlg::Confirm() {
    ApplyTypedValue();
    if (shown_) shown_->SetValue(index_);
    ReleaseControlImages();
    done(QDialog::Accepted);
}

} // namespace tarvik
