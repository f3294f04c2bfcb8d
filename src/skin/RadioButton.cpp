#include "skin/RadioButton.h"

#include <array>

namespace tarvik {

namespace {

struct RadioMember {
    int id;
    int bit;
    char group;
};

constexpr std::array<RadioMember, 22> kRadioMembers{{
    {2006, 0, 'A'},  {2080, 1, 'A'},  {2081, 2, 'A'},  {2082, 3, 'A'},  {2083, 4, 'A'},  {2084, 5, 'A'},
    {2085, 6, 'A'},  {2009, 7, 'B'},  {2010, 8, 'B'},  {3501, 9, 'C'},  {3502, 10, 'C'}, {3240, 11, 'D'},
    {3250, 12, 'D'}, {2031, 13, 'E'}, {2032, 14, 'E'}, {2033, 15, 'E'}, {3030, 16, 'F'}, {3031, 17, 'F'},
    {3032, 18, 'F'}, {3033, 19, 'F'}, {3510, 20, 'G'}, {3511, 21, 'G'},
}};

const RadioMember* FindMember(int id) {
    for (const RadioMember& m : kRadioMembers)
        if (m.id == id) return &m;
    return nullptr;
}

} // namespace

std::uint32_t& RadioSelection() {
    static std::uint32_t word = kRadioSelectionInitial;
    return word;
}

int RadioBit(int id) {
    const RadioMember* m = FindMember(id);
    return m ? m->bit : -1;
}

std::uint32_t RadioGroupMask(int id) {
    const RadioMember* m = FindMember(id);
    if (!m) return 0;
    std::uint32_t mask = 0;
    for (const RadioMember& o : kRadioMembers)
        if (o.group == m->group) mask |= 1u << o.bit;
    return mask;
}

void SelectRadio(int id) {
    const int bit = RadioBit(id);
    if (bit < 0) return;
    RadioSelection() = (RadioSelection() & ~RadioGroupMask(id)) | (1u << bit);
}

bool IsRadioSelected(int id) {
    const int bit = RadioBit(id);
    return bit >= 0 && (RadioSelection() >> bit & 1u) != 0;
}

std::uint8_t& DpiLevelMask() {
    static std::uint8_t mask = kDpiLevelMaskInitial;
    return mask;
}

// ---- CRadioButton -----------------------------------------------------------

CRadioButton::CRadioButton(CDlgBase* parent, int id, const Rect& rect, const QString& text, bool groupVisible,
                           bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled) {}

int CRadioButton::PictureIndex() const {
    return IsSelected() ? 2 : mouseState_;
}

void CRadioButton::Draw(QPainter& dc, const Rect&) {
    const int index = PictureIndex();
    DrawPicture(dc, index == 0 ? normal_ : index == 1 ? hover_ : selected_);
}

bool CRadioButton::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CRadioButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CRadioButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y, [this] { SelectRadio(id_); }, id_, 0);
}

void CRadioButton::ReleaseImages() {
    normal_.Reset();
    hover_.Reset();
    selected_.Reset();
}

// ---- CDPIRadioButton --------------------------------------------------------

CDPIRadioButton::CDPIRadioButton(CDlgBase* parent, int id, const Rect& rect, const QString& text,
                                 bool groupVisible, bool visible, bool disabled)
    : CControlBase(parent, id, rect, text, groupVisible, visible, disabled) {}

void CDPIRadioButton::SetStep(int step) {
    step_ = step;
    Invalidate();
}

void CDPIRadioButton::SetTextColour(Colour colour) {
    textColour_ = colour;
    Invalidate();
}

int CDPIRadioButton::Level() const {
    const int k = id_ - kDpiRadioFirstId;
    return k >= 0 && k < 8 ? k : -1;
}

bool CDPIRadioButton::IsSelected() const {
    const int k = Level();
    return k >= 0 && (DpiLevelMask() >> k & 1u) != 0;
}

int CDPIRadioButton::PictureIndex() const {
    return IsSelected() ? 2 : mouseState_;
}

void CDPIRadioButton::Draw(QPainter& dc, const Rect&) {
    const int index = PictureIndex();
    DrawPicture(dc, index == 0 ? normal_ : index == 1 ? hover_ : selected_);
    const Rect band{rect_.left, rect_.top, rect_.right, rect_.top + Scaled(11)};
    DrawSkinText(dc, band, QString::number(step_ * 50), font_, textColour_, kControlTextFormat | kDtCenter);
}

bool CDPIRadioButton::OnMouseMove(unsigned, int x, int y) {
    return ButtonMouseMove(x, y);
}

bool CDPIRadioButton::OnLButtonDown(unsigned, int x, int y) {
    return ButtonLButtonDown(x, y);
}

bool CDPIRadioButton::OnLButtonUp(unsigned, int x, int y) {
    return ButtonLButtonUp(
        x, y,
        [this] {
            const int k = Level();
            if (k >= 0) DpiLevelMask() = static_cast<std::uint8_t>((1u << (k + 1)) - 1u);
        },
        id_, 0);
}

void CDPIRadioButton::ReleaseImages() {
    normal_.Reset();
    hover_.Reset();
    selected_.Reset();
}

} // namespace tarvik
