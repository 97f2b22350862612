// SPDX-License-Identifier: GPL-2.0-or-later
#include "macro/qt_virtual_keys.h"

namespace vantorel {
namespace {

// X11 and Wayland report the evdev key code plus 8.
constexpr quint32 kXkbOffset = 8;

}  // namespace

std::uint32_t VirtualKeyOfQtKey(int key, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 0x41 + static_cast<std::uint32_t>(key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return (keypad ? 0x60 : 0x30) + static_cast<std::uint32_t>(key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + static_cast<std::uint32_t>(key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace: return 0x08;
        case Qt::Key_Tab: case Qt::Key_Backtab: return 0x09;
        case Qt::Key_Return: case Qt::Key_Enter: return 0x0D;
        case Qt::Key_Shift: return 0xA0;
        case Qt::Key_Control: return 0xA2;
        case Qt::Key_Alt: return 0xA4;
        case Qt::Key_AltGr: return 0xA5;
        case Qt::Key_Meta: case Qt::Key_Super_L: return 0x5B;
        case Qt::Key_Super_R: return 0x5C;
        case Qt::Key_Pause: return 0x13;
        case Qt::Key_CapsLock: return 0x14;
        case Qt::Key_Escape: return 0x1B;
        case Qt::Key_Space: return 0x20;
        case Qt::Key_PageUp: return 0x21;
        case Qt::Key_PageDown: return 0x22;
        case Qt::Key_End: return 0x23;
        case Qt::Key_Home: return 0x24;
        case Qt::Key_Left: return 0x25;
        case Qt::Key_Up: return 0x26;
        case Qt::Key_Right: return 0x27;
        case Qt::Key_Down: return 0x28;
        case Qt::Key_Print: return 0x2C;
        case Qt::Key_Insert: return 0x2D;
        case Qt::Key_Delete: return 0x2E;
        case Qt::Key_Menu: return 0x5D;
        case Qt::Key_NumLock: return 0x90;
        case Qt::Key_ScrollLock: return 0x91;
        case Qt::Key_Asterisk: return keypad ? 0x6A : 0;
        case Qt::Key_Plus: return keypad ? 0x6B : 0xBB;
        case Qt::Key_Minus: return keypad ? 0x6D : 0xBD;
        case Qt::Key_Period: return keypad ? 0x6E : 0xBE;
        case Qt::Key_Slash: return keypad ? 0x6F : 0xBF;
        case Qt::Key_Equal: return 0xBB;
        case Qt::Key_Comma: return 0xBC;
        case Qt::Key_Semicolon: return 0xBA;
        case Qt::Key_Apostrophe: return 0xDE;
        case Qt::Key_QuoteLeft: return 0xC0;
        case Qt::Key_BracketLeft: return 0xDB;
        case Qt::Key_BracketRight: return 0xDD;
        case Qt::Key_Backslash: return 0xDC;
        default: return 0;
    }
}

MouseButton MouseButtonOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton: return MouseButton::Left;
        case Qt::RightButton: return MouseButton::Right;
        case Qt::MiddleButton: return MouseButton::Middle;
        case Qt::BackButton: return MouseButton::Back;
        case Qt::ForwardButton: return MouseButton::Forward;
        default: return MouseButton::None;
    }
}

std::uint32_t VirtualKeyOf(const QKeyEvent& event, const KeyboardLayout& layout) {
    const quint32 native = event.nativeScanCode();
    if (native > kXkbOffset) {
        if (const std::uint32_t vk = layout.virtual_key_at(native - kXkbOffset)) return vk;
    }
    return VirtualKeyOfQtKey(event.key(), event.modifiers());
}

}  // namespace vantorel
