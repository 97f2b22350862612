// SPDX-License-Identifier: GPL-2.0-or-later
// Message and timer ids of the main window. Every thread talks to the window
// through these: the UI thread handles each message in order.
#pragma once

#include <cstdint>

namespace vantorel {

enum WindowMessage : std::uint32_t {
    kMsgTrayIcon = 1025,        // tray icon mouse events
    kMsgMenuCommand = 1027,     // tray menu and button-function menu commands
    kMsgHookEvent = 1034,       // input hook: key or button captured
    kMsgHookTime = 1035,        // input hook: time stamp (ms) of the event that follows
    kMsgWakeInstance = 1037,    // a second start asks the first to show itself
    kMsgLinkChanged = 1128,     // link presence changed
    kMsgDpiPopup = 1129,        // show the DPI popup; lparam = DPI stage value
    kMsgWiredEvent = 1539,      // wired driver: device event, or 0x7F00 with 1/2
    kMsgWiredAttach = 1540,     // wired driver: wparam 1 attached, 0 detached
    kMsgApplyRequest = 1541,    // apply request, forwarded to the apply worker
    // Our own: events decoded off the UI thread, carried to it before dispatch.
    kMsgWirelessEvent = 1542,   // 2.4 GHz event: wparam event word, lparam value word
    kMsgBleEvent = 1543,        // Bluetooth LE event: wparam event word, lparam value word
    kMsgDeviceArrival = 1544,   // device manager: a matching device arrived
    kMsgDeviceRemoval = 1545,   // device manager: a matching device left
    kMsgSaveFailed = 1546,      // saving the profile library failed; the apply engine has the message
    kMsgApplyFinished = 1547,   // an apply ended; the page shows what the mouse did not take
};

// Thread message of the apply worker's own queue.
inline constexpr std::uint32_t kThreadMsgApply = 1536;

enum WindowTimer : int {
    kTimerDpiPopup = 52,        // DPI popup closes 2000 ms after the last DPI event
    kTimerReceiverArrival = 54, // receiver re-enumeration 1000 ms after its last arrival
    kTimerWirelessWatchdog = 512,  // 2.4 GHz presence watchdog, 6000 ms
    kTimerDelayedApply = 513,   // delayed apply request
    kTimerScrollSettings = 514, // scroll the settings column after a section opens
    kTimerCharging = 515,       // charging animation, every 30 ms
    kTimerBleDiscovery = 516,   // Bluetooth LE discovery 2000 ms after the link comes up
    // Our own: the wired mouse is given 1000 ms to settle after it attaches
    // before its feature device is opened (one-shot).
    kTimerWiredAttach = 517,
};

}  // namespace vantorel
