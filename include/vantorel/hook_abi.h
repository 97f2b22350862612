// SPDX-License-Identifier: GPL-2.0-or-later
/* Entry points of the input hook library ("Hook": libHook.so), looked up by
 * these names when the application loads it. Each may be missing; the
 * application then skips the call. Results are ignored (return 0).
 *
 * installhook gets the window that is to receive the events as
 * VANTOREL_WM_HOOK_EVENT messages: wparam a Windows virtual-key code and
 * lparam 0 pressed / nonzero released, or wparam 0x201/0x202 (left button
 * down/up), 0x204/0x205 (right), 0x207/0x208 (middle), 0x20B/0x20C (side
 * button, lparam 1 or 2). The library copies the structure.
 */
#ifndef VANTOREL_HOOK_ABI_H
#define VANTOREL_HOOK_ABI_H

#include "vantorel/plugin_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VANTOREL_WM_HOOK_EVENT 1034
/* Posted just before each VANTOREL_WM_HOOK_EVENT: wparam the event's time
 * stamp in milliseconds (32 bits, wrapping), for measuring the intervals
 * between events; lparam, for a key, the key's place on the keyboard as its
 * Linux evdev key code (the X key code less 8), else 0. A receiver may
 * ignore it. */
#define VANTOREL_WM_HOOK_TIME 1035
/* Posted once after each installhook, when the library knows whether it can
 * watch: wparam 1 when events will flow, 0 when they cannot (no display to
 * open, no RECORD extension). A receiver that gets 0 must find its input
 * elsewhere. */
#define VANTOREL_WM_HOOK_STATUS 1036

typedef int (*vantorel_installmousehook_fn)(void);
typedef int (*vantorel_removemousehook_fn)(void);
typedef int (*vantorel_enablemousehook_fn)(int enable);
typedef int (*vantorel_installhook_fn)(const VantorelWindow* window);
typedef int (*vantorel_removehook_fn)(void);
typedef int (*vantorel_enablehook_fn)(int enable);
typedef int (*vantorel_mousewheelenable_fn)(int enable);

#ifdef __cplusplus
}
#endif

#endif /* VANTOREL_HOOK_ABI_H */
