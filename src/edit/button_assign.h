// SPDX-License-Identifier: GPL-2.0-or-later
// What choosing a function for a button writes into its slot, and the walk
// that brings the macro copies of every profile in line with the macro
// library after the macro editor changed it. No Qt: the page shows the
// menus and dialogs, these functions change the records.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/profile_record.h"
#include "library/macro_library.h"
#include "library/profile_library.h"

namespace vantorel::page {

// Buttons whose function can be chosen from a menu (1..12); 13..18 only
// show their function.
inline constexpr int kMenuButtons = 12;
// Buttons among which one must keep the left click (1..16).
inline constexpr int kLeftClickGuardButtons = 16;

// False when giving button `index` (0-based) the function `code` would leave
// none of buttons 1..16 with the left click.
bool KeepsLeftClick(const ProfileRecord& record, int index, std::uint8_t code);

// Before the key-combination dialog opens: a slot that is not a key
// combination yet has its key and the three bytes after it cleared.
void PrepareShortcut(SlotRef slot);
// The dialog's answer. The key and modifiers are stored either way; the
// slot becomes a key combination (and true is returned) only when one of
// them is set, otherwise it keeps its function.
bool StoreShortcut(SlotRef slot, std::uint8_t key, std::uint8_t modifiers);

// The macro dialog's answer: library macro `index` with its play mode and
// repeat count. False (and nothing changed) when the index names no macro.
bool AssignMacro(SlotRef slot, const MacroLibrary& macros, int index, std::int32_t play_mode,
                 std::int32_t repeat_count);

// A macro renamed in the library: every slot of buttons 1..12 in every
// profile that plays it under its old name (in any letter case) takes the
// new one, so that the resynchronisation after it finds the macro again.
// Returns how many slots changed.
int CarryMacroRename(ProfileLibrary& profiles, std::u16string_view old_name, std::u16string_view new_name);

// The buttons (1..12) that play the macro of that name, profile by profile.
struct MacroUse {
    std::size_t profile = 0;
    int button = 0;  // 0-based
};
std::vector<MacroUse> ButtonsPlaying(const ProfileLibrary& profiles, std::u16string_view name);

// After the macro editor changed the library: every slot of buttons 1..12 in
// every profile that plays a macro or names one takes the library's copy of
// that macro (actions, count, name and where the library now holds it), or,
// when the library no longer has it, is cleared back to its button's
// default function.
struct ResyncResult {
    bool any_changed = false;      // some profile's bytes changed: save the library
    bool current_involved = false; // the current profile had a slot that took part
};
ResyncResult ResyncMacroCopies(ProfileLibrary& profiles, const MacroLibrary& macros, std::size_t current);

}  // namespace vantorel::page
