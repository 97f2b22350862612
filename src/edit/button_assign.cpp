// SPDX-License-Identifier: GPL-2.0-or-later
#include "edit/button_assign.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "edit/function_codes.h"
#include "core/text.h"

namespace vantorel::page {

bool KeepsLeftClick(const ProfileRecord& record, int index, std::uint8_t code) {
    for (int k = 0; k < kLeftClickGuardButtons; ++k) {
        const std::uint8_t c = k == index ? code : record.slot(k).function_code();
        if (c == kFunctionClick) return true;
    }
    return false;
}

void PrepareShortcut(SlotRef slot) {
    if (slot.function_code() == kFunctionShortcut) return;
    std::fill_n(slot.bytes().data() + slot_layout::kShortcutKey, 4, Byte{0});
}

bool StoreShortcut(SlotRef slot, std::uint8_t key, std::uint8_t modifiers) {
    slot.set_shortcut_key(key);
    slot.set_shortcut_modifiers(static_cast<std::uint8_t>(modifiers & 0x0F));
    if (key == 0 && (modifiers & 0x0F) == 0) return false;
    slot.set_function_code(kFunctionShortcut);
    return true;
}

namespace {

void copy_macro(SlotRef slot, const MacroRecord& macro) {
    slot.set_macro_action_count(static_cast<std::uint16_t>(macro.action_count() & 0xFFFF));
    std::memcpy(slot.bytes().data() + slot_layout::kMacroActions, macro.action_bytes().data(),
                macro.action_bytes().size());
}

}  // namespace

bool AssignMacro(SlotRef slot, const MacroLibrary& macros, int index, std::int32_t play_mode,
                 std::int32_t repeat_count) {
    if (index < 0 || static_cast<std::size_t>(index) >= macros.size()) return false;
    const MacroRecord& macro = macros[static_cast<std::size_t>(index)];
    slot.set_macro_play_mode(play_mode);
    slot.set_macro_repeat_count(repeat_count);
    slot.set_macro_library_index(index);
    slot.set_macro_name(macro.name());
    copy_macro(slot, macro);
    slot.set_function_code(kFunctionMacro);
    return true;
}

int CarryMacroRename(ProfileLibrary& profiles, std::u16string_view old_name, std::u16string_view new_name) {
    if (old_name.empty()) return 0;
    int changed = 0;
    for (std::size_t p = 0; p < profiles.size(); ++p) {
        for (int k = 0; k < kMenuButtons; ++k) {
            SlotRef slot = profiles[p].slot(k);
            if (!equals_ignore_case(slot.macro_name(), old_name)) continue;
            std::fill_n(slot.bytes().data() + slot_layout::kMacroName, 2 * slot_layout::kMacroNameUnits, Byte{0});
            slot.set_macro_name(new_name);
            ++changed;
        }
    }
    return changed;
}

std::vector<MacroUse> ButtonsPlaying(const ProfileLibrary& profiles, std::u16string_view name) {
    std::vector<MacroUse> uses;
    for (std::size_t p = 0; p < profiles.size(); ++p) {
        for (int k = 0; k < kMenuButtons; ++k) {
            ConstSlotRef slot = profiles[p].slot(k);
            if (slot.function_code() == kFunctionMacro && equals_ignore_case(slot.macro_name(), name))
                uses.push_back({p, k});
        }
    }
    return uses;
}

ResyncResult ResyncMacroCopies(ProfileLibrary& profiles, const MacroLibrary& macros, std::size_t current) {
    ResyncResult result;
    for (std::size_t p = 0; p < profiles.size(); ++p) {
        ProfileRecord& record = profiles[p];
        const auto before = std::make_unique<ProfileRecord>(record);
        for (int k = 0; k < kMenuButtons; ++k) {
            SlotRef slot = record.slot(k);
            const std::u16string name = slot.macro_name();
            if (slot.function_code() != kFunctionMacro && name.empty()) continue;
            if (p == current) result.current_involved = true;
            const MacroRecord* found = nullptr;
            std::size_t at = 0;
            for (std::size_t i = 0; i < macros.size() && !found; ++i) {
                if (!equals_ignore_case(macros[i].name(), name)) continue;
                found = &macros[i];
                at = i;
            }
            if (!found) {
                // The macro is gone: the button goes back to what it does out
                // of the box.
                std::fill(slot.bytes().begin(), slot.bytes().end(), Byte{0});
                slot.set_function_code(kDefaultButtonFunctions[static_cast<std::size_t>(k)]);
                slot.set_macro_library_index(-1);
                continue;
            }
            std::fill_n(slot.bytes().data() + slot_layout::kMacroName, 2 * slot_layout::kMacroNameUnits, Byte{0});
            slot.set_macro_name(found->name());
            copy_macro(slot, *found);
            // A macro deleted above it moved it up: the selection dialog
            // shows the one the button plays.
            slot.set_macro_library_index(static_cast<std::int32_t>(at));
        }
        if (!(record == *before)) result.any_changed = true;
    }
    return result;
}

}  // namespace vantorel::page
