// SPDX-License-Identifier: GPL-2.0-or-later
// Limits of a macro's action list: how many actions it may hold, what its
// delays may be, and what the list costs on the mouse.
#pragma once

#include <cstdint>
#include <span>

#include "core/macro_action.h"

namespace vantorel {

// A delay the user types is kept within 1..25000 ms; an interval measured
// while recording is capped at 25000 ms.
inline constexpr std::uint16_t kMinActionDelay = 1;
inline constexpr std::uint16_t kMaxActionDelay = 25000;
// A freshly recorded or inserted action waits this long until the next
// event (or the user) gives it its real delay.
inline constexpr std::uint16_t kPlaceholderDelay = 10;

// kMaxMacroActions (160, the size of every stored action array) comes from
// core/macro_action.h; an operation that would go beyond it does nothing.
static_assert(kMaxMacroActions == 160);

// Device budget: an action costs one unit, or two when its delay is
// kLongDelayThreshold or longer (the encoding gives such a delay four bytes). Recording stops once the list costs
// kRecordUnitBudget; the editor refuses to keep a list that costs
// kEditUnitLimit or more.
inline constexpr std::uint16_t kLongDelayThreshold = 128;
inline constexpr int kRecordUnitBudget = 160;
inline constexpr int kEditUnitLimit = 162;

// Key codes 0xF1..0xF5 stand for the five mouse buttons.
inline constexpr std::uint8_t kMouseLeft = 0xF1;
inline constexpr std::uint8_t kMouseRight = 0xF2;
inline constexpr std::uint8_t kMouseMiddle = 0xF3;
inline constexpr std::uint8_t kMouseBackward = 0xF4;
inline constexpr std::uint8_t kMouseForward = 0xF5;

constexpr bool is_mouse_code(std::uint8_t code) {
    return static_cast<unsigned>(code) - kMouseLeft <= 4u;
}

constexpr int action_units(const MacroAction& a) { return a.delay >= kLongDelayThreshold ? 2 : 1; }

// MacroUnitCount: the device cost of the first `count` actions. A count
// outside 0..actions.size() is held to that range, so a damaged stored
// count never reads past the list.
int macro_unit_count(std::span<const MacroAction> actions, int count);

// The delay for a value the user typed, held to 1..25000.
constexpr std::uint16_t clamp_typed_delay(std::int64_t ms) {
    if (ms < kMinActionDelay) return kMinActionDelay;
    if (ms > kMaxActionDelay) return kMaxActionDelay;
    return static_cast<std::uint16_t>(ms);
}

// The delay for a measured interval between two recorded events.
constexpr std::uint16_t cap_recorded_delay(std::uint64_t ms) {
    return ms > kMaxActionDelay ? kMaxActionDelay : static_cast<std::uint16_t>(ms);
}

}  // namespace vantorel
