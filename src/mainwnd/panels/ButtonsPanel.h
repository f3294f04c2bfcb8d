// The buttons panel: the six buttons' numbers and combos, the function menu
// a combo opens with its sub-menus (DPI, multimedia, office, window
// management, DPI lock) and the key dialogs (shortcut, fire key, macro) an item
// of it opens. The chosen function is stored in the current profile; the
// number of the button whose combo is under the mouse is drawn on the mouse.
#pragma once

#include <array>

#include "mainwnd/panels/PanelHost.h"

namespace tarvik {

class CComboButton;
struct ButtonChoice;
class MacroKey;

namespace panels {

class ButtonsPanel {
public:
    explicit ButtonsPanel(PanelHost& host) : host_(host) {}

    // The button numbers and combos in group 0.
    void Create();
    void AddMessages(MessageTable& table);
    // The combos' texts from the current profile (Buttons changes).
    void Refresh(ModelChange what);
    // The function menu and its sub-menu close; no number is drawn.
    void CloseMenus();
    // The button number drawn on the mouse (1-6; 0: none).
    int Highlighted() const { return highlight_; }

private:
    LResult OnCombo(int msg, WParam w, LParam code);
    LResult OnFunctionChosen(int msg, WParam w, LParam l);
    LResult OnFunctionClosed(int msg, WParam w, LParam l);
    LResult OnSubMenuHover(int msg, WParam w, LParam l);
    LResult OnSubMenuChosen(int msg, WParam w, LParam l);
    LResult OnSubMenuClosed(int msg, WParam w, LParam l);
    LResult OnDialogItemReleased(int msg, WParam w, LParam l);
    LResult OnOpenKeyDialog(int msg, WParam w, LParam l);
    LResult OnKeyDialogResult(int msg, WParam w, LParam l);
    LResult OnMacroSelectResult(int msg, WParam w, LParam l);
    // Stores a button function: combo text, the edit, the left-button rule.
    void StoreFunction(int comboId, const ButtonChoice& choice, const MacroKey* macro = nullptr);
    void OpenFunctionMenu(int comboId);
    void OpenSubMenu(int hoverMessage, int tag, int itemValue);
    void InvalidateMousePicture();

    PanelHost& host_;
    std::array<CComboButton*, 6> combos_{};
    int highlight_ = 0; // the button number drawn on the mouse (0: none)
    int keyButton_ = 0; // the combo whose dialog item was released
};

} // namespace panels
} // namespace tarvik
