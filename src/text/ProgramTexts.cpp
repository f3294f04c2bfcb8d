#include "text/ProgramTexts.h"

#include <array>
#include <utility>

namespace tarvik {

namespace {

constexpr std::pair<ProgramText, std::u16string_view> kTexts[] = {
    {ProgramText::NoMouseSettings, u"No mouse settings of this desktop were found."},
    {ProgramText::ProfileNotImported, u"The profile was not imported: %1"},
    {ProgramText::ProfilesNotSaved, u"The profiles could not be saved: %1"},
    {ProgramText::MacroTooLong, u"Button %1 off: %2 of at most %3 steps."},
    {ProgramText::SupportLine, u"Tarvik %1 - support: see README.md"},
    {ProgramText::WaylandKeyCapture, u"Under Wayland only keys typed into this window can be recorded."},
    {ProgramText::NoXDisplay, u"There is no X display (DISPLAY is not set)."},
    {ProgramText::XDisplayNotOpened, u"The X display %1 cannot be opened."},
    {ProgramText::NoXInput, u"The X server has no XInput 2.1."},
    {ProgramText::NoX11Support, u"This build of Tarvik has no X11 input support."},
    {ProgramText::MacroTooLongToChoose, u"%1 steps: the mouse holds at most %2."},
    {ProgramText::StepsOverMouseLimit, u"%1/%2 steps"},
    {ProgramText::NoFreeEntry, u"No room: a list holds 60 entries."},
    {ProgramText::MacroFileDamaged, u"The file is damaged at line %1."},
    {ProgramText::MacroFileNotRead, u"The file could not be read."},
    {ProgramText::ShowWindow, u"Show Window"},
};

constexpr bool InOrder() {
    for (std::size_t i = 0; i < std::size(kTexts); ++i)
        if (static_cast<std::size_t>(kTexts[i].first) != i) return false;
    return true;
}
static_assert(InOrder(), "the rows follow the enumeration");

} // namespace

std::u16string_view ProgramTextString(ProgramText id) {
    const auto i = static_cast<std::size_t>(id);
    return i < std::size(kTexts) ? kTexts[i].second : std::u16string_view();
}

} // namespace tarvik
