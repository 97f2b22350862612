// SPDX-License-Identifier: GPL-2.0-or-later
// Button functions: the code stored in a slot's function_code and the name of
// the button-menu item that selects it. The names double as language keys.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/profile_record.h"

namespace vantorel {

struct FunctionName {
    std::uint8_t code;
    std::string_view menu_item;
};

inline constexpr std::array<FunctionName, 52> kFunctionNames = {{
    {0, "ms_1_button_off"},     {1, "ms_1_click"},           {2, "ms_1_menu"},
    {3, "ms_1_scroll"},         {4, "ms_1_forward"},         {5, "ms_1_backward"},
    {6, "ms_1_dpi_cycle"},      {7, "ms_1_dpi_up"},          {8, "ms_1_dpi_down"},
    {9, "ms_1_double_click"},   {10, "ms_1_fire_button"},    {11, "ms_1_scroll_up"},
    {12, "ms_1_scroll_down"},   {13, "ms_1_titl_left"},      {14, "ms_1_titl_right"},
    {16, "ms_1_shortcut"},      {17, "ms_1_select_macro"},   {22, "ms_1_easy_aim"},
    {23, "ms_1_led_loop"},      {32, "ms_1_cut"},            {33, "ms_1_copy"},
    {34, "ms_1_paste"},         {35, "ms_1_open"},           {36, "ms_1_save"},
    {37, "ms_1_find"},          {38, "ms_1_redo"},           {40, "ms_1_select_all"},
    {41, "ms_1_print"},         {42, "ms_1_close_window"},   {43, "ms_1_swap_windows"},
    {44, "ms_1_show_desktop"},  {45, "ms_1_run_command"},    {46, "ms_1_lock_pc"},
    {50, "ms_1_screen_capture"}, {64, "ms_1_media_player"},  {65, "ms_1_play_pause"},
    {66, "ms_1_media_stop"},    {67, "ms_1_pre_track"},      {68, "ms_1_next_track"},
    {69, "ms_1_volume_up"},     {70, "ms_1_volume_down"},    {71, "ms_1_mute"},
    {80, "ms_1_browser_home"},  {81, "ms_1_browser_favorites"}, {82, "ms_1_browser_forward"},
    {83, "ms_1_browser_backward"}, {84, "ms_1_browser_stop"}, {85, "ms_1_browser_refresh"},
    {86, "ms_1_browser_search"}, {87, "ms_1_email"},         {88, "ms_1_calculator"},
    {89, "ms_1_my_computer"},
}};

// The menu item of a code, or an empty view for a code no menu item selects.
constexpr std::string_view function_menu_item(std::uint8_t code) {
    for (const FunctionName& f : kFunctionNames)
        if (f.code == code) return f.menu_item;
    return {};
}

// The code a menu item selects, the name compared without regard to case;
// an unknown item selects click (1).
constexpr std::uint8_t function_code_of(std::string_view menu_item) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (const FunctionName& f : kFunctionNames) {
        if (f.menu_item.size() != menu_item.size()) continue;
        bool same = true;
        for (std::size_t i = 0; same && i < menu_item.size(); ++i) same = lower(f.menu_item[i]) == lower(menu_item[i]);
        if (same) return f.code;
    }
    return 1;
}

// What each of the 18 buttons does out of the box.
inline constexpr const auto& kDefaultButtonFunctions = kDefaultFunctionCodes;

}  // namespace vantorel
