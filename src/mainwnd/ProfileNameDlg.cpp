#include "mainwnd/ProfileNameDlg.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "device/ui/NoticeDialogs.h"
#include "macro/ui/DialogParts.h"
#include "skin/ImageButton.h"
#include "skin/StaticControls.h"
#include "text/Language.h"
#include "text/Notices.h"

namespace tarvik {

CProfileNameDlg::CProfileNameDlg(int title, int prompt, const QString& name, QWidget* parent)
    : CDlgBase(parent), title_(title), prompt_(prompt), initial_(name) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    UseStandardCloseIds();
    Messages().Add(kIdConfirm, [this](int, WParam, LParam code) -> LResult {
        if (code == kNotifyClick) Confirm();
        return 0;
    });
}

void CProfileNameDlg::CreateControls(const Rect&) {
    const QString face = QString::fromStdU16String(Language().Font().face);
    auto title = std::make_unique<CStaticText>(this, kIdText, ScaledRect(20, 3, 330, 27), LangText(title_),
                                               Rgb(255, 255, 255), kDtLeft);
    title->SetFont(Scaled(18), face);
    AddControl(0, std::move(title));
    AddControl(0, MakeImageButton(this, kIdClose, ScaledRect(405, 4, 420, 19), QString(),
                                  SkinName("skins\\exit_nr.png"), SkinName("skins\\exit_ov.png")));
    AddControl(0, MakeImageButton(this, kIdConfirm, ScaledRect(260, 110, 329, 130), LangText(4),
                                  SkinName("skins\\button2_nr.png"), SkinName("skins\\button2_ov.png")));
    AddControl(0, MakeImageButton(this, kIdCancel, ScaledRect(350, 110, 419, 130), LangText(5),
                                  SkinName("skins\\button2_nr.png"), SkinName("skins\\button2_ov.png")));
    AddControl(0, std::make_unique<CStaticText>(this, kIdText, ScaledRect(15, 42, 415, 62), LangText(prompt_),
                                                kTextNormal, kDtLeft | kDtSingleLine));

    // One plain line edit, centred text, no length limit.
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("edit%1").arg(kIdEdit));
    edit->setAlignment(Qt::AlignCenter);
    edit->setGeometry(ScaledRect(15, 65, 415, 87).ToQRect());
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(static_cast<int>(100 * UiScale() / DpiFactor()) / 10.0);
    edit->setFont(font);
    edit->setText(initial_);
    edit->selectAll();
    // Enter in the field reaches keyPressEvent: the line edit passes it on.
    edit->show();
    edit->setFocus();
    edit_ = edit;
}

void CProfileNameDlg::DrawWindow(QPainter& dc, const Rect& client) {
    DrawBackground(dc, client);
    DrawFrameFile(dc, SkinName("skins\\Frame_common.bmp"), kDesignWidth, kDesignHeight);
    DrawControls(dc, client);
}

void CProfileNameDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept(); // swallowed: only close and cancel end the dialog
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        Confirm();
        return;
    }
    CDlgBase::keyPressEvent(event);
}

void CProfileNameDlg::Confirm() {
    if (notice_ || !edit_) return;
    const QString text = edit_->text();
    if (text.isEmpty()) {
        // The dialog stays open under the notice.
        auto* notice = new CAttentionDlg(QStringLiteral("警告!"),
                                         LangText(NoticeString(Notice::EmptyProfileName)), this);
        notice->setAttribute(Qt::WA_DeleteOnClose);
        notice_ = notice;
        notice->open();
        return;
    }
    name_ = text;
    ReleaseControlImages();
    done(QDialog::Accepted);
}

CAddProfileDlg::CAddProfileDlg(QWidget* parent) : CProfileNameDlg(148, 141, QString(), parent) {}

CEditProfileDlg::CEditProfileDlg(const QString& currentName, QWidget* parent)
    : CProfileNameDlg(149, 144, currentName, parent) {}

} // namespace tarvik
