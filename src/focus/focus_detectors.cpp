// SPDX-License-Identifier: GPL-2.0-or-later
#include "focus/focus_detectors.h"

#include <cstdlib>
#include <vector>

#include "focus/wlr_focus.h"
#include "focus/x11_focus.h"

namespace vantorel {

namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool same_letters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace

FocusSession FocusSession::from_environment() {
    return {env("XDG_SESSION_TYPE"), env("WAYLAND_DISPLAY"), env("DISPLAY"), env("XDG_CURRENT_DESKTOP")};
}

bool FocusSession::wayland() const {
    if (same_letters(session_type, "wayland")) return true;
    if (same_letters(session_type, "x11")) return false;
    return !wayland_display.empty();
}

bool FocusSession::desktop_is(std::string_view name) const {
    std::string_view rest = desktop;
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        if (same_letters(rest.substr(0, colon), name)) return true;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return false;
}

std::unique_ptr<FocusDetector> make_focus_detector(Executor& executor, const FocusSession& session) {
    std::vector<std::string> lacks;
    const auto none = [&lacks] {
        std::string why;
        for (const std::string& reason : lacks) why += (why.empty() ? "" : "; ") + reason;
        return std::make_unique<NoFocusDetector>(why);
    };
    if (session.wayland()) {
        // KWin (desktop "KDE") and GNOME Shell ("GNOME") have detectors of
        // their own, to be tried here first; both lack the wlroots protocol.
        auto wlr = std::make_unique<WlrFocusDetector>(executor, session.wayland_display);
        if (wlr->connect()) return wlr;
        lacks.push_back(wlr->why());
        if (!session.x11_display.empty()) {
            auto x11 = std::make_unique<X11FocusDetector>(executor, session.x11_display,
                                                          X11FocusDetector::Scope::XWaylandOnly);
            if (x11->connect()) return x11;
            lacks.push_back(x11->why());
        }
        return none();
    }
    if (!session.x11_display.empty()) {
        auto x11 = std::make_unique<X11FocusDetector>(executor, session.x11_display);
        if (x11->connect()) return x11;
        lacks.push_back(x11->why());
        return none();
    }
    lacks.push_back("no graphical session (neither WAYLAND_DISPLAY nor DISPLAY is set)");
    return none();
}

std::unique_ptr<FocusDetector> make_focus_detector(Executor& executor) {
    return make_focus_detector(executor, FocusSession::from_environment());
}

}  // namespace vantorel
