// SPDX-License-Identifier: GPL-2.0-or-later
// The entry points of the input hook library, bound by the main window and
// handed to the screens that record macros or capture keys. Any entry may be
// missing; the call helpers then do nothing.
#pragma once

#include <array>

#include "vantorel/hook_abi.h"

namespace vantorel {

struct HookTable {
    // In this order; kHookEntryNames names them.
    vantorel_installmousehook_fn installmousehook = nullptr;
    vantorel_removemousehook_fn removemousehook = nullptr;
    vantorel_enablemousehook_fn enablemousehook = nullptr;
    vantorel_installhook_fn installhook = nullptr;
    vantorel_removehook_fn removehook = nullptr;
    vantorel_enablehook_fn enablehook = nullptr;
    vantorel_mousewheelenable_fn mousewheelenable = nullptr;

    void InstallMouseHook() const { if (installmousehook) installmousehook(); }
    void RemoveMouseHook() const { if (removemousehook) removemousehook(); }
    void EnableMouseHook(int on) const { if (enablemousehook) enablemousehook(on); }
    void InstallHook(const VantorelWindow& window) const { if (installhook) installhook(&window); }
    void RemoveHook() const { if (removehook) removehook(); }
    void EnableHook(int on) const { if (enablehook) enablehook(on); }
    void MouseWheelEnable(int on) const { if (mousewheelenable) mousewheelenable(on); }

    int bound_count() const {
        return (installmousehook != nullptr) + (removemousehook != nullptr) + (enablemousehook != nullptr) +
               (installhook != nullptr) + (removehook != nullptr) + (enablehook != nullptr) +
               (mousewheelenable != nullptr);
    }
};

inline constexpr std::array<const char*, 7> kHookEntryNames = {
    "installmousehook", "removemousehook", "enablemousehook", "installhook",
    "removehook", "enablehook", "mousewheelenable",
};

}  // namespace vantorel
