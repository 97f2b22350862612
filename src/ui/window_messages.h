// SPDX-License-Identifier: GPL-2.0-or-later
// Message and timer ids of the main window's own plumbing: the tray, the
// menus, the input hook library (whose C interface speaks these numbers),
// the single-instance wake-up, the DPI popup and the settings column. The
// mouse, its links and its applies do not travel as numbered messages.
#pragma once

#include <cstdint>

namespace vantorel {

enum WindowMessage : std::uint32_t {
    kMsgTrayIcon = 1025,        // tray icon mouse events
    kMsgMenuCommand = 1027,     // tray menu and button-function menu commands
    kMsgHookEvent = 1034,       // input hook: key or button captured
    kMsgHookTime = 1035,        // input hook: time stamp (ms) of the event that follows
    kMsgHookStatus = 1036,      // input hook: whether it can watch (wparam 1) or not (0)
    kMsgWakeInstance = 1037,    // a second start asks the first to show itself
};

enum WindowTimer : int {
    kTimerDpiPopup = 52,        // DPI popup closes 2000 ms after the last DPI event
    kTimerScrollSettings = 514, // scroll the settings column after a section opens
};

}  // namespace vantorel
