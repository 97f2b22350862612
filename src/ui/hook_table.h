// SPDX-License-Identifier: GPL-2.0-or-later
// The entry points of the input hook library, bound by the main window and
// handed to the screens that record macros or capture keys. Any entry may be
// missing; the call helpers then do nothing. The table the main window binds
// makes its calls on a thread of their own (HookCalls), so that no window
// waits for the library.
#pragma once

#include <array>

#include "ui/hook_calls.h"
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
    // Where the calls run, in order; none: on the caller's thread.
    HookCalls* calls = nullptr;

    void InstallMouseHook() const { call(installmousehook); }
    void RemoveMouseHook() const { call(removemousehook); }
    void EnableMouseHook(int on) const { call(enablemousehook, on); }
    // The window is copied: it need not outlive the call.
    void InstallHook(const VantorelWindow& window) const {
        if (!installhook) return;
        if (!calls) {
            installhook(&window);
            return;
        }
        calls->post([fn = installhook, window] { fn(&window); });
    }
    void RemoveHook() const { call(removehook); }
    void EnableHook(int on) const { call(enablehook, on); }
    void MouseWheelEnable(int on) const { call(mousewheelenable, on); }
    // Returns once the calls asked for so far have been made.
    void Flush() const {
        if (calls) calls->flush();
    }

    int bound_count() const {
        return (installmousehook != nullptr) + (removemousehook != nullptr) + (enablemousehook != nullptr) +
               (installhook != nullptr) + (removehook != nullptr) + (enablehook != nullptr) +
               (mousewheelenable != nullptr);
    }

private:
    template <class Fn, class... Args>
    void call(Fn fn, Args... args) const {
        if (!fn) return;
        if (!calls) {
            fn(args...);
            return;
        }
        calls->post([fn, args...] { fn(args...); });
    }
};

inline constexpr std::array<const char*, 7> kHookEntryNames = {
    "installmousehook", "removemousehook", "enablemousehook", "installhook",
    "removehook", "enablehook", "mousewheelenable",
};

}  // namespace vantorel
