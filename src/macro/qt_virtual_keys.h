// SPDX-License-Identifier: GPL-2.0-or-later
// Keys typed into our own windows, as the Windows virtual keys the key tables
// work with, and mouse buttons as macro recording names them. Where the
// desktop tells the physical key (its scan code), the user's layout names
// the virtual key at that position, left and right modifiers apart;
// otherwise the key Qt reports is translated directly.
#pragma once

#include <QKeyEvent>

#include <cstdint>

#include "macro/input_event.h"
#include "macro/keyboard_layout.h"

namespace vantorel {

// 0 when the key has no virtual key.
std::uint32_t VirtualKeyOf(const QKeyEvent& event, const KeyboardLayout& layout);
std::uint32_t VirtualKeyOfQtKey(int qt_key, Qt::KeyboardModifiers modifiers);
// None for a button a macro cannot hold.
MouseButton MouseButtonOf(Qt::MouseButton button);

}  // namespace vantorel
