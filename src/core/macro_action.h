// SPDX-License-Identifier: GPL-2.0-or-later
// MacroAction: one timed key or mouse-button action, four bytes in every
// record and file that holds actions: key code, action kind, delay (u16 LE).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"

namespace vantorel {

inline constexpr std::size_t kMacroActionSize = 4;
inline constexpr std::size_t kMaxMacroActions = 160;

enum : std::uint8_t { kActionPress = 1, kActionRelease = 2 };

struct MacroAction {
    std::uint8_t key_code = 0;
    std::uint8_t action_kind = 0;  // 1 press, 2 release; screens treat other values as release
    std::uint16_t delay = 0;       // milliseconds after this action

    bool operator==(const MacroAction&) const = default;

    static MacroAction decode(const Byte* p) { return {p[0], p[1], load_u16(p + 2)}; }
    void encode(Byte* p) const {
        p[0] = key_code;
        p[1] = action_kind;
        store_u16(p + 2, delay);
    }
    std::uint32_t word() const {
        return key_code | (static_cast<std::uint32_t>(action_kind) << 8) | (static_cast<std::uint32_t>(delay) << 16);
    }
};

}  // namespace vantorel
