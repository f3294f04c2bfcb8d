// The main window's layout and its small rules, as data and plain functions:
// command ids, the right column of collapsible panels (where each header sits,
// which panels an opening closes), the rows each lighting effect shows, the
// DPI level checks, and the support word of the keyboard filter. The window
// walks these; the tests check them without a window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "model/Lighting.h"
#include "model/ProfileRules.h"

namespace tarvik::mainwnd {

// ---- command ids of the main window's controls
enum : int {
    // Not kIdClose: inside the window's members that name is the base dialog's 2004.
    kIdWindowClose = 2001,
    kIdWindowMinimise = 2002,
    kIdFirstCombo = 2013, // 2013-2018: the key-function combos of buttons 1-6
    kIdLastCombo = 2018,
    kIdFactoryReset = 2045,
    kIdMacroManager = 2062,
    kIdHeaderDpi = 3001,
    kIdHeaderLighting = 3002,
    kIdHeaderPointer = 3003,
    kIdHeaderPolling = 3004,
    kIdHeaderLiftOff = 3011,
    kIdTitleButtons = 3008, // the left column's title bars
    kIdTitleBattery = 3007,
    kIdTitlePower = 3010,
    kIdVersion = 3021,
    kIdFirstRate = 3030, // 3030-3033: 125, 250, 500, 1000 Hz
    kIdLightingCombo = 3120,
    kIdFirstRateCaption = 3142, // 3142-3145
    kIdColoursLabel = 3161,
    kIdBrightnessLabel = 3162,
    kIdSpeedLabel = 3163,
    kIdDirectionLabel = 3164,
    kIdFirstColourSlot = 3180, // 3180-3187
    kIdSpeedBar = 3190,
    kIdBrightnessBar = 3191,
    kIdSpeedSlider = 3200,
    kIdSpeedValue = 3210,
    kIdBrightnessSlider = 3220,
    kIdBrightnessValue = 3230,
    kIdDirectionUp = 3240,
    kIdDirectionDown = 3250,
    kIdFirstLevelCheck = 3260,  // 3260-3264
    kIdFirstLevelColour = 3270, // 3270-3274
    kIdFirstLevelButton = 3290, // 3290-3294 (the DPI level buttons 3290-3297)
    kIdFirstLevelValue = 3300,  // 3300-3304
    kIdMouseSettings = 3330,
    kIdMousePicture = 3400, // also the six button numbers beside the combos
    kIdBatteryLegendPicture = 3401,
    kIdBatteryLegendText = 3402,
    kIdBatteryText = 3405,
    kIdBattery = 3406,
    kIdPowerLabel = 3407,
    kIdPowerDial = 3500,
    kIdLightOnMove = 3501,
    kIdProfileButton = 3502,
    kIdMotionWakeup = 3504,
    kIdLiftLow = 3510,
    kIdLiftHigh = 3511,
    kIdLiftLowText = 3520,
    kIdLiftHighText = 3521,
};

// ---- messages of the pop-ups and dialogs the window opens
enum : int {
    kMsgComboButton = 1028,    // the key-function combos' combo message
    kMsgFunctionChosen = 1027, // function menu selection
    kMsgFunctionClosed = 1029,
    kMsgOtherItemHot = 1033,
    kMsgOpenShortcut = 1034,
    kMsgShortcutReleased = 1035,
    kMsgShortcutResult = 1036,
    kMsgOpenFireKey = 1061,
    kMsgFireKeyReleased = 1062,
    kMsgFireKeyResult = 1063,
    kMsgOpenMacroSelect = 1064,
    kMsgMacroReleased = 1065,
    kMsgMacroSelectResult = 1066,
    kMsgOsd = 1067,
    kMsgProfileChosen = 1125,
    kMsgProfileListClosed = 1126,
    kMsgLightingCombo = 1144,
    kMsgLightingChosen = 1145,
    kMsgLightingClosed = 1146,
    kMsgProfileCommand = 1164,
    kMsgProfileCommandClosed = 1165,
    kMsgBringUp = 2999,
};

// ---- the window's own delayed actions: task numbers on the session's scheduler
// (apart from the device side's and the save's, which come below 200)
enum : int {
    kTimerFirstColourSlot = 201, // 201-208: a click on colour slot id - 201
    kTimerLeftButtonNotice = 220,
    kTimerProfileOperation = 260,
    kTimerStartupNotice = 280,
};
inline constexpr int kColourSlotClickMs = 150;
inline constexpr int kLeftButtonNoticeMs = 100;
inline constexpr int kProfileOperationMs = 100;
inline constexpr int kStartupNoticeMs = 2000;

inline constexpr int kWindowWidth = 1127;
inline constexpr int kWindowHeight = 740;

// ---- the right column
enum class Panel : int { Dpi, Lighting, Polling, LiftOff, Pointer };
inline constexpr int kPanelCount = 5;

struct PanelRow {
    Panel panel;
    int group;      // control group of the panel's body
    int headerId;   // its header check button
    int caption;    // language string of the header
    int openHeight; // height of the open body
    bool openAtStart;
};
// In column order, top to bottom.
inline constexpr std::array<PanelRow, kPanelCount> kPanels = {{
    {Panel::Dpi, 1, kIdHeaderDpi, 11, 196, true},
    {Panel::Lighting, 2, kIdHeaderLighting, 12, 180, true},
    {Panel::Polling, 4, kIdHeaderPolling, 13, 180, false},
    {Panel::LiftOff, 5, kIdHeaderLiftOff, 19, 85, false},
    {Panel::Pointer, 3, kIdHeaderPointer, 14, 110, false},
}};
const PanelRow* PanelOfHeader(int headerId);

inline constexpr int kColumnX = 846;
inline constexpr int kColumnWidth = 262;
inline constexpr int kHeaderHeight = 25;

// Which panels are open (their headers checked).
struct PanelState {
    std::array<bool, kPanelCount> open{};
    bool operator[](Panel p) const { return open[static_cast<std::size_t>(p)]; }
    bool& operator[](Panel p) { return open[static_cast<std::size_t>(p)]; }
    friend bool operator==(const PanelState&, const PanelState&) = default;
};
PanelState StartPanels();

struct PanelPlace {
    bool shown = true; // the header is shown (the lift-off panel only with the sensor page)
    int headerTop = 0; // design y of the header
    int bodyTop = 0;   // design y of the body origin (header + 25)
    bool bodyOpen = false;
};
// Where each header and body sits for the open panels; the lift-off panel
// exists only while the sensor has its page.
std::array<PanelPlace, kPanelCount> ColumnLayout(const PanelState& state, bool sensorPage);

// A header was just checked: the panel it opens stays open together with the
// first other open panel in column order, and every other panel closes, so
// the column fits the window.
PanelState AfterOpening(Panel opened, PanelState state);

// ---- the lighting panel: its rows per effect are in model/Lighting.h

// The colour selection rule (ColourRuleFor, MayDeselect) is in model/Lighting.h.

// ---- the DPI levels panel (levels 0-4 of the eight a profile holds)
inline constexpr int kShownLevels = 5;
// A level check's rule (AfterLevelCheck) is in model/ProfileRules.h.

// ---- pictures on the mouse
struct NumberPlace {
    int x, y;
};
// Where the number picture of button n (1-6) is drawn.
inline constexpr std::array<NumberPlace, 6> kNumberPlaces = {
    {{495, 231}, {608, 231}, {553, 251}, {467, 321}, {471, 370}, {553, 343}}};

// ---- keyboard filter
// A fixed word typed twice in a row opens the support notice. Keys are
// compared as virtual-key codes (letters 'A'-'Z').
inline constexpr std::array<std::uint8_t, 5> kSupportWord = {'A', 'B', 'O', 'U', 'T'};
class SupportWordFilter {
public:
    // A key-down: true when it completed the word twice (the count starts again).
    bool KeyDown(int virtualKey);
    // Enter and Escape start over.
    void Reset() { count_ = 0; }
    int Count() const { return count_; }

private:
    int count_ = 0;
};

} // namespace tarvik::mainwnd
