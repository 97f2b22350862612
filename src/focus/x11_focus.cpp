// SPDX-License-Identifier: GPL-2.0-or-later
#include "focus/x11_focus.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "core/trace.h"

namespace vantorel {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeDeleter>;

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// A property's value; null when the window is gone or has no such property.
PropertyReply property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom) {
    // 64 KiB is more than any class, title or atom list needs.
    PropertyReply reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 16384), nullptr));
    if (reply && reply->type == XCB_ATOM_NONE) reply.reset();
    return reply;
}

std::string_view bytes(const PropertyReply& reply) {
    if (!reply || reply->format != 8) return {};
    return {static_cast<const char*>(xcb_get_property_value(reply.get())),
            static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
}

// The first 32-bit value, 0 when there is none.
std::uint32_t cardinal(const PropertyReply& reply) {
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return 0;
    std::uint32_t value;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

// WM_CLASS holds "instance\0class\0"; the class part names the application.
std::string class_part(std::string_view wm_class) {
    const auto end = wm_class.find('\0');
    if (end == std::string_view::npos) return {};
    wm_class.remove_prefix(end + 1);
    return std::string(wm_class.substr(0, wm_class.find('\0')));
}

// WM_NAME of type STRING is Latin-1.
std::string latin1_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void watch(xcb_connection_t* c, xcb_window_t window, std::uint32_t mask) {
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
}

}  // namespace

X11FocusDetector::X11FocusDetector(Executor& executor, std::string display, Scope scope)
    : ConnectedFocusDetector(executor), display_(std::move(display)), scope_(scope) {}

X11FocusDetector::~X11FocusDetector() { stop(); }

std::string X11FocusDetector::description() const {
    if (scope_ == Scope::XWaylandOnly) {
        return "following the focused window through X11 (XWayland windows only: this Wayland desktop offers no way "
               "to follow its own windows)";
    }
    return "following the focused window through X11";
}

bool X11FocusDetector::connect() {
    if (connection_ && !xcb_connection_has_error(connection_)) return true;
    disconnect();
    if (display_.empty()) {
        why_ = "no X11 display (DISPLAY is not set)";
        return false;
    }
    int screen_number = 0;
    connection_ = xcb_connect(display_.c_str(), &screen_number);
    if (xcb_connection_has_error(connection_)) {
        why_ = "the X11 display " + display_ + " could not be opened";
        disconnect();
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen_number && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem <= 0) {
        why_ = "the X11 display " + display_ + " has no such screen";
        disconnect();
        return false;
    }
    root_ = screens.data->root;
    atoms_.active_window = intern(connection_, "_NET_ACTIVE_WINDOW");
    atoms_.supported = intern(connection_, "_NET_SUPPORTED");
    atoms_.net_wm_name = intern(connection_, "_NET_WM_NAME");
    atoms_.net_wm_pid = intern(connection_, "_NET_WM_PID");
    atoms_.utf8_string = intern(connection_, "UTF8_STRING");
    // Watch the root before looking: a change in between is not lost.
    watch(connection_, root_, XCB_EVENT_MASK_PROPERTY_CHANGE);
    const PropertyReply supported = property(connection_, root_, atoms_.supported);
    bool active_supported = false;
    if (supported && supported->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(supported.get()));
        const int count = xcb_get_property_value_length(supported.get()) / 4;
        for (int i = 0; i < count; ++i) active_supported = active_supported || atoms[i] == atoms_.active_window;
    }
    if (!active_supported) {
        why_ = "the window manager on " + display_ + " does not name the active window (_NET_ACTIVE_WINDOW)";
        disconnect();
        return false;
    }
    why_.clear();
    return true;
}

void X11FocusDetector::disconnect() {
    if (connection_) xcb_disconnect(connection_);
    connection_ = nullptr;
    watched_ = 0;
}

void X11FocusDetector::run() {
    const int fd = xcb_get_file_descriptor(connection_);
    bool changed = true;  // report the window focused now
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            // Errors (response type 0) come from windows that went while we
            // read them; the next report has their fields empty.
            if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
                const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                const xcb_atom_t a = notify->atom;
                if (notify->window == root_) {
                    changed = changed || a == atoms_.active_window;
                } else if (notify->window == watched_) {
                    changed = changed || a == XCB_ATOM_WM_CLASS || a == XCB_ATOM_WM_NAME || a == atoms_.net_wm_name ||
                              a == atoms_.net_wm_pid;
                }
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection_)) {
            trace("focus: the X11 connection to %s broke", display_.c_str());
            return;
        }
        if (changed) {
            changed = false;
            thread_.report(read_focused());
            continue;  // reading may have queued events
        }
        xcb_flush(connection_);
        if (!thread_.wait_readable(fd)) return;
    }
}

FocusReport X11FocusDetector::read_focused() {
    const xcb_window_t active = cardinal(property(connection_, root_, atoms_.active_window));
    if (active != watched_) {
        if (watched_ != 0) watch(connection_, watched_, XCB_EVENT_MASK_NO_EVENT);
        watched_ = active;
        // Watch before reading, so that a change in between is seen.
        if (watched_ != 0) watch(connection_, watched_, XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
    FocusReport report;
    if (active == 0) return report;
    report.app_id = class_part(bytes(property(connection_, active, XCB_ATOM_WM_CLASS)));
    const PropertyReply net_name = property(connection_, active, atoms_.net_wm_name);
    if (net_name && net_name->value_len > 0) {
        report.title = std::string(bytes(net_name));
    } else {
        const PropertyReply name = property(connection_, active, XCB_ATOM_WM_NAME);
        report.title = name && name->type == XCB_ATOM_STRING ? latin1_to_utf8(bytes(name)) : std::string(bytes(name));
    }
    report.pid = cardinal(property(connection_, active, atoms_.net_wm_pid));
    return report;
}

}  // namespace vantorel
