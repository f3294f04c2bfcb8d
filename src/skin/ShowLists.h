// The two list views of the macro dialogs: CEditShowList shows the opened rows
// of the macro folder tree, CImageShowList the steps of one macro. Both have
// rows 20 pixels high (times the UI scale), a selected row and a first visible
// row that the window keeps in step with its scroll bar.
//
// The lists read their data through small row interfaces, so they show any tree
// or step sequence; macro/ui/MacroRows.h gives the macro library as rows.
#pragma once

#include <QPoint>

#include "skin/ControlBase.h"

namespace tarvik {

// The opened rows of a folder tree, in order.
class TreeRows {
public:
    struct Row {
        QString name;
        int depth = 0; // 0-2
        bool folder = false;
        bool open = false;
    };
    virtual ~TreeRows() = default;
    virtual int RowCount() const = 0;
    virtual Row RowAt(int row) const = 0;
    // Inverts the open flag of the row's node.
    virtual void InvertOpen(int row) = 0;
    // Publishes the selected row's node to the dialogs that act on it (-1: none).
    virtual void SelectRow(int row) = 0;
};

// The steps of one macro.
class StepRows {
public:
    enum class Icon { Time, Down, Up };
    struct Row {
        QString text;
        Icon icon = Icon::Down;
    };
    virtual ~StepRows() = default;
    virtual int StepCount() const = 0;
    virtual Row StepAt(int step) const = 0;
};

// Row geometry shared by both lists.
class CShowListBase : public CControlBase {
public:
    CShowListBase(CDlgBase* parent, int id, const Rect& rect, bool groupVisible, bool visible, bool disabled);

    int RowHeight() const;
    // Rows that fit: (height + 10 s) / (20 s).
    int VisibleCount() const;
    int Selected() const { return selected_; }
    void SetSelected(int row) { selected_ = row; }
    int First() const { return first_; }
    void SetFirst(int row) { first_ = row < 0 ? 0 : row; }
    // Scrolls so that the selected row is shown (a selection above the window does not scroll).
    void EnsureVisible();
    // Screen row under y (may lie past the data).
    int ScreenRowAt(int y) const;
    virtual int DataRowCount() const = 0;

    bool OnMouseMove(unsigned, int x, int y) override { return ButtonMouseMove(x, y); }
    bool OnLButtonUp(unsigned keys, int x, int y) override;

protected:
    Rect RowRect(int screenRow, int leftInset) const;
    int selected_ = -1;
    int first_ = 0;
};

class CEditShowList : public CShowListBase {
public:
    static constexpr int kId = 2015;

    CEditShowList(CDlgBase* parent, const Rect& rect, bool groupVisible = true, bool visible = true,
                  bool disabled = false);

    // The folder pictures "skins\foldr_open.png" and "skins\foldr_close.png".
    void LoadImages();
    bool LoadOpenImage(const QString& name) { return LoadPicture(open_, name); }
    bool LoadClosedImage(const QString& name) { return LoadPicture(closed_, name); }

    // The tree it shows (not owned); nullptr shows nothing.
    void SetRows(TreeRows* rows) { rows_ = rows; }
    TreeRows* Rows() const { return rows_; }
    int DataRowCount() const override { return rows_ ? rows_->RowCount() : 0; }

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnRButtonUp(unsigned keys, int x, int y) override;
    bool OnLButtonDblClk(unsigned keys, int x, int y) override;

private:
    // Selects the row under y (or nothing) and publishes it.
    int SelectAt(int y);

    SkinImage open_, closed_;
    TreeRows* rows_ = nullptr;
    QPoint clickPoint_;
};

class CImageShowList : public CShowListBase {
public:
    static constexpr int kId = 2020;

    CImageShowList(CDlgBase* parent, const Rect& rect, bool groupVisible = true, bool visible = true,
                   bool disabled = false);

    // "skins\macro_down.png", "skins\macro_up.png", "skins\macro_time.png".
    void LoadImages();

    // The steps it shows (not owned); nullptr when no macro is selected.
    void SetSteps(StepRows* steps) { steps_ = steps; }
    StepRows* Steps() const { return steps_; }
    int DataRowCount() const override { return steps_ ? steps_->StepCount() : 0; }

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonDblClk(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage down_, up_, time_;
    StepRows* steps_ = nullptr;
};

} // namespace tarvik
