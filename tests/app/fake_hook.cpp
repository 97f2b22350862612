// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for the input hook library with four of the seven entry
// points, so the binding can be checked entry by entry. The test reads what
// was called through fake_hook_calls, makes the library report an event
// through fake_hook_fire, and decides with fake_hook_set_watching what
// installhook says of its watch.
#include <cstring>
#include <thread>

#include "vantorel/hook_abi.h"

namespace {
int g_calls[4];  // installhook, removehook, enablehook, removemousehook
int g_last_enable = -1;
VantorelWindow g_window;
bool g_installed = false;
int g_watching = 1;
std::thread::id g_install_thread;
}  // namespace

extern "C" {

VANTOREL_EXPORT int installhook(const VantorelWindow* window) {
    ++g_calls[0];
    g_install_thread = std::this_thread::get_id();
    g_window = *window;
    g_installed = true;
    g_window.post(g_window.target, VANTOREL_WM_HOOK_STATUS, static_cast<uintptr_t>(g_watching), 0);
    return 1;
}
VANTOREL_EXPORT int removehook(void) {
    ++g_calls[1];
    g_installed = false;
    return 1;
}
VANTOREL_EXPORT int enablehook(int on) {
    ++g_calls[2];
    g_last_enable = on;
    return 1;
}
VANTOREL_EXPORT int removemousehook(void) {
    ++g_calls[3];
    return 1;
}

VANTOREL_EXPORT void fake_hook_calls(int* out, int* last_enable) {
    std::memcpy(out, g_calls, sizeof g_calls);
    *last_enable = g_last_enable;
}
// 1 when the last installhook ran on the calling thread.
VANTOREL_EXPORT int fake_hook_installed_here(void) { return g_install_thread == std::this_thread::get_id() ? 1 : 0; }
VANTOREL_EXPORT void fake_hook_set_watching(int watching) { g_watching = watching; }
VANTOREL_EXPORT int fake_hook_fire(uintptr_t wparam, intptr_t lparam) {
    if (!g_installed) return 0;
    return g_window.post(g_window.target, VANTOREL_WM_HOOK_EVENT, wparam, lparam);
}
}
