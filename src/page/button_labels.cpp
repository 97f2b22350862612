// SPDX-License-Identifier: GPL-2.0-or-later
#include "page/button_labels.h"

#include <array>
#include <utility>

#include "macro/key_tables.h"

namespace vantorel::page {

namespace {

struct LabelKey {
    std::uint8_t code;
    std::string_view key;
};

constexpr auto kLabelKeys = std::to_array<LabelKey>({
    {0, "button_off_text"},        {1, "left_click_text"},        {2, "right_click_text"},
    {3, "wheel_click_text"},       {4, "forward_text"},           {5, "backward_text"},
    {6, "dpi_cycle_text"},         {7, "dpi_up_text"},            {8, "dpi_down_text"},
    {9, "double_click_text"},      {10, "fire_button_text"},      {11, "scroll_up_text"},
    {12, "scroll_down_text"},      {13, "titl_left_text"},        {14, "titl_right_text"},
    {22, "easy_aim_text"},         {23, "led_loop_text"},         {32, "cut_text"},
    {33, "copy_text"},             {34, "paste_text"},            {35, "open_text"},
    {36, "save_text"},             {37, "find_text"},             {38, "redo_text"},
    {39, "undo_text"},             {40, "select_all_text"},       {41, "print_text"},
    {42, "close_window_text"},     {43, "swap_windows_text"},     {44, "show_desktop_text"},
    {45, "run_command_text"},      {46, "lock_pc_text"},          {50, "screen_capture_text"},
    {51, "task_view_text"},        {54, "profile_cycle_text"},    {55, "profile_up_text"},
    {56, "profile_down_text"},     {64, "media_player_text"},     {65, "play_pause_text"},
    {66, "media_stop_text"},       {67, "previous_track_text"},   {68, "next_track_text"},
    {69, "volume_up_text"},        {70, "volume_down_text"},      {71, "mute_text"},
    {80, "browser_home_text"},     {81, "browser_favorites_text"}, {82, "browser_forward_text"},
    {83, "browser_backward_text"}, {84, "browser_stop_text"},     {85, "browser_refresh_text"},
    {86, "browser_search_text"},   {87, "email_text"},            {88, "calculator_text"},
    {89, "my_computer_text"},
});

QString text_of(const TextLookup& texts, std::string_view key) {
    const std::u16string t = texts.text(key);
    return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size()));
}

}  // namespace

std::string_view FunctionLabelKey(std::uint8_t code) {
    for (const LabelKey& k : kLabelKeys) {
        if (k.code == code) return k.key;
    }
    return {};
}

ButtonLabel ButtonLabelFor(ConstSlotRef slot, const KeyboardLayout& layout, const TextLookup& texts) {
    const std::uint8_t code = slot.function_code();
    if (code == kFunctionShortcut) {
        static constexpr std::array<std::pair<std::uint8_t, std::string_view>, 4> kModifiers = {{
            {0x01, "keyboard_ctrl_text"},
            {0x02, "keyboard_shift_text"},
            {0x04, "keyboard_alt_text"},
            {0x08, "keyboard_win_text"},
        }};
        QString text;
        for (const auto& [bit, key] : kModifiers) {
            if (slot.shortcut_modifiers() & bit) text += text_of(texts, key) + QLatin1Char('+');
        }
        const std::u16string name = usage_to_key_name(slot.shortcut_key(), layout, texts);
        text += QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()));
        return {ButtonLabel::Kind::Text, text};
    }
    if (code == kFunctionMacro) {
        const std::u16string name = slot.macro_name();
        return {ButtonLabel::Kind::Text,
                text_of(texts, "assign_macro_text") + QString::fromUtf16(name.data(), static_cast<qsizetype>(name.size()))};
    }
    const std::string_view key = FunctionLabelKey(code);
    if (key.empty()) return {ButtonLabel::Kind::Text, QString()};
    return {ButtonLabel::Kind::Key, QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()))};
}

}  // namespace vantorel::page
