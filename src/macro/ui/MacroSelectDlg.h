// CMacroSelectDlg: binds a macro of the library to a mouse button. It shows the
// library tree; OK with a macro selected hands the choice to the owner, OK with
// a folder or nothing selected is refused with a notice and the dialog stays,
// and so is a macro with more steps than the mouse takes (the notice gives its
// step count and the limit), so a button never points at a macro the mouse
// does not hold.
//
// Entry (the main window, on 1064):
//
//   CMacroSelectDlg dlg(this, library);
//   dlg.exec();
//
// Before it closes with OK, the dialog sends 1066 to `owner` with lParam = a
// const MacroSelectResult* (valid during the call): `choice` is language
// string 190 followed by the macro's name with the action 90 00 00, `macro`
// the library macro to copy into the button, e.g.
//   edits::AssignFunction(model, slot, button, *r->choice, r->macro);
// Close ends it without a message. It enters OpenDialogList.
#pragma once

#include "macro/MacroLibrary.h"
#include "macro/ui/ListScroll.h"
#include "macro/ui/MacroRows.h"
#include "skin/DlgBase.h"

namespace tarvik {

class CMacroSelectDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 528;
    static constexpr int kDesignHeight = 365;
    static constexpr int kResultMessage = 1066;
    static constexpr int kIdCaption = 2025;
    static constexpr int kIdTree = 2015;
    static constexpr int kIdTreeScroll = 2021;
    static constexpr int kIdTitle = 2037;

    // `owner` (the main window) receives the result; it also parents the dialog.
    CMacroSelectDlg(CDlgBase* owner, MacroLibrary& library);
    ~CMacroSelectDlg() override;

    const MacroLocation& Selection() const { return selection_; }
    // Selects a node as a click on its row does (opening its folders).
    void SelectNode(const MacroLocation& at);

    // Ending the dialog also ends a notice it shows.
    void done(int result) override;

protected:
    bool OnInitDialog() override;
    void CreateControls(const Rect& client) override;
    void DrawUnderControls(QPainter& dc, const Rect& client) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    LResult OnCommand(int msg, WParam wParam, LParam lParam);
    void Refresh();
    void Confirm();

    CDlgBase* owner_;
    MacroLibrary& library_;
    MacroLocation selection_;
    MacroTreeRows rows_;
    CEditShowList* tree_ = nullptr;
    ListScroll scroll_;
};

} // namespace tarvik
