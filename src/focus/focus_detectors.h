// SPDX-License-Identifier: GPL-2.0-or-later
// Picks the focus detector for the desktop session the program runs in.
#pragma once

#include <memory>
#include <string>

#include "core/executor.h"
#include "core/focus_report.h"

namespace vantorel {

// What the environment says of the session.
struct FocusSession {
    std::string session_type;     // XDG_SESSION_TYPE: "wayland", "x11", "tty", ...
    std::string wayland_display;  // WAYLAND_DISPLAY
    std::string x11_display;      // DISPLAY
    std::string desktop;          // XDG_CURRENT_DESKTOP, e.g. "KDE" or "ubuntu:GNOME"
    static FocusSession from_environment();
    bool wayland() const;
    // True when `name` is one of the colon-separated desktop names (letter
    // case aside).
    bool desktop_is(std::string_view name) const;
};

// A detector that follows nothing: start() is false and why() says why.
class NoFocusDetector : public FocusDetector {
public:
    explicit NoFocusDetector(std::string why) : why_(std::move(why)) {}
    std::string description() const override { return "not following the focused window"; }
    bool start(Listener) override { return false; }
    void stop() override {}
    std::string why() const override { return why_; }

private:
    std::string why_;
};

// The detector for `session`, already connected where it could connect: a
// Wayland session is followed through the wlroots protocol when the
// compositor has it, else its XWayland windows through X11 (the description
// says so); an X11 session through X11; otherwise a NoFocusDetector names
// what each candidate lacked. Executor thread.
std::unique_ptr<FocusDetector> make_focus_detector(Executor& executor, const FocusSession& session);
std::unique_ptr<FocusDetector> make_focus_detector(Executor& executor);

}  // namespace vantorel
