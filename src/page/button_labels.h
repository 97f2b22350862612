// SPDX-License-Identifier: GPL-2.0-or-later
// What the 18 button controls of the page show for a slot: the language key
// of its function, a key combination, or the name of its macro.
#pragma once

#include <QString>

#include <cstdint>
#include <string_view>

#include "core/profile_record.h"
#include "core/text_lookup.h"
#include "macro/keyboard_layout.h"

namespace vantorel::page {

// The language key of a function code's label; empty for a code without one
// (16 and 17 show a key combination and a macro name instead).
std::string_view FunctionLabelKey(std::uint8_t code);

struct ButtonLabel {
    enum class Kind { Key, Text };
    Kind kind = Kind::Text;
    QString value;  // the language key (Key) or the literal text (Text)
    bool operator==(const ButtonLabel&) const = default;
};

// The label of a slot:
//  - a function with a label key shows that key;
//  - a key combination shows the texts of its modifiers (Ctrl, Shift, Alt,
//    Win, each followed by "+") and then the key's name;
//  - a macro shows the text of "assign_macro_text" followed by its name;
//  - any other code shows nothing.
ButtonLabel ButtonLabelFor(ConstSlotRef slot, const KeyboardLayout& layout, const TextLookup& texts);

}  // namespace vantorel::page
