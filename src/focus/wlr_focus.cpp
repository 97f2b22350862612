// SPDX-License-Identifier: GPL-2.0-or-later
#include "focus/wlr_focus.h"

#include <wayland-client.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/trace.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace vantorel {

namespace {

constexpr std::uint32_t kHighestVersion = 3;

}  // namespace

struct WlrFocusDetector::Toplevel {
    zwlr_foreign_toplevel_handle_v1* handle = nullptr;
    // What the last "done" made current, and what arrived since.
    std::string app_id, title;
    bool activated = false;
    std::string next_app_id, next_title;
    bool next_activated = false;
};

namespace {

using Toplevel = WlrFocusDetector::Toplevel;

void on_title(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
    static_cast<Toplevel*>(data)->next_title = title ? title : "";
}
void on_app_id(void* data, zwlr_foreign_toplevel_handle_v1*, const char* app_id) {
    static_cast<Toplevel*>(data)->next_app_id = app_id ? app_id : "";
}
void on_output(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void on_state(void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
    bool activated = false;
    const auto* state = static_cast<const std::uint32_t*>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i) {
        activated = activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
    }
    static_cast<Toplevel*>(data)->next_activated = activated;
}
void on_done(void* data, zwlr_foreign_toplevel_handle_v1*) {
    auto* t = static_cast<Toplevel*>(data);
    t->app_id = t->next_app_id;
    t->title = t->next_title;
    t->activated = t->next_activated;
}
void on_parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
void on_closed(void* data, zwlr_foreign_toplevel_handle_v1*);

const zwlr_foreign_toplevel_handle_v1_listener toplevel_listener = {
    on_title, on_app_id, on_output, on_output, on_state, on_done, on_closed, on_parent,
};

}  // namespace

namespace {

// The manager's user data is the detector's list of toplevels.
void on_toplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
    auto t = std::make_unique<Toplevel>();
    t->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &toplevel_listener, t.get());
    static_cast<std::vector<std::unique_ptr<Toplevel>>*>(data)->push_back(std::move(t));
}
void on_finished(void*, zwlr_foreign_toplevel_manager_v1*) {
    trace("focus: the compositor stopped telling its toplevels");
}
const zwlr_foreign_toplevel_manager_v1_listener manager_listener = {on_toplevel, on_finished};

struct Global {
    std::uint32_t name = 0;
    std::uint32_t version = 0;
};

void on_global(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
    if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
        *static_cast<Global*>(data) = {name, version};
    }
}
void on_global_remove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

void on_closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
    auto* t = static_cast<Toplevel*>(data);
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
    t->handle = nullptr;  // dropped from the list after this dispatch
    t->activated = false;
}

}  // namespace

WlrFocusDetector::WlrFocusDetector(Executor& executor, std::string display)
    : ConnectedFocusDetector(executor), display_(std::move(display)) {}

WlrFocusDetector::~WlrFocusDetector() { stop(); }

std::string WlrFocusDetector::description() const {
    return "following the focused window through the wlroots foreign-toplevel protocol";
}

bool WlrFocusDetector::connect() {
    if (connection_ && wl_display_get_error(connection_) == 0) return true;
    disconnect();
    if (display_.empty()) {
        why_ = "no Wayland display (WAYLAND_DISPLAY is not set)";
        return false;
    }
    connection_ = wl_display_connect(display_.c_str());
    if (!connection_) {
        why_ = "the Wayland display " + display_ + " could not be opened";
        return false;
    }
    Global global;
    registry_ = wl_display_get_registry(connection_);
    wl_registry_add_listener(registry_, &registry_listener, &global);
    if (wl_display_roundtrip(connection_) < 0) {
        why_ = "the Wayland display " + display_ + " closed the connection";
        disconnect();
        return false;
    }
    if (global.name == 0) {
        why_ = "the compositor does not offer the wlroots foreign-toplevel protocol (GNOME Shell and KWin do not)";
        disconnect();
        return false;
    }
    manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
        registry_, global.name, &zwlr_foreign_toplevel_manager_v1_interface, std::min(global.version, kHighestVersion)));
    zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &manager_listener, &toplevels_);
    why_.clear();
    return true;
}

void WlrFocusDetector::disconnect() {
    for (const auto& t : toplevels_) {
        if (t->handle) zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
    }
    toplevels_.clear();
    if (manager_) zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    manager_ = nullptr;
    if (registry_) wl_registry_destroy(registry_);
    registry_ = nullptr;
    if (connection_) wl_display_disconnect(connection_);
    connection_ = nullptr;
}

void WlrFocusDetector::run() {
    const int fd = wl_display_get_fd(connection_);
    for (;;) {
        if (wl_display_dispatch_pending(connection_) < 0) break;
        std::erase_if(toplevels_, [](const auto& t) { return t->handle == nullptr; });
        FocusReport focused;
        for (const auto& t : toplevels_) {
            if (!t->activated) continue;
            focused = {t->app_id, t->title, 0};
            break;
        }
        thread_.report(focused);
        if (wl_display_prepare_read(connection_) != 0) continue;  // more queued already
        // A full socket waits for the next round; nothing we send is urgent.
        wl_display_flush(connection_);
        if (!thread_.wait_readable(fd)) {
            wl_display_cancel_read(connection_);
            return;
        }
        if (wl_display_read_events(connection_) < 0) break;
    }
    trace("focus: the Wayland connection to %s broke", display_.c_str());
}

}  // namespace vantorel
