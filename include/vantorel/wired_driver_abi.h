// SPDX-License-Identifier: GPL-2.0-or-later
/* The wired driver library: the seven entry points the application looks up
 * in "libhiddriver_2.so" and the call contract they follow.
 *
 *  - Set_VIDPID names the wired mouse; it is called once, before
 *    Open_DevMonitor.
 *  - Open_DevMonitor starts watching for the mouse. The library copies the
 *    window it is given and posts through it: attach / detach as
 *    `attach_message` with wparam 1 / 0, and device events as `event_message`
 *    with the event word (marker 0x27 in the low byte, the event code in the
 *    high byte) in wparam and the value word in the low 16 bits of lparam.
 *    `event_message` with wparam 0x7F00 and lparam 1 / 2 also means attach /
 *    detach. Nothing is posted after Close_DevMonitor has returned.
 *  - Open_FeatureDevice returns nonzero when the wired mouse is reachable and
 *    its feature collection is open; Close_FeatureDevice closes it (and is
 *    harmless when nothing is open).
 *  - SetFeature writes one feature report (byte 0 is the report id) and
 *    returns nonzero on success; it may be called from a thread other than
 *    the one that opened the device.
 *  - GetFeature reads a feature report into `data` (byte 0 names the report
 *    id) and returns the number of bytes read, or 0.
 */
#ifndef VANTOREL_WIRED_DRIVER_ABI_H
#define VANTOREL_WIRED_DRIVER_ABI_H

#include "vantorel/plugin_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* File name of the library, looked up only in the application's own folder
 * and in the installed plugin folder. */
#define VANTOREL_WIRED_DRIVER_FILE "libhiddriver_2.so"

VANTOREL_EXPORT void Set_VIDPID(int vid, int pid);
VANTOREL_EXPORT void Open_DevMonitor(const VantorelWindow* window, int event_message, int attach_message);
VANTOREL_EXPORT void Close_DevMonitor(void);
VANTOREL_EXPORT int Open_FeatureDevice(void);
VANTOREL_EXPORT void Close_FeatureDevice(void);
VANTOREL_EXPORT int SetFeature(const unsigned char* data, int length);
VANTOREL_EXPORT int GetFeature(unsigned char* data, int length);

/* The same entry points as the application binds them. */
typedef void (*VantorelSetVidPidFn)(int vid, int pid);
typedef void (*VantorelOpenDevMonitorFn)(const VantorelWindow* window, int event_message, int attach_message);
typedef void (*VantorelCloseDevMonitorFn)(void);
typedef int (*VantorelOpenFeatureDeviceFn)(void);
typedef void (*VantorelCloseFeatureDeviceFn)(void);
typedef int (*VantorelSetFeatureFn)(const unsigned char* data, int length);
typedef int (*VantorelGetFeatureFn)(unsigned char* data, int length);

#ifdef __cplusplus
}
#endif

#endif /* VANTOREL_WIRED_DRIVER_ABI_H */
