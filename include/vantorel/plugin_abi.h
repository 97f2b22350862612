// SPDX-License-Identifier: GPL-2.0-or-later
/* The C boundary between the application and the libraries it loads at run
 * time (the wired driver library and the input hook library).
 *
 * Where the libraries were once handed a native window, they are handed a
 * VantorelWindow: an opaque target and a function that posts a message to
 * it. The post function is thread-safe and never blocks; the application
 * handles the message later on its UI thread. A library must not call it
 * after the application has closed the library's monitor or hook.
 */
#ifndef VANTOREL_PLUGIN_ABI_H
#define VANTOREL_PLUGIN_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VANTOREL_PLUGIN_ABI_VERSION 1

typedef struct VantorelWindow {
    void* target;
    /* Returns nonzero when the message was queued. */
    int (*post)(void* target, uint32_t message, uintptr_t wparam, intptr_t lparam);
} VantorelWindow;

#if defined(__GNUC__)
#define VANTOREL_EXPORT __attribute__((visibility("default")))
#else
#define VANTOREL_EXPORT
#endif

#ifdef __cplusplus
}
#endif

#endif /* VANTOREL_PLUGIN_ABI_H */
