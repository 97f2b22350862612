// SPDX-License-Identifier: GPL-2.0-or-later
// The wlroots focus detector: refusals anywhere (a bare compositor stands in
// for those without the protocol); following real windows under sway (the
// sway test runs these as the user it makes; elsewhere they skip).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <wayland-server-core.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/event_loop.h"
#include "focus/focus_detectors.h"
#include "focus/wlr_focus.h"
#include "test_util.h"

extern char** environ;

namespace vantorel {
namespace {

// A compositor with no globals at all, as GNOME Shell and KWin are to this
// protocol.
class BareCompositor {
public:
    BareCompositor() {
        display_ = wl_display_create();
        const char* name = wl_display_add_socket_auto(display_);
        if (name) name_ = name;
        thread_ = std::thread([this] {
            while (running_) {
                wl_event_loop_dispatch(wl_display_get_event_loop(display_), 20);
                wl_display_flush_clients(display_);
            }
        });
    }
    ~BareCompositor() {
        running_ = false;
        thread_.join();
        wl_display_destroy(display_);
    }
    const std::string& name() const { return name_; }

private:
    wl_display* display_;
    std::string name_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

class WlrFocus : public ::testing::Test {
protected:
    FocusDetector::Listener record() {
        return [this](const FocusReport& r) { reports.push_back(r); };
    }
    // Runs the loop until the latest report is `expected`.
    bool wait_for(const FocusReport& expected) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < end) {
            if (!reports.empty() && reports.back() == expected) return true;
            loop.run_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    static bool under_sway() { return std::getenv("SWAYSOCK") && std::getenv("WAYLAND_DISPLAY"); }
    pid_t open_window(const char* app_id, const char* title) {
        setenv("QT_QPA_PLATFORM", "wayland", 1);
        const char* argv[] = {VANTOREL_FOCUS_TEST_WINDOW, app_id, title, nullptr};
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        windows_.push_back(pid);
        return pid;
    }
    void close_window(pid_t pid) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        std::erase(windows_, pid);
    }
    void TearDown() override {
        while (!windows_.empty()) close_window(windows_.back());
    }

    EventLoop loop;
    std::vector<FocusReport> reports;

private:
    std::vector<pid_t> windows_;
};

TEST_F(WlrFocus, RefusesWithAReasonWhereThereIsNothingToFollow) {
    // The bare compositor's socket goes where the user's runtime folder is.
    testing::TempDir runtime;
    if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    BareCompositor bare;
    ASSERT_FALSE(bare.name().empty()) << "the stand-in compositor has no socket";
    const struct {
        const char* what;
        std::string display;
        const char* why;
    } cases[] = {
        {"no WAYLAND_DISPLAY", "", "WAYLAND_DISPLAY"},
        {"a display nobody serves", "vantorel-no-such-wayland-display", "could not be opened"},
        {"a compositor without the protocol", bare.name(), "foreign-toplevel protocol"},
    };
    for (const auto& c : cases) {
        WlrFocusDetector detector(loop, c.display);
        EXPECT_FALSE(detector.start(record())) << c.what;
        EXPECT_NE(detector.why().find(c.why), std::string::npos) << c.what << ": " << detector.why();
    }
    loop.run_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(reports.empty());
}

// Focus moves between two windows by the compositor's own command; each
// move is reported, in order; closing the last window reports no focus.
TEST_F(WlrFocus, FollowsTheActivatedWindowUnderSway) {
    if (!under_sway()) GTEST_SKIP() << "not under sway: the sway test (FocusWayland) runs this one";
    const auto detector = make_focus_detector(loop, {"wayland", std::getenv("WAYLAND_DISPLAY"), "", "sway"});
    EXPECT_EQ(detector->description(), "following the focused window through the wlroots foreign-toplevel protocol");
    ASSERT_TRUE(detector->start(record())) << detector->why();
    const FocusReport one{"vantorel.focus.one", "Window one", 0};
    const FocusReport two{"vantorel.focus.two", "Window two", 0};
    const auto focus = [](const char* app_id) {
        const std::string command = std::string("swaymsg '[app_id=\"") + app_id + "\"] focus' >/dev/null";
        return std::system(command.c_str());
    };
    const pid_t first = open_window(one.app_id.c_str(), one.title.c_str());
    ASSERT_TRUE(wait_for(one)) << "a new window takes the focus";
    const pid_t second = open_window(two.app_id.c_str(), two.title.c_str());
    ASSERT_TRUE(wait_for(two)) << "a second window takes the focus";
    ASSERT_EQ(focus("vantorel.focus.one"), 0);
    ASSERT_TRUE(wait_for(one)) << "focus moved back to the first";
    ASSERT_EQ(focus("vantorel.focus.two"), 0);
    ASSERT_TRUE(wait_for(two)) << "focus moved to the second";
    close_window(second);
    ASSERT_TRUE(wait_for(one)) << "closing the focused window focuses the other";
    close_window(first);
    ASSERT_TRUE(wait_for(FocusReport{})) << "no window left: no focus";
    detector->stop();
}

}  // namespace
}  // namespace vantorel
