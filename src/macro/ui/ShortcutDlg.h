// CShortcutDlg: the shortcut item of the button function menu. The user presses
// the key the button shall send and ticks the modifiers that go with it; OK
// hands the name and the keyboard action (70, modifier bits, HID usage) to the
// owner as message 1036, lParam = the ButtonChoice.
#pragma once

#include <cstdint>
#include <optional>

#include "macro/ButtonFunctions.h"
#include "macro/ui/KeyboardHook.h"
#include "skin/DlgBase.h"

namespace tarvik {

class CCheckButton;
class CStaticText;

class CShortcutDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 429;
    static constexpr int kDesignHeight = 140;
    static constexpr int kResultMessage = 1036;
    static constexpr int kIdTitle = 2013; // the title and the box labels
    static constexpr int kIdKeyName = 2012;
    static constexpr int kIdShift = 2008;
    static constexpr int kIdCtrl = 2006;
    static constexpr int kIdAlt = 2007;
    static constexpr int kIdWin = 2009;

    // `owner` (the main window) receives the result; it also parents the dialog.
    explicit CShortcutDlg(CDlgBase* owner);
    ~CShortcutDlg() override;

    std::optional<std::uint8_t> CapturedKey() const { return captured_; }
    // The ticked boxes as modifier bits (kModCtrl ...).
    std::uint8_t Modifiers() const;
    const CKeyboardHook& Hook() const { return hook_; }

    // Ending the dialog (OK, cancel, close, or a close request) stops the capture.
    void done(int result) override;

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void DrawUnderControls(QPainter& dc, const Rect& client) override;

private:
    LResult OnKey(int msg, WParam wParam, LParam lParam);
    void Confirm();

    CDlgBase* owner_;
    CKeyboardHook hook_;
    std::optional<std::uint8_t> captured_;
    CStaticText* keyName_ = nullptr;
    CCheckButton* boxes_[4] = {}; // Shift, Ctrl, Alt, Win
};

} // namespace tarvik
