// Radio buttons. The selection of every radio group lives in one process-wide
// 32-bit word; the DPI level buttons share an 8-bit mask of enabled levels.
#pragma once

#include <cstdint>

#include "skin/ControlBase.h"

namespace tarvik {

// The radio word and its groups (member command id -> bit):
//   A 2006, 2080-2085 -> bits 0-6      B 2009, 2010 -> 7, 8     C 3501, 3502 -> 9, 10
//   D 3240, 3250 -> 11, 12             E 2031-2033 -> 13-15     F 3030-3033 -> 16-19
//   G 3510, 3511 -> 20, 21
// Initially 2080, 2009, 3501, 3033 and 3511 are selected.
inline constexpr std::uint32_t kRadioSelectionInitial = 0x280282;
std::uint32_t& RadioSelection();
// Bit of a radio command id, or -1 for an id of no group.
int RadioBit(int id);
// All bits of the id's group (0 for an id of no group).
std::uint32_t RadioGroupMask(int id);
// Clears the id's group and sets its bit; ids of no group change nothing.
void SelectRadio(int id);
bool IsRadioSelected(int id);

// The DPI-level mask of the DPI buttons 3290-3297: bit k = level k enabled.
inline constexpr std::uint8_t kDpiLevelMaskInitial = 0x02;
inline constexpr int kDpiRadioFirstId = 3290;
std::uint8_t& DpiLevelMask();

class CRadioButton : public CControlBase {
public:
    CRadioButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible = true,
                 bool visible = true, bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(normal_, name); }
    bool LoadHoverImage(const QString& name) { return LoadPicture(hover_, name); }
    bool LoadSelectedImage(const QString& name) { return LoadPicture(selected_, name); }

    bool IsSelected() const { return IsRadioSelected(id_); }
    // 2 while selected, otherwise the mouse state.
    int PictureIndex() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage normal_, hover_, selected_;
};

// A DPI level button: shows its DPI (step × 50) over its picture and selects
// levels 1 to k + 1 when clicked.
class CDPIRadioButton : public CControlBase {
public:
    CDPIRadioButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible = true,
                    bool visible = true, bool disabled = false);

    bool LoadNormalImage(const QString& name) { return LoadPicture(normal_, name); }
    bool LoadHoverImage(const QString& name) { return LoadPicture(hover_, name); }
    bool LoadSelectedImage(const QString& name) { return LoadPicture(selected_, name); }

    int Step() const { return step_; }
    void SetStep(int step);
    Colour TextColour() const { return textColour_; }
    void SetTextColour(Colour colour);
    // The level this button stands for: id - 3290 (0-7), or -1.
    int Level() const;
    bool IsSelected() const;
    int PictureIndex() const;

    void Draw(QPainter& dc, const Rect& update) override;
    bool OnMouseMove(unsigned keys, int x, int y) override;
    bool OnLButtonDown(unsigned keys, int x, int y) override;
    bool OnLButtonUp(unsigned keys, int x, int y) override;
    void ReleaseImages() override;

private:
    SkinImage normal_, hover_, selected_;
    int step_ = 0;
    Colour textColour_ = kTextNormal;
};

} // namespace tarvik
