// SPDX-License-Identifier: GPL-2.0-or-later
// What the input hook library reports for an X11 key or button: the Windows
// virtual key the key types on the active layout (letters and digits by what
// they type, every other key by where it sits, left and right modifiers
// apart, the keypad as its digits), and the button messages. The key's
// place goes with it, so the program need not agree with this naming for
// the keys it stores by place. Kept free of X11 so it can be tested alone.
#pragma once

#include <cstdint>
#include <optional>

namespace hook {

// `keysym` is what the key types without modifiers on the active group;
// `evdev` the key's position (the X key code less 8).
std::uint32_t virtual_key(std::uint32_t keysym, std::uint32_t evdev);

struct ButtonMessage {
    std::uint32_t w = 0;  // 0x201.. as the hook event's wparam
    std::intptr_t l = 0;  // the side button's number
};
// X button 1 left, 2 middle, 3 right, 8 back, 9 forward; the wheel (4..7)
// and others give nothing.
std::optional<ButtonMessage> button_message(unsigned button, bool press);

}  // namespace hook
