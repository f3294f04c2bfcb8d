// The skin manifest: every picture file the program reads below its program
// folder, with its design size, and the pictures built into the program. The
// artwork generator draws exactly these, the artwork test checks them, and the
// names the program spells out are checked against this list when compiled
// (SkinName in skin/Skin.h). Plain C++, so the generator can use it too.
#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

namespace tarvik {

// A file below the program folder: its name as the program spells it ("\\"
// separated; a ".bmp" is a background bitmap without alpha) and its design size.
struct SkinFileEntry {
    std::string_view name;
    int width;
    int height;
};

inline constexpr SkinFileEntry kSkinFiles[] = {
    {"skins\\1000hz_dn.png", 72, 72},
    {"skins\\1000hz_nr.png", 72, 72},
    {"skins\\125hz_dn.png", 72, 72},
    {"skins\\125hz_nr.png", 72, 72},
    {"skins\\250hz_dn.png", 72, 72},
    {"skins\\250hz_nr.png", 72, 72},
    {"skins\\500hz_dn.png", 72, 72},
    {"skins\\500hz_nr.png", 72, 72},
    {"skins\\add_nr.png", 20, 20},
    {"skins\\add_ov.png", 20, 20},
    {"skins\\battery_charging.png", 30, 61},
    {"skins\\battery_empty.png", 30, 61},
    {"skins\\battery_full.png", 30, 61},
    {"skins\\battery_green.png", 8, 8},
    {"skins\\battery_lighting.png", 30, 61},
    {"skins\\battery_orange.png", 8, 8},
    {"skins\\battery_red.png", 8, 8},
    {"skins\\button1_nr.png", 230, 25},
    {"skins\\button1_ov.png", 230, 25},
    {"skins\\button2_nr.png", 69, 20},
    {"skins\\button2_ov.png", 69, 20},
    {"skins\\button4_nr.png", 215, 45},
    {"skins\\check_button_dpi_dn.png", 11, 11},
    {"skins\\check_button_dpi_nr.png", 11, 11},
    {"skins\\check_button_dpi_ov.png", 11, 11},
    {"skins\\check_dn.png", 15, 15},
    {"skins\\check_nr.png", 15, 15},
    {"skins\\check_ov.png", 15, 15},
    {"skins\\color_select_check.png", 21, 20},
    {"skins\\color_select_nr.png", 21, 20},
    {"skins\\combo2_nr.png", 162, 21},
    {"skins\\combo2_ov.png", 162, 21},
    {"skins\\combo3_nr.png", 189, 25},
    {"skins\\combo3_ov.png", 189, 25},
    {"skins\\down_check.png", 29, 18},
    {"skins\\down_nr.png", 29, 18},
    {"skins\\down_ov.png", 29, 18},
    {"skins\\dpi_value.png", 26, 11},
    {"skins\\exit_nr.png", 15, 15},
    {"skins\\exit_ov.png", 15, 15},
    {"skins\\foldr_close.png", 16, 16},
    {"skins\\foldr_open.png", 16, 16},
    {"skins\\header2_nr.png", 230, 25},
    {"skins\\header2_ov.png", 230, 25},
    {"skins\\header_nr.png", 262, 25},
    {"skins\\header_ov.png", 262, 25},
    {"skins\\macro_down.png", 14, 14},
    {"skins\\macro_record_dn.png", 90, 18},
    {"skins\\macro_record_nr.png", 90, 18},
    {"skins\\macro_time.png", 14, 14},
    {"skins\\macro_up.png", 14, 14},
    {"skins\\menu_nr.png", 160, 22},
    {"skins\\menu_ov.png", 160, 22},
    {"skins\\menusub_nr.png", 160, 22},
    {"skins\\menusub_ov.png", 160, 22},
    {"skins\\min_nr.png", 15, 15},
    {"skins\\min_ov.png", 15, 15},
    {"skins\\mouse\\dpi_bar_1.png", 7, 132},
    {"skins\\mouse\\dpi_bar_2.png", 7, 132},
    {"skins\\mouse\\mouse_nr.png", 215, 398},
    {"skins\\mouse\\number1.png", 24, 24},
    {"skins\\mouse\\number2.png", 24, 24},
    {"skins\\mouse\\number3.png", 24, 24},
    {"skins\\mouse\\number4.png", 24, 24},
    {"skins\\mouse\\number5.png", 24, 24},
    {"skins\\mouse\\number6.png", 24, 24},
    {"skins\\mouse\\number7.png", 24, 24},
    {"skins\\mouse\\number8.png", 24, 24},
    {"skins\\mouse\\number9.png", 24, 24},
    {"skins\\mouse\\serial_number1.png", 21, 19},
    {"skins\\mouse\\serial_number2.png", 21, 19},
    {"skins\\mouse\\serial_number3.png", 21, 19},
    {"skins\\mouse\\serial_number4.png", 21, 19},
    {"skins\\mouse\\serial_number5.png", 21, 19},
    {"skins\\mouse\\serial_number6.png", 21, 19},
    {"skins\\mouse\\serial_number7.png", 21, 19},
    {"skins\\mouse\\serial_number8.png", 21, 19},
    {"skins\\mouse\\serial_number9.png", 21, 19},
    {"skins\\power_manage_3min.png", 140, 84},
    {"skins\\power_manage_4min.png", 140, 84},
    {"skins\\power_manage_5min.png", 140, 84},
    {"skins\\power_manage_6min.png", 140, 84},
    {"skins\\power_manage_7min.png", 140, 84},
    {"skins\\power_manage_8min.png", 140, 84},
    {"skins\\power_manage_9min.png", 140, 84},
    {"skins\\power_manage_10min.png", 140, 84},
    {"skins\\profile_slot_nr.png", 230, 25},
    {"skins\\profile_slot_nr2.png", 230, 25},
    {"skins\\profile_slot_ov.png", 230, 25},
    {"skins\\profile_slot_ov2.png", 230, 25},
    {"skins\\radio_dn.png", 15, 15},
    {"skins\\radio_nr.png", 15, 15},
    {"skins\\radio_ov.png", 15, 15},
    {"skins\\up_check.png", 29, 18},
    {"skins\\up_nr.png", 29, 18},
    {"skins\\up_ov.png", 29, 18},
    {"skins\\Frame_common.bmp", 429, 140},
    {"skins\\Frame_warning.bmp", 319, 102},
    {"skins\\Frame_DPI.bmp", 429, 140},
    {"skins\\Frame_Macro_Manager.bmp", 528, 365},
    {"skins\\Frame_Lighting_Setting.bmp", 230, 82},
    {"skins\\Frame_progress_nr.bmp", 429, 140},
    {"skins\\Frame_progress_ov.bmp", 429, 140},
    {"skins\\Slider_bar.png", 145, 3},
    {"skins\\Slider_Circle.png", 13, 13},
};

// A picture built into the program: its resource type ("PNG" or "BITMAP"), its
// number and its size.
struct EmbeddedPictureEntry {
    std::string_view type;
    int number;
    int width;
    int height;
};

inline constexpr EmbeddedPictureEntry kEmbeddedPictures[] = {
    {"BITMAP", 364, 1127, 740}, // the main window's background
    {"BITMAP", 287, 500, 291},  // the colour chart
    {"PNG", 188, 54, 18},       // the scroll bar's top arrow strip (three frames)
    {"PNG", 187, 54, 18},       // the scroll bar's bottom arrow strip
};

// The index in kSkinFiles of a file name ("\\" or "/" separated), -1 when it is
// not in the manifest. (An index, not a pointer: GCC's sanitizer builds cannot
// compare pointers in a constant expression.)
constexpr int SkinFileIndex(std::string_view name) {
    for (std::size_t n = 0; n < std::size(kSkinFiles); ++n) {
        const std::string_view listed = kSkinFiles[n].name;
        if (listed.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = listed[i] == name[i] || (listed[i] == '\\' && name[i] == '/');
        if (same) return static_cast<int>(n);
    }
    return -1;
}

} // namespace tarvik
