// SPDX-License-Identifier: GPL-2.0-or-later
// How buttons, keys and macros are typed on the command line: the button
// functions in lower case with dashes, key names, key combinations such as
// "ctrl+shift+a", and the small text format of a macro, one action a line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/macro_action.h"

namespace vantorel::cli {

// A function of the button menu as typed: the page's English text in lower
// case with dashes ("left-click", "dpi-up", "rapid-fire", "disabled").
struct FunctionWord {
    std::string_view word;
    std::uint8_t code;
};
// Every function the menu offers except the key combination and the macro,
// which have their own spelling, in menu order.
const std::vector<FunctionWord>& function_words();
// The code of a word, or of an older spelling ("off", "fire", "fire_button").
std::optional<std::uint8_t> function_code_of_word(std::string_view word);
// The word of a code, or an empty view when no word names it.
std::string_view function_word(std::uint8_t code);

// Key names: "a".."z", "0".."9", "f1".."f12", "enter", "space", "left",
// "kp-1", "left-ctrl", "mouse-left", ... (lower case). nullopt when the name
// is not one of the key table.
std::optional<std::uint8_t> key_code_of_name(std::string_view name);
// The name of a key code, or "0xNN" for a code without one.
std::string key_name(std::uint8_t code);

// A key combination: modifiers ctrl, shift, alt, win (bits 0..3) and at
// most one key, joined with "+", in any letter case. nullopt, with what is
// wrong in *error, for anything else.
struct Shortcut {
    std::uint8_t key = 0;
    std::uint8_t modifiers = 0;
};
std::optional<Shortcut> parse_shortcut(std::string_view text, std::string* error);
std::string shortcut_text(std::uint8_t key, std::uint8_t modifiers);

// "1 action", "2 actions": a count with its noun in the number it needs.
std::string counted(std::size_t count, std::string_view noun);

// The macro text format: one action a line, "press KEY DELAY" or
// "release KEY DELAY", KEY a key name or a code "0xNN", the delay in
// milliseconds after the action (0..25000). Blank lines and lines starting with '#' are skipped. The list
// may hold at most 160 actions and must cost the mouse fewer than 162 units
// (an action with a delay of 128 ms or more costs two). nullopt, with the line
// number and what is wrong in *error, otherwise.
std::optional<std::vector<MacroAction>> parse_macro_text(std::string_view text, std::string* error);
// The text of an action list in the same format, which reads back to the
// same list (an action kind other than press is written as release, as the
// screens show it).
std::string macro_text(const std::vector<MacroAction>& actions);

}  // namespace vantorel::cli
