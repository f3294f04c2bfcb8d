// The two name dialogs of the profile list: CAddProfileDlg asks for the name of
// a new profile, CEditProfileDlg for a new name of an existing one. OK (or
// Enter) with an empty field shows a notice and keeps the dialog open; Escape
// does nothing; close and cancel end it without a result. The window applies
// the accepted name to the model.
#pragma once

#include <QLineEdit>
#include <QPointer>

#include "skin/DlgBase.h"

namespace tarvik {

class CProfileNameDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 429;
    static constexpr int kDesignHeight = 140;
    static constexpr int kIdEdit = 2017;
    static constexpr int kIdText = 2012;

    const QString& Name() const { return name_; }
    QLineEdit* EditBox() const { return edit_.data(); }
    // The empty-name notice while it is open.
    CDlgBase* OpenNotice() const { return notice_.data(); }

protected:
    // title, prompt: language strings; `name` fills the field.
    CProfileNameDlg(int title, int prompt, const QString& name, QWidget* parent);

    void CreateControls(const Rect& client) override;
    void DrawWindow(QPainter& dc, const Rect& client) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Confirm();

    int title_, prompt_;
    QString initial_, name_;
    QPointer<QLineEdit> edit_;
    QPointer<CDlgBase> notice_;
};

class CAddProfileDlg : public CProfileNameDlg {
public:
    explicit CAddProfileDlg(QWidget* parent = nullptr);
};

class CEditProfileDlg : public CProfileNameDlg {
public:
    CEditProfileDlg(const QString& currentName, QWidget* parent = nullptr);
};

} // namespace tarvik
