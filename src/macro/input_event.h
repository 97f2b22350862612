// SPDX-License-Identifier: GPL-2.0-or-later
// One key, mouse button or wheel event as macro recording takes it, in this
// program's own terms: a key by the mouse's key code, a button by which it
// is. Whatever reported the event (our windows, the input hook) translates
// it into this form where it arrives.
#pragma once

#include <cstdint>

#include "macro/keyboard_layout.h"

namespace vantorel {

enum class InputKind : std::uint8_t { KeyPress, KeyRelease, ButtonPress, ButtonRelease, Wheel };
enum class MouseButton : std::uint8_t { None, Left, Right, Middle, Back, Forward };

struct InputEvent {
    InputKind kind = InputKind::KeyPress;
    std::uint8_t key_code = 0;  // keys: 0 for a key outside the key table
    MouseButton button = MouseButton::None;
    std::int32_t wheel_delta = 0;

    static constexpr InputEvent key(std::uint8_t code, bool released) {
        return {released ? InputKind::KeyRelease : InputKind::KeyPress, code, MouseButton::None, 0};
    }
    static constexpr InputEvent mouse(MouseButton which, bool released) {
        return {released ? InputKind::ButtonRelease : InputKind::ButtonPress, 0, which, 0};
    }
    static constexpr InputEvent wheel(std::int32_t delta) { return {InputKind::Wheel, 0, MouseButton::None, delta}; }

    bool is_key() const { return kind == InputKind::KeyPress || kind == InputKind::KeyRelease; }
    bool released() const { return kind == InputKind::KeyRelease || kind == InputKind::ButtonRelease; }
    friend bool operator==(const InputEvent&, const InputEvent&) = default;
};

// A key given as a virtual key (what our windows and the hook name keys by),
// stored by where it sits on the user's layout.
InputEvent key_input(std::uint32_t virtual_key, bool released, const KeyboardLayout& layout);

// The input hook's event: a mouse message (button down/up, side buttons told
// apart by `l`, the wheel) or a virtual key with `l` the release flag.
InputEvent hook_input(std::uint32_t w, std::intptr_t l, const KeyboardLayout& layout);

}  // namespace vantorel
