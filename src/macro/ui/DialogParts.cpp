#include "macro/ui/DialogParts.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include "device/ui/NoticeDialogs.h"
#include "skin/EditBox.h"
#include "skin/StaticControls.h"
#include "text/Language.h"

namespace tarvik {

QString LangText(int n) {
    return QString::fromStdU16String(LanguageString(n));
}

QString OwnText(ProgramText id) {
    const std::u16string_view text = ProgramTextString(id);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::unique_ptr<CImageButton> MakeCloseButton(CDlgBase* dlg, const Rect& r) {
    auto b = std::make_unique<CImageButton>(dlg, CDlgBase::kIdClose, r, QString(), 1);
    b->LoadNormalImage(SkinName("skins\\exit_nr.png"));
    b->LoadHoverImage(SkinName("skins\\exit_ov.png"));
    return b;
}

std::unique_ptr<CImageButton> MakeImageButton(CDlgBase* dlg, int id, const Rect& r, const QString& text,
                                              const QString& normal, const QString& hover) {
    auto b = std::make_unique<CImageButton>(dlg, id, r, text, 1);
    b->LoadNormalImage(normal);
    b->LoadHoverImage(hover);
    return b;
}

std::unique_ptr<CImageButton> MakeTextButton(CDlgBase* dlg, int id, const Rect& r, const QString& text) {
    return MakeImageButton(dlg, id, r, text, SkinName("skins\\button2_nr.png"),
                           SkinName("skins\\button2_ov.png"));
}

QLineEdit* MakeEditField(CDlgBase* dlg, const Rect& r, const QString& text, Colour textColour,
                         Colour background) {
    QLineEdit* edit = MakeEditBox(dlg, r, text, textColour, background);
    edit->setCursorPosition(static_cast<int>(text.size()));
    edit->show();
    return edit;
}

bool IsNonDigitCharacter(const QString& typed) {
    if (typed.isEmpty()) return false;
    const QChar c = typed.front();
    return c.isPrint() && (c < QLatin1Char('0') || c > QLatin1Char('9'));
}

void ShowNotice(QWidget* parent, Notice notice) {
    if (notice == Notice::None) return;
    ShowNoticeText(parent, LangText(NoticeString(notice)));
}

void ShowNoticeText(QWidget* parent, const QString& text) {
    QPointer<CAttentionDlg> dlg = new CAttentionDlg(LangText(kAttentionTitleString), text, parent);
    dlg->exec();
    // The notice goes with its parent if the parent went while it was open.
    delete dlg.data();
}

CConfirmDlg::CConfirmDlg(const QString& message, QWidget* parent) : CDlgBase(parent), message_(message) {
    SetWindowSize(Scaled(kDesignWidth), Scaled(kDesignHeight));
    SetFrameFile(SkinName("skins\\Frame_warning.bmp"), kDesignWidth, kDesignHeight);
    UseStandardCloseIds();
    UseStandardConfirmId();
}

void CConfirmDlg::CreateControls(const Rect&) {
    AddControl(0, MakeCloseButton(this, ScaledRect(300, 4, 315, 19)));
    AddControl(0, MakeTextButton(this, kIdConfirm, ScaledRect(170, 70, 235, 93), LangText(4)));
    AddControl(0, MakeTextButton(this, kIdCancel, ScaledRect(240, 70, 305, 93), LangText(5)));
    AddControl(0, std::make_unique<CStaticText>(this, kIdMessage, ScaledRect(0, 30, 319, 62), message_,
                                                kTextNormal, kDtCenter | kDtWordBreak));
}

void CConfirmDlg::keyPressEvent(QKeyEvent* event) {
    // OK and cancel are clicked; Enter and Escape do nothing.
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
        event->accept();
        return;
    }
    CDlgBase::keyPressEvent(event);
}

bool AskConfirmation(QWidget* parent, int text) {
    QPointer<CConfirmDlg> dlg = new CConfirmDlg(LangText(text), parent);
    const bool ok = dlg->exec() == QDialog::Accepted;
    delete dlg.data();
    return ok;
}

void RejectChildDialogs(QWidget* window) {
    if (!window) return;
    const auto children = window->findChildren<QDialog*>();
    for (QDialog* child : children) {
        QPointer<QDialog> guard(child);
        if (guard && guard->isVisible()) guard->reject();
    }
}

} // namespace tarvik
