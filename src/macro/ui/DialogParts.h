// Pieces the macro side's small dialogs share: language texts as QString, the
// skin's image buttons, the number and name fields (a plain QLineEdit dressed
// as the skin's edit box), and the attention notice for a Notice.
#pragma once

#include <QString>

#include <memory>

#include "skin/DlgBase.h"
#include "skin/ImageButton.h"
#include "text/Notices.h"
#include "text/ProgramTexts.h"

class QLineEdit;

namespace tarvik {

// Language string n.
QString LangText(int n);
// One of the program's own texts (text/ProgramTexts.h).
QString OwnText(ProgramText id);

// The close button ("skins\exit_nr.png" / "skins\exit_ov.png") and a text
// button ("skins\button2_nr.png" / "skins\button2_ov.png").
std::unique_ptr<CImageButton> MakeCloseButton(CDlgBase* dlg, const Rect& r);
std::unique_ptr<CImageButton> MakeTextButton(CDlgBase* dlg, int id, const Rect& r, const QString& text);
// An image button with its two pictures.
std::unique_ptr<CImageButton> MakeImageButton(CDlgBase* dlg, int id, const Rect& r, const QString& text,
                                              const QString& normal, const QString& hover);

// The toolkit's edit box (skin/EditBox.h) over `r` (window coordinates) in the
// given text and background colours, shown, with the caret at the end of its
// text. The dialog owns it.
QLineEdit* MakeEditField(CDlgBase* dlg, const Rect& r, const QString& text, Colour textColour,
                         Colour background);

// True for a typed character that a number field answers with the digits-only
// notice: printable and not a digit (backspace and control keys are not).
bool IsNonDigitCharacter(const QString& typed);

// Runs the attention notice for `notice` modally over `parent` (language
// string 150 as its title, the notice's string as its message). Nothing for
// Notice::None.
void ShowNotice(QWidget* parent, Notice notice);
// The same with a text of its own (a program text with its values in).
void ShowNoticeText(QWidget* parent, const QString& text);

// A question on the notice's layout (319 × 102, "skins\Frame_warning.bmp"):
// the text centred, OK (2010) ends with the OK result, cancel (2011) and close
// (2004) with the cancel result.
class CConfirmDlg : public CDlgBase {
public:
    static constexpr int kDesignWidth = 319;
    static constexpr int kDesignHeight = 102;
    static constexpr int kIdMessage = 2013;

    CConfirmDlg(const QString& message, QWidget* parent = nullptr);
    const QString& Message() const { return message_; }

protected:
    void CreateControls(const Rect& client) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString message_;
};

// Runs a CConfirmDlg with language string `text`; true on OK.
bool AskConfirmation(QWidget* parent, int text);

// Rejects every visible dialog that `window` parents (notices, file dialogs,
// step editors), so a close request also ends what runs on top of it.
void RejectChildDialogs(QWidget* window);

} // namespace tarvik
