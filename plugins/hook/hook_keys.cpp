// SPDX-License-Identifier: GPL-2.0-or-later
#include "hook_keys.h"

#include "macro/keyboard_layout.h"

namespace hook {

std::uint32_t virtual_key(std::uint32_t keysym, std::uint32_t evdev) {
    // Latin letters and digits are named by what they type (XK_a..XK_z,
    // XK_A..XK_Z and XK_0..XK_9 are their ASCII codes).
    if (keysym >= 'a' && keysym <= 'z') return 0x41 + (keysym - 'a');
    if (keysym >= 'A' && keysym <= 'Z') return 0x41 + (keysym - 'A');
    if (keysym >= '0' && keysym <= '9') return keysym;
    // The keypad, and the keys whose scan code has an extended prefix
    // (evdev numbers them on their own).
    switch (evdev) {
        // The keypad is named as its keys, whatever Num Lock makes them
        // type: the key stored is the key pressed, and the computer that
        // gets it reads it by its own Num Lock.
        case 71: return 0x67;
        case 72: return 0x68;
        case 73: return 0x69;
        case 75: return 0x64;
        case 76: return 0x65;
        case 77: return 0x66;
        case 79: return 0x61;
        case 80: return 0x62;
        case 81: return 0x63;
        case 82: return 0x60;
        case 83: return 0x6E;   // keypad decimal
        case 96: return 0x6C;   // keypad Enter, as the separator key the key table gives it
        case 97: return 0xA3;   // right Ctrl
        case 98: return 0x6F;   // keypad /
        case 99: return 0x2C;   // Print Screen
        case 100: return 0xA5;  // right Alt (AltGr)
        case 102: return 0x24;  // Home
        case 103: return 0x26;  // Up
        case 104: return 0x21;  // Page Up
        case 105: return 0x25;  // Left
        case 106: return 0x27;  // Right
        case 107: return 0x23;  // End
        case 108: return 0x28;  // Down
        case 109: return 0x22;  // Page Down
        case 110: return 0x2D;  // Insert
        case 111: return 0x2E;  // Delete
        case 119: return 0x13;  // Pause
        case 125: return 0x5B;  // left Super
        case 126: return 0x5C;  // right Super
        case 127: return 0x5D;  // Menu
        default: break;
    }
    // Everything else by position, as the US layout names the keys there
    // (modifiers, function keys, the keypad, punctuation).
    static const vantorel::UsKeyboardLayout us;
    return us.virtual_key_at(evdev);
}

std::optional<ButtonMessage> button_message(unsigned button, bool press) {
    switch (button) {
        case 1: return ButtonMessage{press ? 0x201u : 0x202u, 0};
        case 2: return ButtonMessage{press ? 0x207u : 0x208u, 0};
        case 3: return ButtonMessage{press ? 0x204u : 0x205u, 0};
        case 8: return ButtonMessage{press ? 0x20Bu : 0x20Cu, 2};
        case 9: return ButtonMessage{press ? 0x20Bu : 0x20Cu, 1};
        default: return std::nullopt;
    }
}

}  // namespace hook
