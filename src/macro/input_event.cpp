// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/input_event.h"

#include "macro/key_tables.h"

namespace vantorel {

InputEvent key_input(std::uint32_t virtual_key, bool released, const KeyboardLayout& layout) {
    const KeyUsage usage = virtual_key_to_usage(virtual_key, layout);
    return InputEvent::key(usage.found ? usage.key_code : std::uint8_t{0}, released);
}

InputEvent hook_input(std::uint32_t w, std::intptr_t l, const KeyboardLayout& layout) {
    switch (w) {
        case 0x201: return InputEvent::mouse(MouseButton::Left, false);
        case 0x202: return InputEvent::mouse(MouseButton::Left, true);
        case 0x204: return InputEvent::mouse(MouseButton::Right, false);
        case 0x205: return InputEvent::mouse(MouseButton::Right, true);
        case 0x207: return InputEvent::mouse(MouseButton::Middle, false);
        case 0x208: return InputEvent::mouse(MouseButton::Middle, true);
        case 0x20A:
        case 0x20E: return InputEvent::wheel(static_cast<std::int32_t>(l));
        case 0x20B:
        case 0x20C:
            if (l == 2) return InputEvent::mouse(MouseButton::Back, w == 0x20C);
            if (l == 1) return InputEvent::mouse(MouseButton::Forward, w == 0x20C);
            break;  // no side button named: taken as a key, which it is not
        default: break;
    }
    return key_input(w, l != 0, layout);
}

}  // namespace vantorel
