// SPDX-License-Identifier: GPL-2.0-or-later
// Follows the focused window on wlroots compositors (sway, Hyprland, river,
// labwc) through their foreign-toplevel protocol, on a Wayland connection of
// its own: the toplevel whose state holds "activated" is the focused one, its
// app_id and title make the report (the protocol names no process: pid 0).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/executor.h"
#include "core/focus_report.h"
#include "focus/focus_thread.h"

struct wl_display;
struct wl_registry;
struct zwlr_foreign_toplevel_manager_v1;

namespace vantorel {

class WlrFocusDetector : public ConnectedFocusDetector {
public:
    // `display` as in WAYLAND_DISPLAY ("wayland-1", or a path); empty: no
    // display to open.
    WlrFocusDetector(Executor& executor, std::string display);
    ~WlrFocusDetector() override;

    // Opens the display and binds the compositor's toplevel list; start()
    // does it when not done yet. False with why() when there is no display
    // or the compositor lacks the protocol (GNOME Shell, KWin).
    bool connect() override;

    std::string description() const override;

    // One window as the compositor last described it (body thread, after
    // connect()).
    struct Toplevel;

private:
    void run() override;
    void disconnect() override;

    std::string display_;
    wl_display* connection_ = nullptr;
    wl_registry* registry_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
    std::vector<std::unique_ptr<Toplevel>> toplevels_;
};

}  // namespace vantorel
