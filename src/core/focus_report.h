// SPDX-License-Identifier: GPL-2.0-or-later
// Which application has the focus, as a desktop reports it, and the
// interface of the detectors that follow it (X11, KWin, wlroots, GNOME
// Shell). Profiles bound to applications switch on these reports.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vantorel {

struct FocusReport {
    // The Wayland app_id, or on X11 the class part of WM_CLASS; empty when the
    // desktop did not say.
    std::string app_id;
    std::string title;
    // The process that owns the window; 0 when unknown.
    std::uint32_t pid = 0;
    bool operator==(const FocusReport&) const = default;
};

// Follows the focused window on one kind of desktop.
class FocusDetector {
public:
    using Listener = std::function<void(const FocusReport&)>;
    virtual ~FocusDetector() = default;
    // What the page and the command line say of it, e.g. "following the
    // focused window through KWin".
    virtual std::string description() const = 0;
    // Starts following: `focused` is called on the executor's thread the
    // detector was made with, once for the window focused now (when there is
    // one) and again at every change. False when this desktop offers nothing
    // to follow (no display, no protocol); why() then says why.
    virtual bool start(Listener focused) = 0;
    // Stops; no call of the listener after it returns. Idempotent.
    virtual void stop() = 0;
    virtual std::string why() const { return {}; }
};

}  // namespace vantorel
