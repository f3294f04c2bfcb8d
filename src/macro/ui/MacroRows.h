// The macro library as rows of the skin's list controls: the opened rows of
// the folder tree (CEditShowList) and the steps of one macro (CImageShowList).
#pragma once

#include <functional>

#include "skin/ShowLists.h"

namespace tarvik {

class MacroLibrary;
class MacroKey;

// The macro library's tree as rows. A selection goes to `onSelect` (the macro
// dialogs' selected tree position), with -1 for none. The rows are read from
// the library's row list, which it rebuilds only after the tree has changed.
class MacroTreeRows : public TreeRows {
public:
    MacroTreeRows(MacroLibrary& library, std::function<void(int row)> onSelect = {});
    int RowCount() const override;
    Row RowAt(int row) const override;
    void InvertOpen(int row) override;
    void SelectRow(int row) override;

private:
    MacroLibrary& library_;
    std::function<void(int)> onSelect_;
};

// The steps of one macro (none while the pointer is null).
class MacroStepRows : public StepRows {
public:
    explicit MacroStepRows(const MacroKey* macro = nullptr) : macro_(macro) {}
    void SetMacro(const MacroKey* macro) { macro_ = macro; }
    const MacroKey* Macro() const { return macro_; }
    int StepCount() const override;
    Row StepAt(int step) const override;

private:
    const MacroKey* macro_;
};

} // namespace tarvik
