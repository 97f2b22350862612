// SPDX-License-Identifier: GPL-2.0-or-later
#include "focus/x11_desktop.h"

#include "quiet_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace vantorel::testing {

pid_t X11Desktop::server_ = -1;
std::string X11Desktop::display_;
xcb_connection_t* X11Desktop::wm_ = nullptr;

void X11Desktop::SetUpTestSuite() {
    // Xvfb picks a free display number and writes it to the pipe.
    int fds[2];
    if (pipe(fds) != 0) return;
    server_ = start_quiet_server({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "320x240x24",
                                  "-nolisten", "tcp"});
    close(fds[1]);
    std::string number;
    char ch;
    while (read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
    close(fds[0]);
    if (number.empty()) return;
    display_ = ":" + number;
    wm_ = xcb_connect(display_.c_str(), nullptr);
    if (xcb_connection_has_error(wm_)) {
        xcb_disconnect(wm_);
        wm_ = nullptr;
    }
}

void X11Desktop::TearDownTestSuite() {
    if (wm_) xcb_disconnect(wm_);
    wm_ = nullptr;
    if (server_ > 0) {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }
    server_ = -1;
}

void X11Desktop::SetUp() {
    if (!wm_) GTEST_SKIP() << "Xvfb is not installed or did not start: the X11 focus tests need it";
    set_supported({"_NET_SUPPORTED", "_NET_ACTIVE_WINDOW", "_NET_WM_NAME", "_NET_WM_PID"});
    activate(XCB_WINDOW_NONE);
}

xcb_atom_t X11Desktop::atom(const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(wm_, xcb_intern_atom(wm_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
}

namespace {
xcb_window_t root(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }
}  // namespace

void X11Desktop::set_supported(const std::vector<std::string>& names) {
    std::vector<xcb_atom_t> atoms;
    for (const std::string& n : names) atoms.push_back(atom(n.c_str()));
    xcb_change_property(wm_, XCB_PROP_MODE_REPLACE, root(wm_), atom("_NET_SUPPORTED"), XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
    xcb_flush(wm_);
}

void X11Desktop::remove_supported() {
    xcb_delete_property(wm_, root(wm_), atom("_NET_SUPPORTED"));
    xcb_flush(wm_);
}

xcb_window_t X11Desktop::make_window(const Window& w) {
    const xcb_window_t id = xcb_generate_id(wm_);
    xcb_create_window(wm_, XCB_COPY_FROM_PARENT, id, root(wm_), 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const auto text = [id](xcb_atom_t property, xcb_atom_t type, const std::string& value) {
        if (value.empty()) return;
        xcb_change_property(wm_, XCB_PROP_MODE_REPLACE, id, property, type, 8,
                            static_cast<std::uint32_t>(value.size()), value.data());
    };
    text(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, w.wm_class);
    text(atom("_NET_WM_NAME"), atom("UTF8_STRING"), w.net_wm_name);
    text(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, w.wm_name);
    if (w.pid != 0) {
        xcb_change_property(wm_, XCB_PROP_MODE_REPLACE, id, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &w.pid);
    }
    xcb_flush(wm_);
    return id;
}

void X11Desktop::set_title(xcb_window_t window, const std::string& utf8) {
    xcb_change_property(wm_, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8,
                        static_cast<std::uint32_t>(utf8.size()), utf8.data());
    xcb_flush(wm_);
}

void X11Desktop::activate(xcb_window_t window, xcb_connection_t* connection) {
    static const xcb_atom_t active = atom("_NET_ACTIVE_WINDOW");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root(connection), active, XCB_ATOM_WINDOW, 32, 1, &window);
    xcb_flush(connection);
}

bool X11Desktop::wait_for_reports(std::size_t count, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (reports.size() < count && std::chrono::steady_clock::now() < end) loop.run_for(std::chrono::milliseconds(20));
    return reports.size() >= count;
}

}  // namespace vantorel::testing
