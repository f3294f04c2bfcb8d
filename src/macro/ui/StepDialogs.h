// The macro manager's five small dialogs: three edit one step (its key, its
// delay, its movement) and two ask for a name. Each is run modally by the
// manager; cancel and close end it without a result.
//
//   CActionKeyModifyDlg dlg(parent, step);        if (dlg.exec() == QDialog::Accepted) dlg.Code();
//   CActionTimeModifyDlg dlg(parent, step);       ... dlg.Text() (the typed text) / dlg.Step()
//   CActionXYModifyDlg dlg(parent, step, kind);   ... dlg.Text() / dlg.Step()
//   CMacroKeyOrFolderNameDlg dlg(parent, folder); ... dlg.Name() (may be empty)
//   CMacroKeyRenameDlg dlg(parent, current);      ... dlg.Name(); OK only for a changed name
//
// The value rules (caps, clamps, the 127 ms rule) are macro/StepRules.h and
// macro/MacroEditor.h; the dialogs hand over what the user entered.
#pragma once

#include <QPointer>
#include <QString>

#include <cstdint>

#include "macro/ui/KeyboardHook.h"
#include "model/MacroRecords.h"
#include "skin/DlgBase.h"

class QLineEdit;

namespace tarvik {

class CStaticText;

// The shared layout: 319 × 102 on "skins\Frame_warning.bmp", a title, close,
// OK and cancel, and one field at (11, 40)–(306, 62). OK, or Enter in the
// field, ends the dialog through Confirm(); Enter and Escape do nothing else.
class CMacroFieldDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 319;
    static constexpr int kDesignHeight = 102;
    static constexpr int kIdTitle = 2013;
    static constexpr int kIdKeyText = 2012;
    static constexpr int kIdEdit = 2017;

    ~CMacroFieldDlg() override;

    // The edit field (none in the key dialog).
    QLineEdit* Field() const { return edit_.data(); }
    // The field's text as the dialog ended (or now, while it runs).
    QString Text() const;

    // Ending the dialog also ends a notice it shows.
    void done(int result) override;

protected:
    enum class FieldKind { Edit, DigitsEdit, KeyName };
    CMacroFieldDlg(QWidget* parent, int titleString, bool wideTitle, FieldKind kind, QString initial);

    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void DrawUnderControls(QPainter& dc, const Rect& client) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // OK or Enter: ends the dialog with OK unless the subclass decides otherwise.
    virtual void Confirm();
    CStaticText* KeyText() const { return keyText_; }

private:
    int titleString_;
    bool wideTitle_;
    FieldKind kind_;
    QString initial_;
    QString text_;
    QPointer<QLineEdit> edit_;
    CStaticText* keyText_ = nullptr;
    bool caretPlaced_ = false;
};

// The key of a key step: the next key pressed (any key, modifiers included)
// replaces b0; the key capture runs while the dialog is open.
class CActionKeyModifyDlg : public CMacroFieldDlg {
public:
    CActionKeyModifyDlg(QWidget* parent, const MacroAction& step);
    ~CActionKeyModifyDlg() override;

    std::uint8_t Code() const { return code_; }
    const CKeyboardHook& Hook() const { return hook_; }
    void done(int result) override;

protected:
    bool OnInitDialog() override;

private:
    LResult OnKey(int msg, WParam wParam, LParam lParam);
    void StopCapture();

    std::uint8_t code_;
    CKeyboardHook hook_;
    bool hookRunning_ = false;
};

// The delay of a step in milliseconds.
class CActionTimeModifyDlg : public CMacroFieldDlg {
public:
    CActionTimeModifyDlg(QWidget* parent, const MacroAction& step);
    // The step the entered text makes (capped at 15,300,000 ms).
    MacroAction Step() const;
};

// The amount of a move step of kind 5–8 (left, right, up, down).
class CActionXYModifyDlg : public CMacroFieldDlg {
public:
    CActionXYModifyDlg(QWidget* parent, const MacroAction& step, int kind);
    int Kind() const { return kind_; }
    // The step the entered text makes (1–127 with the sign of the kind).
    MacroAction Step() const;

private:
    int kind_;
    std::uint8_t b1_;
};

// The name of a new macro or folder; starts empty.
class CMacroKeyOrFolderNameDlg : public CMacroFieldDlg {
public:
    CMacroKeyOrFolderNameDlg(QWidget* parent, bool folder);
    bool IsFolderMode() const { return folder_; }
    std::u16string Name() const { return Text().toStdU16String(); }

private:
    bool folder_;
};

// A new name for a node; starts with the current name. OK ends with the OK
// result only when the text differs from the current name, else as cancelled.
class CMacroKeyRenameDlg : public CMacroFieldDlg {
public:
    CMacroKeyRenameDlg(QWidget* parent, const std::u16string& current);
    std::u16string Name() const { return Text().toStdU16String(); }

protected:
    void Confirm() override;

private:
    std::u16string current_;
};

} // namespace tarvik
