// SPDX-License-Identifier: GPL-2.0-or-later
// A private X server (Xvfb) with a stand-in window manager: it names the
// active window in _NET_ACTIVE_WINDOW as a real one does, and makes windows
// with a chosen WM_CLASS, title and _NET_WM_PID. Tests skip without Xvfb.
#pragma once

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/event_loop.h"
#include "core/focus_report.h"

namespace vantorel::testing {

class X11Desktop : public ::testing::Test {
public:
    struct Window {
        std::string wm_class;      // "instance\0class\0" as stored; empty: none
        std::string net_wm_name;   // UTF-8; empty: none
        std::string wm_name;       // Latin-1 STRING; empty: none
        std::uint32_t pid = 0;     // 0: none
    };

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static const std::string& display() { return display_; }
    static xcb_connection_t* wm() { return wm_; }
    static xcb_atom_t atom(const char* name);
    // What the window manager claims to support on the root window; the
    // fixture sets _NET_ACTIVE_WINDOW.
    static void set_supported(const std::vector<std::string>& names);
    static void remove_supported();
    static xcb_window_t make_window(const Window& w);
    static void set_title(xcb_window_t window, const std::string& utf8);
    static void activate(xcb_window_t window, xcb_connection_t* connection = wm_);

    // The listener of the detector under test, and a wait for its reports
    // (on the loop, which delivers them).
    FocusDetector::Listener record() {
        return [this](const FocusReport& r) { reports.push_back(r); };
    }
    bool wait_for_reports(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10));

    EventLoop loop;
    std::vector<FocusReport> reports;

private:
    static pid_t server_;
    static std::string display_;
    static xcb_connection_t* wm_;
};

}  // namespace vantorel::testing
