// SPDX-License-Identifier: GPL-2.0-or-later
// Follows the focused window on an X11 display (and the XWayland windows of a
// Wayland desktop): the window manager names the active window in
// _NET_ACTIVE_WINDOW on the root window; its WM_CLASS (class part), title
// (_NET_WM_NAME, else WM_NAME) and _NET_WM_PID make the report. A change of
// the active window, or of one of those properties on it, is reported.
#pragma once

#include <cstdint>
#include <string>

#include "core/executor.h"
#include "core/focus_report.h"
#include "focus/focus_thread.h"

struct xcb_connection_t;

namespace vantorel {

class X11FocusDetector : public ConnectedFocusDetector {
public:
    enum class Scope {
        AllWindows,
        // A Wayland desktop whose own windows cannot be followed: only its
        // XWayland windows are seen (the description says so).
        XWaylandOnly,
    };
    // `display` as in DISPLAY (":0"); empty: no display to open.
    X11FocusDetector(Executor& executor, std::string display, Scope scope = Scope::AllWindows);
    ~X11FocusDetector() override;

    // Opens the display and checks that the window manager sets
    // _NET_ACTIVE_WINDOW; start() does it when not done yet. False with
    // why() otherwise.
    bool connect() override;

    std::string description() const override;

private:
    void run() override;
    // Body thread: reads the active window's report and watches that window.
    FocusReport read_focused();
    void disconnect() override;

    std::string display_;
    Scope scope_;
    ::xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    std::uint32_t watched_ = 0;  // the active window whose properties we follow
    struct Atoms {
        std::uint32_t active_window = 0;
        std::uint32_t supported = 0;
        std::uint32_t net_wm_name = 0;
        std::uint32_t net_wm_pid = 0;
        std::uint32_t utf8_string = 0;
    } atoms_;
};

}  // namespace vantorel
